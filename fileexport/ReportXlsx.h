#pragma once
// A report's tables (core/export/ReportBook.h) as an xlsx workbook, written by libxlsxwriter: a
// sheet per table, its title in A1, its headers in row 2, typed cells from row 3 (counts as
// integers, doses as numbers showing their digits, months as dates), and a table's chart drawn
// beside it (its categories as text in a hidden column after the table). Each sheet prints on A4,
// one page wide, with its header row, wrapped to a row tall enough, on every page.
#include <string>

#include "core/export/ReportBook.h"

namespace virel {

// `path` and `tempFolder` as for WriteArchiveXlsx (fileexport/XlsxArchive.h). Throws
// virel::Exception with the library's reason when the workbook cannot be written.
void WriteReportXlsx(const std::string& path, const std::string& tempFolder, const TBook& book);

inline constexpr char kXlsxMonthFormat[] = "mm.yyyy";

}  // namespace virel
