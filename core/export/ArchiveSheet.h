#pragma once
// The archive's sheet as both exports lay it out, the spreadsheet's and the file's: the title
// in row 1, column B; the header row; record n in row n + 3 with its time, measurement number,
// dose and, where the meter reported one, its error in column D. Row and column numbers count
// from 1, as a spreadsheet program counts them.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/DateTimeFormat.h"
#include "core/meter/MeasurementRecord.h"
#include "core/Regional.h"

namespace virel {

inline constexpr int kTitleRow = 1;
inline constexpr int kTitleColumn = 2;
inline constexpr int kTitleFontSize = 14;
inline constexpr int kHeaderRow = 2;
inline constexpr int kFirstRecordRow = 3;  // record n goes to row n + 3

// The header row, columns A to D.
inline constexpr int kArchiveColumns = 4;
const std::array<const char*, kArchiveColumns>& ArchiveHeaders();

// Column D: the meter's error number, for records that carry one. Without it the row would
// pass for a good record.
inline constexpr int kDeviceErrorColumn = 4;
std::optional<int> DeviceErrorCell(const MeasurementRecord& record);

// Row 1: "Архив ВИРЕЛ1 №<device> на <date>".
std::string ArchiveTitle(const std::string& deviceNumber, const DateTime& today,
                         const RegionalFormats& formats);

// A record's row as texts, columns A to D: the time, measurement number and dose as the fields
// show them, and the meter's error (empty for none).
using TArchiveRow = std::array<std::string, kArchiveColumns>;
TArchiveRow ArchiveRowTexts(const MeasurementRecord& record, const RegionalFormats& formats);

// A column after D, where a sheet holds more than the one meter's archive (the dose journal's
// period: the meter and how each record came in). A column of numbers is written as numbers.
struct TSheetColumn {
    std::string header;
    bool numbers = false;
};

// A whole archive as read, for the file export's writers; the dose journal's period is written
// by the same writers in the same layout.
struct TArchiveSheet {
    std::string title;  // row 1, column B
    // Record n as read; nothing for a record that was not read (its row stays empty). The
    // archive's 256; a journal's period has as many as it shows.
    std::vector<std::optional<MeasurementRecord>> records =
        std::vector<std::optional<MeasurementRecord>>(kArchiveRecords);
    std::vector<TSheetColumn> moreColumns;
    // Row n's texts of the columns after D, one per column; rows without them stay empty there.
    std::vector<std::vector<std::string>> moreCells;
    // Row n's dose as the journal holds it where the record's fields cannot carry it (a row
    // imported by SQL, without the meter's bytes): written in place of the record's dose, so
    // that no digit is rounded away.
    std::vector<std::optional<double>> exactDoses;
    // Column C's header where the doses are in another unit than the meter's (the dose journal
    // in cGy·cm² or mGy·cm², `exactDoses` holding every row's dose in it); empty: the archive's.
    std::string doseHeader;
};

// A dose held as a number, as text with "." and every digit it has (up to 15).
std::string ExactDoseText(double dose);

// The dose as a number: the whole part and the fraction digits as the window writes them
// ("12.7" is 12.7, "0.50" is 0.5). Digits is how many the window shows after the point.
double DoseValue(const MeasurementRecord& record);
int DoseFractionDigits(const MeasurementRecord& record);

}  // namespace virel
