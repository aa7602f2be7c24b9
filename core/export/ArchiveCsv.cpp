#include "core/export/ArchiveCsv.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "core/export/Csv.h"

namespace virel {

namespace {

constexpr char kSeparator = kCsvSeparator;
constexpr std::string_view kLineEnd = kCsvLineEnd;

// Every row has the header's fields, the missing ones empty: strict readers refuse rows of
// different lengths.
std::string CsvLine(std::initializer_list<std::string> fields, int columns,
                    const std::vector<std::string>* more = nullptr) {
    std::string line;
    int count = 0;
    for (const std::string& field : fields) {
        if (count++ > 0) line += kSeparator;
        line += CsvField(field);
    }
    // A row without fields is one empty field, as far as separators go.
    for (count = std::max(count, 1); count < kArchiveColumns; ++count) line += kSeparator;
    if (more) {
        for (const std::string& field : *more) {
            if (count++ > 0) line += kSeparator;
            line += CsvField(field);
        }
    }
    for (; count < columns; ++count) line += kSeparator;
    return line.append(kLineEnd);
}

}  // namespace

std::string ArchiveCsv(const TArchiveSheet& sheet, const RegionalFormats& formats) {
    const int columns = kArchiveColumns + static_cast<int>(sheet.moreColumns.size());
    std::string csv(kCsvBom);
    csv += CsvLine({"", sheet.title}, columns);
    const auto& headers = ArchiveHeaders();
    std::vector<std::string> moreHeaders;
    for (const TSheetColumn& column : sheet.moreColumns) moreHeaders.push_back(column.header);
    const std::string doseHeader = sheet.doseHeader.empty() ? headers[2] : sheet.doseHeader;
    csv += CsvLine({headers[0], headers[1], doseHeader, headers[3]}, columns, &moreHeaders);
    for (std::size_t n = 0; n < sheet.records.size(); ++n) {
        const auto& record = sheet.records[n];
        const std::vector<std::string>* more =
            n < sheet.moreCells.size() ? &sheet.moreCells[n] : nullptr;
        if (!record) {
            csv += CsvLine({}, columns);
            continue;
        }
        TArchiveRow row = ArchiveRowTexts(*record, formats);
        std::string& dose = row[2];
        if (n < sheet.exactDoses.size() && sheet.exactDoses[n])
            dose = ExactDoseText(*sheet.exactDoses[n]);
        const auto point = dose.find('.');
        if (point != std::string::npos) dose[point] = ',';
        csv += CsvLine({row[0], row[1], row[2], row[3]}, columns, more);
    }
    return csv;
}

}  // namespace virel
