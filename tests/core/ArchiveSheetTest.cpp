// The archive's rows as a file: the CSV text, the device error column, the dose as a number,
// and the file name and type rules of the save dialog.
#include <gtest/gtest.h>

#include "core/export/ArchiveCsv.h"
#include "core/export/ArchiveSheet.h"
#include "core/export/FileExport.h"
#include "core/meter/DeviceTexts.h"
#include "tests/core/FakeFaceView.h"

namespace virel {
namespace {

MeasurementRecord Decode(std::vector<std::uint8_t> bytes14) {
    const auto raw = fakes::Record(std::move(bytes14));
    return *DecodeRecord(raw.data(), raw.size());
}

const MeasurementRecord kExample1 =
    Decode({0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x01, 0x02, 0x2D, 0x00});
// Midnight, device error 3, dose 0.5.
const MeasurementRecord kExample2 =
    Decode({0x01, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x31, 0x12, 0x09, 0x00, 0x00, 0x00, 0x05, 0x03});
// 31 February: no valid time stamp; dose 12.7.
const MeasurementRecord kExample3 =
    Decode({0x00, 0x2A, 0x00, 0x08, 0x10, 0x09, 0x31, 0x02, 0x08, 0x00, 0x00, 0x0C, 0x07, 0x00});

TEST(ArchiveCsv, RowsAsTheSpreadsheetHasThemWithBomSemicolonsCrLfAndDecimalComma) {
    TArchiveSheet sheet;
    sheet.title = "Архив ВИРЕЛ1 №42 на 06.12.2026";
    sheet.records[0] = kExample1;
    sheet.records[2] = kExample2;
    sheet.records[255] = kExample3;
    const std::string csv = ArchiveCsv(sheet, RegionalFormats{});

    // Four fields in every row, as in the header.
    std::string want =
        "\xEF\xBB\xBF;Архив ВИРЕЛ1 №42 на 06.12.2026;;\r\n"
        "Дата, время;Номер измерения;Доза, Гр*см^2;Ошибка прибора\r\n"
        "05.03.2007 14:35:00;7;258,45;\r\n"  // no device error: column D empty
        ";;;\r\n"                            // record 1 not read
        "31.12.2009;300;0,5;3\r\n";          // midnight: the date alone; error 3
    for (int n = 3; n < 255; ++n) want += ";;;\r\n";
    want += ";8;12,7;\r\n";  // an impossible time stamp leaves the time empty
    EXPECT_EQ(csv, want);
}

TEST(ArchiveCsv, FieldsWithSeparatorsOrQuotesAreQuoted) {
    TArchiveSheet sheet;
    sheet.title = "a;b \"c\"";
    const std::string csv = ArchiveCsv(sheet, RegionalFormats{});
    EXPECT_EQ(csv.substr(0, 3 + 16), "\xEF\xBB\xBF;\"a;b \"\"c\"\"\";;\r\n");
    // A regional time format may hold the separator too.
    RegionalFormats formats;
    formats.longTime = "H;mm";
    sheet.records[0] = kExample1;
    EXPECT_NE(ArchiveCsv(sheet, formats).find("\r\n\"05.03.2007 14;35\";7;258,45;\r\n"),
              std::string::npos);
}

TEST(ArchiveCells, DeviceErrorOnlyForRecordsThatCarryOne) {
    EXPECT_FALSE(DeviceErrorCell(kExample1));
    EXPECT_EQ(DeviceErrorCell(kExample2), 3);
    MeasurementRecord error255 = kExample1;
    error255.deviceError = 255;
    EXPECT_EQ(DeviceErrorCell(error255), 255);
    EXPECT_EQ(ArchiveHeaders()[kDeviceErrorColumn - 1], std::string(texts::kHeaderDeviceError));
}

TEST(ArchiveCells, DoseNumberHasTheDigitsTheWindowShows) {
    MeasurementRecord r;
    r.doseWhole = 258;
    r.doseFraction = 45;
    EXPECT_DOUBLE_EQ(DoseValue(r), 258.45);
    EXPECT_EQ(DoseFractionDigits(r), 2);
    r.doseWhole = 0;
    r.doseFraction = 50;  // "0.50"
    EXPECT_DOUBLE_EQ(DoseValue(r), 0.5);
    EXPECT_EQ(DoseFractionDigits(r), 2);
    r.doseFraction = 5;  // "0.5"
    EXPECT_EQ(DoseFractionDigits(r), 1);
    r.doseWhole = 65535;
    r.doseFraction = 255;  // "65535.255"
    EXPECT_DOUBLE_EQ(DoseValue(r), 65535.255);
    EXPECT_EQ(DoseFractionDigits(r), 3);
    r.doseFraction = 0;  // "65535.0"
    EXPECT_DOUBLE_EQ(DoseValue(r), 65535.0);
    EXPECT_EQ(DoseFractionDigits(r), 1);
}

TEST(ArchiveFileName, TheEndingDecidesTheTypeElseTheDialogsChoiceIsAppended) {
    using T = TArchiveFileType;
    EXPECT_EQ(ArchiveFileChoiceFor("C:\\a\\b.CSV", T::Xlsx).type, T::Csv);
    EXPECT_EQ(ArchiveFileChoiceFor("C:\\a\\b.CSV", T::Xlsx).path, "C:\\a\\b.CSV");
    EXPECT_EQ(ArchiveFileChoiceFor("C:\\a\\b.xlsx", T::Csv).type, T::Xlsx);
    const auto plain = ArchiveFileChoiceFor("C:\\a\\Архив ВИРЕЛ1 06.12.2026", T::Csv);
    EXPECT_EQ(plain.path, "C:\\a\\Архив ВИРЕЛ1 06.12.2026.csv");
    EXPECT_EQ(plain.type, T::Csv);
    EXPECT_EQ(ArchiveFileChoiceFor("C:\\a\\b.txt", T::Xlsx).path, "C:\\a\\b.txt.xlsx");
    EXPECT_EQ(ArchiveFileChoiceFor("x", T::Xlsx).path, "x.xlsx");
}

TEST(ArchiveFileName, DefaultNameCarriesTodaysDate) {
    EXPECT_EQ(DefaultArchiveFileName(DateTime{2026, 12, 6, 23, 59}), "Архив ВИРЕЛ1 06.12.2026");
    EXPECT_EQ(DefaultArchiveFileName(DateTime{2031, 1, 31}), "Архив ВИРЕЛ1 31.01.2031");
}

}  // namespace
}  // namespace virel
