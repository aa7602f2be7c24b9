#pragma once
// Where a program without a window tells its result: the console it was started from. The
// program is a window program, so it has no console of its own; the Task Scheduler gives it
// none, and then the line goes nowhere (the harvest file keeps it).
#include <string>

namespace virel::app {

// Writes one line (UTF-8; a line end is added). Output redirected to a file or a pipe gets it
// in the starting console's code page (the OEM one without a console), as console programs
// write; else it goes to the console of the process that started this one, if that has one.
void WriteLineToStarter(const std::string& line);

}  // namespace virel::app
