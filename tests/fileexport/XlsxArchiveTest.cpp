// The xlsx workbook read back by an independent reader (openpyxl), not by the writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "core/Errors.h"
#include "fileexport/XlsxArchive.h"

#ifndef VIREL_XLSX_READER
#error "build with the command that reads an xlsx file back"
#endif

namespace virel {
namespace {

namespace fs = std::filesystem;

struct TCell {
    std::string kind, value, format, size;
};

// Cells by "R<row>C<col>", as the reader saw them.
std::map<std::string, TCell> ReadBack(const fs::path& file) {
    const std::string command = std::string(VIREL_XLSX_READER) + " '" + file.string() + "'";
    std::map<std::string, TCell> cells;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return cells;
    std::string output;
    char buffer[4096];
    while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    pclose(pipe);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        TCell cell;
        std::getline(fields, key, '\t');
        std::getline(fields, cell.kind, '\t');
        std::getline(fields, cell.value, '\t');
        std::getline(fields, cell.format, '\t');
        std::getline(fields, cell.size, '\t');
        cells[key] = cell;
    }
    return cells;
}

MeasurementRecord Record(std::initializer_list<int> bytes) {
    std::vector<std::uint8_t> raw;
    for (const int b : bytes) raw.push_back(static_cast<std::uint8_t>(b));
    raw.push_back(Checksum(raw.data(), raw.size()));
    return *DecodeRecord(raw.data(), raw.size());
}

class XlsxArchive : public ::testing::Test {
protected:
    fs::path dir =
        fs::temp_directory_path() /
        ("virel-xlsx-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(XlsxArchive, CellsAreTypedSoTheSheetSortsAndSums) {
    TArchiveSheet sheet;
    sheet.title = "Архив ВИРЕЛ1 №42 на 06.12.2026";
    // 05.03.2007 14:35, measurement 7, dose 258.45
    sheet.records[0] = Record(
        {0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x01, 0x02, 0x2D, 0x00});
    // midnight 31.12.2009, measurement 300, dose 0.50 (fraction 50), device error 3
    sheet.records[2] = Record(
        {0x01, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x31, 0x12, 0x09, 0x00, 0x00, 0x00, 0x32, 0x03});
    // 31 February: no time; dose 12.7
    sheet.records[255] = Record(
        {0x00, 0x2A, 0x00, 0x08, 0x10, 0x09, 0x31, 0x02, 0x08, 0x00, 0x00, 0x0C, 0x07, 0x00});
    const fs::path file = dir / "Архив ВИРЕЛ1 06.12.2026.xlsx";
    WriteArchiveXlsx(file.string(), dir.string(), sheet);

    auto cells = ReadBack(file);
    ASSERT_EQ(cells["sheets"].kind, "1") << "unreadable or empty: " << cells.size();
    EXPECT_EQ(cells["R1C2"].value, sheet.title);
    EXPECT_EQ(cells["R1C2"].size, "14.0");
    EXPECT_EQ(cells.count("R1C1"), 0u);
    EXPECT_EQ(cells["R2C1"].value, "Дата, время");
    EXPECT_EQ(cells["R2C2"].value, "Номер измерения");
    EXPECT_EQ(cells["R2C3"].value, "Доза, Гр*см^2");
    EXPECT_EQ(cells["R2C4"].value, "Ошибка прибора");

    EXPECT_EQ(cells["R3C1"].kind, "datetime");
    EXPECT_EQ(cells["R3C1"].value, "2007-03-05 14:35:00");
    EXPECT_EQ(cells["R3C1"].format, "dd.mm.yyyy hh:mm:ss");
    EXPECT_EQ(cells["R3C2"].kind, "int");
    EXPECT_EQ(cells["R3C2"].value, "7");
    EXPECT_EQ(cells["R3C3"].kind, "float");
    EXPECT_EQ(cells["R3C3"].value, "258.45");
    EXPECT_EQ(cells["R3C3"].format, "0.00");
    EXPECT_EQ(cells.count("R3C4"), 0u) << "no device error, no cell";

    // Record 1 was not read: its row is empty, record 2 stays in row 5.
    for (int column = 1; column <= 4; ++column)
        EXPECT_EQ(cells.count("R4C" + std::to_string(column)), 0u);
    EXPECT_EQ(cells["R5C1"].value, "2009-12-31 00:00:00");
    EXPECT_EQ(cells["R5C1"].format, "dd.mm.yyyy") << "midnight shows the date alone";
    EXPECT_EQ(cells["R5C2"].value, "300");
    EXPECT_EQ(cells["R5C3"].value, "0.5");
    EXPECT_EQ(cells["R5C3"].format, "0.00") << "shown as the window shows it: 0.50";
    EXPECT_EQ(cells["R5C4"].kind, "int");
    EXPECT_EQ(cells["R5C4"].value, "3");

    EXPECT_EQ(cells.count("R258C1"), 0u) << "an impossible time stamp leaves the cell empty";
    EXPECT_EQ(cells["R258C2"].value, "8");
    EXPECT_EQ(cells["R258C3"].value, "12.7");
    EXPECT_EQ(cells["R258C3"].format, "0.0");
    EXPECT_EQ(cells.count("R259C2"), 0u);
}

TEST_F(XlsxArchive, AWorkbookThatCannotBeWrittenThrowsTheLibrarysReason) {
    TArchiveSheet sheet;
    const fs::path file = dir / "no such folder" / "archive.xlsx";
    try {
        WriteArchiveXlsx(file.string(), dir.string(), sheet);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
    }
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace virel
