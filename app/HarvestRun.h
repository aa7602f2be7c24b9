#pragma once
// VIREL1_Service.exe /harvest: the harvest put together without a window, for the Windows Task
// Scheduler. The archive read into the dose journal beside the log, one summary line to the
// console it was started from and to the harvest file beside the log, and the exit code
// (THarvestExit, core/meter/HarvestCommand.h).
#include <string>

#include "core/meter/HarvestCommand.h"

namespace virel::app {

// Beside the log file: one line per harvest, code page 1251 as the log.
inline constexpr char kHarvestFileName[] = "VIREL1_Service.harvest.txt";

// programDir: the folder of the log file (ends in a backslash). `journalPath`: the journal's
// file, beside the log when empty. Never shows a window or a box.
int RunHarvestCommand(const THarvestCommand& command, const std::string& programDir,
                      const std::string& journalPath = {});

}  // namespace virel::app
