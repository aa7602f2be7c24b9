// The report window's tables after the kinds' on tabs: the audit's only when there is one, the
// list below showing the table of the tab chosen; and the local levels of the registry's rooms
// saved as a catalogue file, a CSV whatever type the save dialog was left at.
#include <gtest/gtest.h>

#include "app/platform/FileExportPlatform.h"
#include "app/windows/ReportWindow.h"
#include "core/Utf16.h"
#include "tests/app/WindowTestSupport.h"

namespace virel::app::test {
namespace {

// The save dialog answered by the test; nothing else is asked of it.
class TAnsweringPlatform final : public IFileExportPlatform {
public:
    std::optional<TArchiveFileChoice> answer;
    std::string proposed;

    std::optional<TArchiveFileChoice> ChooseFile(const std::string& name) override {
        proposed = name;
        return std::exchange(answer, std::nullopt);
    }
    std::optional<std::string> Write(const TArchiveFileChoice&, const TArchiveSheet&) override {
        return "not asked";
    }
    bool AskForAnotherName(const std::string&, const std::string&) override { return false; }
};

const TPeriod kYear{{2025, 1, 1}, {2025, 12, 31}};

// Two kinds, one with a level, ten records of it above the level.
TPeriodReport LocalReport(bool levels) {
    std::vector<TExamKind> catalogue = {{1, "ОГК", 0.18, 0.2}, {2, "Череп", 0.03, 0.03}};
    if (levels) catalogue[0].referenceLevel = 0.2;
    std::vector<TExamRow> rows;
    for (int i = 0; i < 10; ++i) rows.push_back({29'000'000 + i, 0.25 + 0.001 * i, 1, 1980});
    return ComputeReport(kYear, rows, catalogue);
}

std::string Cell(HWND list, int row, int column) {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return Narrow(text);
}

std::string Header(HWND list, int column) {
    wchar_t text[256] = {};
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&item));
    return Narrow(text);
}

std::vector<std::string> Tabs(HWND tabs) {
    std::vector<std::string> names;
    const LRESULT count = SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        names.push_back(Narrow(text));
    }
    return names;
}

void ChooseTab(HWND window, HWND tabs, int tab) {
    SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
    NMHDR header{tabs, TReportWindow::kIdTables, TCN_SELCHANGE};
    SendMessageW(window, WM_NOTIFY, TReportWindow::kIdTables, reinterpret_cast<LPARAM>(&header));
}

// The first report shown: the source's thread done and its outcome taken by the window.
bool WaitForReport(TApplication& application, HWND window) {
    const HWND headline = GetDlgItem(window, TReportWindow::kIdHeadline);
    for (int i = 0; i < 400; ++i, Sleep(10)) {
        Pump(application);
        if (Narrow(Text(headline)).rfind("Отчёт за период с ", 0) == 0) return true;
    }
    return false;
}

TEST(ReportWindow, TheAuditIsATabOfItsOwnOnlyWhenThereIsOne) {
    TApplication application;
    TAnsweringPlatform platform;
    for (const bool levels : {false, true}) {
        SCOPED_TRACE(levels);
        const TPeriodReport report = LocalReport(levels);
        TReportWindow window(application,
                             {{"Этот кабинет", [&](const TPeriod&, TDoseUnit) {
                                   return TReportOutcome{report, {}};
                               }}},
                             kYear, TDoseUnit::mGy, platform, ',');
        const HWND handle = window.Create(nullptr);
        ASSERT_NE(handle, nullptr);
        ASSERT_TRUE(WaitForReport(application, handle));
        const HWND tabs = GetDlgItem(handle, TReportWindow::kIdTables);
        const HWND list = GetDlgItem(handle, TReportWindow::kIdMonths);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(handle, TReportWindow::kIdSaveLevels)))
            << "no local levels in one room's report";
        if (!levels) {
            EXPECT_EQ(Tabs(tabs), (std::vector<std::string>{kMonthsSheet}));
            continue;
        }
        ASSERT_EQ(Tabs(tabs), (std::vector<std::string>{kMonthsSheet, kAuditSheet}));
        EXPECT_EQ(Header(list, 0), "Месяц") << "the months first";
        ChooseTab(handle, tabs, 1);
        EXPECT_EQ(Header(list, 2), "Медиана ДАП, мГр·см²");
        ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
        // 250..259 mGy·cm²: the median 254.5 against 200.
        const std::vector<std::string> shown = {"ОГК", "10", "255", "257", "200", "127,3",
                                                "медиана выше РДУ"};
        for (int c = 0; c < 7; ++c) EXPECT_EQ(Cell(list, 0, c), shown[c]) << c;
        ChooseTab(handle, tabs, 0);
        EXPECT_EQ(Header(list, 0), "Месяц");
    }
}

TEST(ReportWindow, TheRoomsLocalLevelsAreSavedAsACatalogueFile) {
    TApplication application;
    TAnsweringPlatform platform;
    TPeriodReport report = LocalReport(false);
    report.rooms = TRoomsAudit{{{"ОГК", "Кабинет 1", 12, 4002, 4100, 1000},
                                {"ОГК", "Кабинет 2", 10, 3000, 3100, std::nullopt},
                                {"Череп", "Кабинет 1", 3, 400, 400, std::nullopt}},
                               {}};
    report.rooms->levels = LocalLevels(report.rooms->rows);
    report.rooms->levels[0].kAdult = 0.18;
    TReportWindow window(application,
                         {{"Все кабинеты",
                           [&](const TPeriod&, TDoseUnit) { return TReportOutcome{report, {}}; }}},
                         kYear, TDoseUnit::cGy, platform, ',');
    const HWND handle = window.Create(nullptr);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(WaitForReport(application, handle));
    const HWND tabs = GetDlgItem(handle, TReportWindow::kIdTables);
    const HWND list = GetDlgItem(handle, TReportWindow::kIdMonths);
    ASSERT_EQ(Tabs(tabs),
              (std::vector<std::string>{kMonthsSheet, kRoomsAuditSheet, kLocalLevelsSheet}));
    ChooseTab(handle, tabs, 1);
    EXPECT_EQ(Header(list, 1), "Кабинет");
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(Cell(list, 1, 1), "Кабинет 2");
    EXPECT_EQ(Cell(list, 2, 7), "мало записей");
    ChooseTab(handle, tabs, 2);
    EXPECT_EQ(Cell(list, 0, 0), "ОГК");
    EXPECT_EQ(Cell(list, 0, 1), "2");
    EXPECT_EQ(Cell(list, 0, 2), "93,8") << "750 and 1000.5 mGy·cm²: 937.875";

    const HWND save = GetDlgItem(handle, TReportWindow::kIdSaveLevels);
    ASSERT_TRUE(IsWindowEnabled(save));
    EXPECT_EQ(Narrow(Text(save)), texts::kReportSaveLevels);
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::string chosen = Narrow(folder) + "Местные РДУ тест.xlsx";
    const std::string written = Narrow(folder) + "Местные РДУ тест.csv";
    DeleteFileW(Widen(written).c_str());
    platform.answer = TArchiveFileChoice{chosen, TArchiveFileType::Xlsx};
    SendMessageW(handle, WM_COMMAND, MAKEWPARAM(TReportWindow::kIdSaveLevels, BN_CLICKED),
                 reinterpret_cast<LPARAM>(save));
    EXPECT_EQ(platform.proposed, "Местные РДУ 01.01.2025-31.12.2025");
    EXPECT_EQ(Narrow(Text(GetDlgItem(handle, TReportWindow::kIdHeadline))),
              texts::kReportLevelsSaved + written);
    std::string bytes;
    ASSERT_FALSE(ReadBytesFile(Widen(written), bytes));
    EXPECT_EQ(bytes, LocalLevelsCatalogueCsv(report.rooms->levels));
    EXPECT_NE(bytes.find("ОГК;0,18;;938\r\n"), std::string::npos) << bytes;
    DeleteFileW(Widen(written).c_str());

    // The dialog cancelled: nothing written, and the line says so.
    SendMessageW(handle, WM_COMMAND, MAKEWPARAM(TReportWindow::kIdSaveLevels, BN_CLICKED),
                 reinterpret_cast<LPARAM>(save));
    EXPECT_EQ(Narrow(Text(GetDlgItem(handle, TReportWindow::kIdHeadline))),
              texts::kReportLevelsNotSaved);
}

}  // namespace
}  // namespace virel::app::test
