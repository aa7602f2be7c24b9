#pragma once
// A report as one CSV text, as the file export writes its CSV (core/export/ArchiveCsv.h): UTF-8
// with a byte-order mark, ";" between fields, CR LF after every row, numbers with a decimal comma.
// Each table is its title row, its header row and its rows, and an empty row parts two tables.
// Every row has as many fields as the widest table, so that strict readers take the file.
#include <string>

#include "core/export/Csv.h"
#include "core/export/ReportBook.h"

namespace virel {

std::string ReportCsv(const TBook& book);

}  // namespace virel
