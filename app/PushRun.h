#pragma once
// The central registry's push from the command line, without a window (registry/PushCommand.h):
// for a scheduled task after /harvest.
#include <optional>
#include <string>

namespace virel::app {

// When the command line asks for /push: pushes what the journal at `journalPath` has waiting
// with the stored settings "Центральный журнал" (or those the command line gives), tells the
// outcome in one line on the console it was started from, and gives the exit code. Nothing
// otherwise: the program starts as usual.
std::optional<int> RunPushCommandLine(const std::string& journalPath);

}  // namespace virel::app
