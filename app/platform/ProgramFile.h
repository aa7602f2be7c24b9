#pragma once
// Where the running program file is, and what it was started with.
#include <string>
#include <vector>

namespace virel::app {

// Full, absolute path of the running program file (UTF-8); empty when Windows cannot say.
std::string ProgramFilePath();

// The arguments after the program's name (UTF-8), as the command line splits them.
std::vector<std::string> CommandLineArguments();

}  // namespace virel::app
