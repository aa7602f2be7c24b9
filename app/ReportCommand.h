#pragma once
// The period report and the catalogue import from the command line, without a window
// (reports/ReportCommandLine.h): a scheduled monthly report to a shared folder.
#include <optional>
#include <string>

namespace virel::app {

// When the command line asks for /report or /catalogue: runs it on the journal at
// `journalPath`, tells the outcome in one line on the console it was started from, and gives
// the exit code. Nothing otherwise: the program starts as usual.
std::optional<int> RunReportCommandLine(const std::string& journalPath);

// One line for whoever started the program: output redirected to a file or a pipe gets it in
// UTF-8, else the console of the command prompt it was started from, if any. To the standard
// error for a failure.
void TellCommandLine(const std::string& line, bool failure);

}  // namespace virel::app
