#pragma once
// Where the running program file is.
#include <string>

namespace virel::app {

// Full, absolute path of the running program file (UTF-8); empty when Windows cannot say.
std::string ProgramFilePath();

}  // namespace virel::app
