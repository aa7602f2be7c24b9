#include "reports/ReportCsv.h"

#include <algorithm>

#include "core/export/Csv.h"

namespace virel {

namespace {

std::string CellText(const TBookCell& cell) {
    std::string text = cell.text;
    if (cell.kind == TBookCell::Kind::Decimal) std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string Line(const std::vector<std::string>& fields, std::size_t width) {
    std::string line;
    for (std::size_t i = 0; i < std::max<std::size_t>(width, 1); ++i) {
        if (i > 0) line += kCsvSeparator;
        if (i < fields.size()) line += CsvField(fields[i]);
    }
    return line.append(kCsvLineEnd);
}

}  // namespace

std::string ReportCsv(const TBook& book) {
    std::size_t width = 1;
    for (const TBookSheet& sheet : book.sheets) {
        width = std::max(width, sheet.headers.size());
        for (const auto& row : sheet.rows) width = std::max(width, row.size());
    }
    std::string csv(kCsvBom);
    bool first = true;
    for (const TBookSheet& sheet : book.sheets) {
        if (!first) csv += Line({}, width);
        first = false;
        csv += Line({sheet.title}, width);
        csv += Line(sheet.headers, width);
        for (const auto& row : sheet.rows) {
            std::vector<std::string> fields;
            for (const TBookCell& cell : row) fields.push_back(CellText(cell));
            csv += Line(fields, width);
        }
    }
    return csv;
}

}  // namespace virel
