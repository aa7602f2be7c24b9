#pragma once
// The CSV the program writes and reads, one form for all its files (the archive, the reports,
// the catalogue, the journal's export): for a spreadsheet program under Russian settings, UTF-8
// with a byte-order mark, ";" between fields, CR LF after every row.
#include <string>
#include <string_view>

namespace virel {

inline constexpr std::string_view kCsvBom = "\xEF\xBB\xBF";
inline constexpr char kCsvSeparator = ';';
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// A field that holds the separator, a quote or a line break is quoted, its quotes doubled.
std::string CsvField(std::string_view text);

}  // namespace virel
