#pragma once
// For the fault matrix: shell commands on the Unix side of Wine (the simulated meter's start
// and stop, file system tricks), and the program under test pointed at a port by name.
#include <windows.h>

#include <string>

#if !defined(VIREL_FAULT_BUILD_DIR) || !defined(VIREL_FAULT_SIM_SCRIPT)
#error "build with the Unix paths of the build directory and of scripts/sim.sh"
#endif

namespace virel::e2e {

// Runs `command` with /bin/sh (Wine starts Unix programs as well as Windows ones). With
// `wait`, returns when it has ended (true when it ended with status 0 within the time);
// without, returns at once and the command goes on by itself.
bool RunUnix(const std::string& command, bool wait = true, DWORD timeoutMs = 30000);

// The simulated meter on COMn as the fixture started it: its process ended (the
// pseudo-terminal goes with it, as when a meter is unplugged) and started again.
std::string MeterStopCommand(int port);
std::string MeterStartCommand(int port);

class TRunningProgram;

// Lets the program run until the meter has been quiet for a while: the rest of a reply sent in
// pieces or late, or queued behind earlier ones, would otherwise land in the next exchange.
void WaitForQuietMeter(TRunningProgram& program);

// Delivers timer ticks, as the main window's timer does, until the periodic print has run
// (its action writes the status bar; other ticks do not).
void TickUntilPrinted(TRunningProgram& program);

// Lines ended by CR LF in a log file's bytes.
std::size_t LineCount(const std::string& bytes);

// A Unix path as the program under Wine names it (drive Z:).
std::wstring ZPath(const std::string& unixPath);

}  // namespace virel::e2e
