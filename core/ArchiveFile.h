#pragma once
// The archive as a file: the title, the header row and one row per record, written as an
// xlsx workbook (fileexport/) or as CSV text (here). Row and column numbers count from 1, as
// a spreadsheet program counts them; record n is in row n + 3.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/ArchiveExport.h"
#include "core/MeasurementRecord.h"
#include "core/Regional.h"

namespace virel {

// Column D of both archive exports: the meter's error number, for records that carry one.
inline constexpr int kDeviceErrorColumn = 4;
std::optional<int> DeviceErrorCell(const MeasurementRecord& record);

// The header row, columns A to D.
inline constexpr int kArchiveColumns = 4;
const std::array<const char*, kArchiveColumns>& ArchiveHeaders();

struct TArchiveSheet {
    std::string title;  // row 1, column B
    // Record n as read; nothing for a record that was not read (its row stays empty).
    std::array<std::optional<MeasurementRecord>, kArchiveRecords> records;
};

// The dose as a number: the whole part and the fraction digits as the window writes them
// ("12.7" is 12.7, "0.50" is 0.5). Digits is how many the window shows after the point.
double DoseValue(const MeasurementRecord& record);
int DoseFractionDigits(const MeasurementRecord& record);

// CSV for a spreadsheet program under Russian settings: UTF-8 with a byte-order mark, ";"
// between fields, CR LF after every row, the dose with a decimal comma, the time as the
// window shows it (nothing for a time stamp that is not a valid date and time). Every row,
// the title's too, has the header's four fields, empty where there is nothing; a record that
// was not read gives a row of empty fields, so that record n stays in row n + 3.
std::string ArchiveCsv(const TArchiveSheet& sheet, const RegionalFormats& formats);

enum class TArchiveFileType { Xlsx, Csv };

// The file the operator chose. The path is UTF-8.
struct TArchiveFileChoice {
    std::string path;
    TArchiveFileType type = TArchiveFileType::Xlsx;
};

// The type a chosen name gets: an ".xlsx" or ".csv" ending (any case) decides; otherwise the
// type chosen in the dialog, whose ending is appended.
TArchiveFileChoice ArchiveFileChoiceFor(const std::string& path, TArchiveFileType chosenType);

// "Архив ВИРЕЛ1 dd.MM.yyyy" (no ending): the name the save dialog proposes.
std::string DefaultArchiveFileName(const DateTime& today);

}  // namespace virel
