#pragma once
// The archive as an xlsx workbook, written by libxlsxwriter: the title in B1 (font 14), the
// header row, record n in row n + 3 with the time as a date-time cell, the measurement number
// as an integer and the dose as a number, so that the sheet sorts and sums.
#include <string>

#include "core/export/ArchiveSheet.h"

namespace virel {

// Writes `sheet` to `path`, which must be a name the C library's fopen can open (on Windows:
// in the ANSI code page; the caller passes a name it made sure of). The library keeps its
// parts in temporary files in `tempFolder` (empty: the system's temporary folder). Throws
// virel::Exception with the library's reason when the workbook cannot be written.
void WriteArchiveXlsx(const std::string& path, const std::string& tempFolder,
                      const TArchiveSheet& sheet);

// The cell formats, as a spreadsheet program shows them.
inline constexpr char kXlsxDateTimeFormat[] = "dd.mm.yyyy hh:mm:ss";
inline constexpr char kXlsxDateFormat[] = "dd.mm.yyyy";  // a midnight time stamp

}  // namespace virel
