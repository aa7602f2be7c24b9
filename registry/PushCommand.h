#pragma once
// The push started from the command line, for a scheduled task after /harvest:
//   VIREL1_Service.exe /push [/connection "…"] [/room NAME]
// /connection and /room stand in for the stored settings for this run (the stored password
// still applies). What the arguments mean, the exit code and the one line the run prints.
#include <optional>
#include <string>
#include <vector>

#include "registry/Registry.h"

namespace virel {

// The process's exit code (docs/registry.md lists them for the clinic's IT).
enum class TPushExit : int {
    Done = 0,           // nothing is left waiting
    Unreachable = 1,    // the server, the network or the ODBC driver is not there: try later
    Refused = 2,        // the server refused the login or the permission
    Failed = 3,         // another error of the server's (the line says it)
    Journal = 4,        // the local journal cannot be opened, read or written
    BadArguments = 5,   // the command line is wrong: nothing done
    NotConfigured = 6,  // no connection string or no room, stored or given
};

struct TPushCommand {
    bool requested = false;  // "/push" is among the arguments
    std::optional<std::string> connection;
    std::optional<std::string> room;
    std::string error;  // not empty: why the arguments are refused (one line)
};

// The arguments after the program's name (UTF-8). Switches begin with "/" or "-", in any case.
[[nodiscard]] TPushCommand ParsePushCommand(const std::vector<std::string>& arguments);

// The stored settings with the command line's overrides.
TRegistrySettings WithOverrides(TRegistrySettings stored, const TPushCommand& command);

TPushExit ExitOf(const TPushResult& result);

// The run's one line (without the program's name), never the password.
std::string PushSummary(const TPushResult& result);

}  // namespace virel
