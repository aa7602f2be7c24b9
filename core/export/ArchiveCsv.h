#pragma once
// The archive as CSV text, one of the file export's two formats.
#include <string>

#include "core/export/ArchiveSheet.h"
#include "core/Regional.h"

namespace virel {

// CSV for a spreadsheet program under Russian settings: UTF-8 with a byte-order mark, ";"
// between fields, CR LF after every row, the dose with a decimal comma, the time as the
// window shows it (nothing for a time stamp that is not a valid date and time). Every row,
// the title's too, has the header's four fields, empty where there is nothing; a record that
// was not read gives a row of empty fields, so that record n stays in row n + 3.
std::string ArchiveCsv(const TArchiveSheet& sheet, const RegionalFormats& formats);

}  // namespace virel
