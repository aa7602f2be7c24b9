#pragma once
// Where a program without a window tells its result: whoever started it. The program is a
// window program, so it has no console of its own; the Task Scheduler gives it none, and then
// the line goes nowhere unless the task redirects it (the harvest file keeps its lines anyway).
#include <string>

namespace virel::app {

// Writes one line (UTF-8; a line end is added), to the standard error for a failure. Output
// redirected to a file or a pipe gets the UTF-8 bytes as they are: a scheduled task's log file
// reads right in any editor whatever the PC's code pages. Otherwise the line goes, in wide
// characters, to the console of the command prompt that started the program, if it has one.
void WriteLineToStarter(const std::string& line, bool failure = false);

}  // namespace virel::app
