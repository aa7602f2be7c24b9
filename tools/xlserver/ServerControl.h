#pragma once
// What the test spreadsheet server is told to do wrong (the control file, re-read at every
// call) and how it writes its journal lines. Portable: no <windows.h>.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace virel::xl {

// Control file lines are "Key=Value"; keys ignore case; blank lines and lines starting with
// '#' are skipped, as are unknown keys and values that are not numbers where numbers belong.
struct TServerOptions {
    // RefuseAdd=<description>: Workbooks.Add fails (empty value: a default description).
    std::optional<std::string> refuseAdd;
    // FailCellsAfterRow=<n>: Cells(row, column) with row > n fails.
    int failCellsAfterRow = 0;
    // FailDescription=<text>: the description of a failing Cells call.
    std::optional<std::string> failDescription;
    // FailHResult=<code>: failures return this code with no description of their own
    // (hexadecimal with 0x, or decimal).
    std::optional<std::uint32_t> failHResult;
    // ExitAfterCalls=<n>: the process ends abruptly when it receives its n-th call.
    int exitAfterCalls = 0;
    // ExitAtRow=<n>: the process ends abruptly when Cells addresses row n or below.
    int exitAtRow = 0;
    // DelayMs=<n>: every call waits n ms before it is carried out.
    int delayMs = 0;

    bool operator==(const TServerOptions&) const = default;
};

TServerOptions ParseOptions(std::string_view text);

// Kinds of an automation call, as the invoke flags give them.
enum : unsigned { kKindMethod = 1, kKindGet = 2, kKindPut = 4, kKindPutRef = 8 };
// "method", "get", "put", "putref", joined with '|' ("method|get"); "none" for no flag.
std::string KindText(unsigned flags);

// A string argument in the journal: in double quotes, with \ " CR LF TAB escaped by '\'.
std::string QuoteText(std::string_view text);

// "<ms> <object> <member> <kind> <args>" with a line feed; an empty args field reads "-".
std::string JournalLine(long long ms, std::string_view object, std::string_view member,
                        std::string_view kind, std::string_view args);

}  // namespace virel::xl
