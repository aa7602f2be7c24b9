#pragma once
// The directory that holds the program file, where the log file goes.
#include <string>

namespace virel {

// From the program file's full path: everything up to and including the last "\" or ":",
// with a "\" appended when it does not end in one; ".\" when that leaves less than two
// characters (no directory part at all).
std::string ProgramDir(const std::string& programPath);

}  // namespace virel
