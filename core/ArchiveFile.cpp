#include "core/ArchiveFile.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "core/DateTimeFormat.h"
#include "core/DeviceTexts.h"

namespace virel {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr char kSeparator = ';';
constexpr char kLineEnd[] = "\r\n";

// A field that holds the separator, a quote or a line break is quoted, its quotes doubled.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// Every row has the header's fields, the missing ones empty: strict readers refuse rows of
// different lengths.
std::string CsvLine(std::initializer_list<std::string> fields) {
    std::string line;
    int count = 0;
    for (const std::string& field : fields) {
        if (count++ > 0) line += kSeparator;
        line += CsvField(field);
    }
    // A row without fields is one empty field, as far as separators go.
    for (count = std::max(count, 1); count < kArchiveColumns; ++count) line += kSeparator;
    return line + kLineEnd;
}

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        char c = text[text.size() - ending.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ending[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<int> DeviceErrorCell(const MeasurementRecord& record) {
    if (record.deviceError == 0) return std::nullopt;
    return record.deviceError;
}

const std::array<const char*, kArchiveColumns>& ArchiveHeaders() {
    static const std::array<const char*, kArchiveColumns> headers = {
        texts::kHeaderTime, texts::kHeaderMeasureNumber, texts::kHeaderDose,
        texts::kHeaderDeviceError};
    return headers;
}

int DoseFractionDigits(const MeasurementRecord& record) {
    return static_cast<int>(std::to_string(record.doseFraction).size());
}

double DoseValue(const MeasurementRecord& record) {
    double scale = 1;
    for (int i = 0; i < DoseFractionDigits(record); ++i) scale *= 10;
    return record.doseWhole + record.doseFraction / scale;
}

std::string ArchiveCsv(const TArchiveSheet& sheet, const RegionalFormats& formats) {
    std::string csv = kBom;
    csv += CsvLine({"", sheet.title});
    const auto& headers = ArchiveHeaders();
    csv += CsvLine({headers[0], headers[1], headers[2], headers[3]});
    for (const auto& record : sheet.records) {
        if (!record) {
            csv += CsvLine({});
            continue;
        }
        RecordTexts texts = TextsOf(*record, formats);
        const auto point = texts.dose.find('.');
        if (point != std::string::npos) texts.dose[point] = ',';
        const auto error = DeviceErrorCell(*record);
        csv += CsvLine({texts.time, texts.measureNumber, texts.dose,
                        error ? std::to_string(*error) : std::string()});
    }
    return csv;
}

TArchiveFileChoice ArchiveFileChoiceFor(const std::string& path, TArchiveFileType chosenType) {
    if (EndsWithNoCase(path, ".xlsx")) return {path, TArchiveFileType::Xlsx};
    if (EndsWithNoCase(path, ".csv")) return {path, TArchiveFileType::Csv};
    const char* ending = chosenType == TArchiveFileType::Csv ? ".csv" : ".xlsx";
    return {path + ending, chosenType};
}

std::string DefaultArchiveFileName(const DateTime& today) {
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%04d", today.day % 100, today.month % 100,
                  today.year % 10000);
    return texts::kArchiveFileName + std::string(date);
}

}  // namespace virel
