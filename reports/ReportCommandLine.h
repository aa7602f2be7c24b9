#pragma once
// The report's and the catalogue's command lines, for a scheduled monthly report without a
// window:
//   VIREL1_Service.exe /report /from YYYY-MM-DD /to YYYY-MM-DD /out FILE.xlsx|FILE.csv [/unit
//   Gy|cGy|mGy] [/registry [/connection "…"] [/room NAME | /levels LEVELS.csv]]
//   VIREL1_Service.exe /catalogue FILE.csv [/accept]
// /accept takes a catalogue whose K is questioned (above 3 mSv/(Gy·cm²)); without it such a
// file is refused (kExitCatalogue) with its lines named.
// /registry makes the report from the central registry's server (all rooms, or the room named)
// instead of the local journal; /connection stands in for the stored connection for this run,
// as for /push (the stored password still applies). /levels also writes the local reference
// levels of all rooms' medians as a catalogue file, for /catalogue or the catalogue's import.
// Switches begin with "/" or "-" and are matched without regard to letter case, as Windows
// programs do (core/CommandSwitches.h).
#include <optional>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "reports/ReportTables.h"

namespace virel {

// The exit codes: what a scheduler's log tells apart.
enum TReportExit : int {
    kExitDone = 0,
    kExitCommandLine = 2,    // the switches are wrong
    kExitJournal = 3,        // the journal cannot be opened or read (or written, for the catalogue)
    kExitFile = 4,           // the report cannot be written, the catalogue file cannot be read
    kExitCatalogue = 5,      // the catalogue file has a junk line, or a questioned K without
                             // /accept: nothing was imported
    kExitNotConfigured = 6,  // /registry without a connection string, stored or given
};

struct TReportCommand {
    enum class Kind { None, Report, Catalogue };
    Kind kind = Kind::None;  // None: neither switch; the program starts as usual
    std::string error;       // a wrong command line: one line for the console
    TPeriod period;
    std::string out;   // Report: the file to write
    bool csv = false;  // Report: by the name's extension
    TDoseUnit unit = TDoseUnit::Gy;
    bool registry = false;  // Report: from the central registry's server
    std::string room;       // Report from the registry: this room only (all when empty)
    std::optional<std::string> connection;  // Report from the registry: instead of the stored
    std::string levels;  // Report from all rooms: the local levels' catalogue, when not empty
    std::string file;                       // Catalogue: the file to import
    bool accept = false;                    // Catalogue: a questioned K is taken as it is
};

// The arguments after the program's name, in UTF-8.
[[nodiscard]] TReportCommand ParseReportCommand(const std::vector<std::string>& arguments);

// "YYYY-MM-DD", a real date.
std::optional<DateTime> ParseIsoDate(const std::string& text);

}  // namespace virel
