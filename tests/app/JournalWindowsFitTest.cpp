// The journal's windows at the dpi of the test's prefix (96 in app_tests, 144 in app_dpi_tests):
// every column of their lists shows its header whole and every label its text, as measured here
// in the font each control shows (not the program's own measure); the catalogue shows both K
// columns; a column the operator dragged keeps its width, stored and not fitted over; the report
// window is modeless and goes with the journal window; the menu "Период" and the status line's
// offer of records outside the period.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "app/Program.h"
#include "app/platform/FileExportPlatform.h"
#include "app/platform/PlatformClock.h"
#include "app/windows/AnnotationDialog.h"
#include "app/windows/CatalogueDialog.h"
#include "app/windows/JournalWindow.h"
#include "app/windows/ReportWindow.h"
#include "core/Utf16.h"
#include "core/meter/MeasurementRecord.h"
#include "storage/ProgramSettings.h"
#include "tests/support/MemorySettingsStore.h"
#include "win/Scopes.h"

namespace virel::app::test {
namespace {

std::string Name(HWND window) {
    return Narrow(Text(window));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> Descendants(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM all) {
            reinterpret_cast<std::vector<HWND>*>(all)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The text's extent in the font the control shows it in.
SIZE Extent(HWND control, const std::wstring& text) {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const win::TWindowDC dc(control);
    const win::TSelection selected(dc.Get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// Every list's headers and every label of `window`, at the window's dpi. `what` names the
// window in the failures. Returns how many controls were looked at.
int ExpectEverythingFits(HWND window, const std::string& what) {
    int looked = 0;
    const int margins = 6 * GetSystemMetrics(SM_CXEDGE);  // the header's, beside an item's text
    for (const HWND control : Descendants(window)) {
        if (!IsWindowVisible(control)) continue;
        const std::wstring kind = ClassOf(control);
        if (kind == WC_LISTVIEWW) {
            const HWND header = reinterpret_cast<HWND>(SendMessageW(control, LVM_GETHEADER, 0, 0));
            const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
            for (int c = 0; c < columns; ++c) {
                wchar_t text[256] = L"";
                HDITEMW item{};
                item.mask = HDI_TEXT | HDI_WIDTH;
                item.pszText = text;
                item.cchTextMax = 256;
                SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c),
                             reinterpret_cast<LPARAM>(&item));
                const int needed = Extent(header, text).cx + margins;
                EXPECT_LE(needed, item.cxy)
                    << what << ": the column \"" << Narrow(text) << "\" is " << item.cxy
                    << " px wide for a header of " << needed;
                ++looked;
            }
        } else if (kind == L"Static") {
            const std::wstring text = Text(control);
            const LONG style = GetWindowLongW(control, GWL_STYLE);
            // A line cut with an ellipsis on purpose (a path, a server's long reason) is not a
            // label; nor an empty one.
            if (text.empty() || (style & SS_ELLIPSISMASK) || (style & SS_TYPEMASK) > SS_RIGHT)
                continue;
            RECT client{};
            GetClientRect(control, &client);
            RECT need = client;
            const HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
            const win::TWindowDC dc(control);
            const win::TSelection selected(dc.Get(), font);
            const UINT wrap = (style & SS_TYPEMASK) == SS_LEFTNOWORDWRAP ? 0 : DT_WORDBREAK;
            DrawTextW(dc.Get(), text.c_str(), -1, &need,
                      DT_CALCRECT | wrap | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
            EXPECT_LE(need.right - need.left, client.right)
                << what << ": the label \"" << Narrow(text) << "\" is too narrow";
            EXPECT_LE(need.bottom - need.top, client.bottom)
                << what << ": the label \"" << Narrow(text) << "\" needs " << need.bottom - need.top
                << " px of height, has " << client.bottom;
            ++looked;
        }
    }
    return looked;
}

// The state of the window's menu entry with this caption; -1 when there is none.
UINT MenuEntryState(HWND window, const std::string& caption) {
    const HMENU bar = GetMenu(window);
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        const HMENU popup = GetSubMenu(bar, i);
        for (int j = 0; popup && j < GetMenuItemCount(popup); ++j) {
            wchar_t text[128] = L"";
            GetMenuStringW(popup, static_cast<UINT>(j), text, 128, MF_BYPOSITION);
            if (Narrow(text) == caption) return GetMenuState(popup, static_cast<UINT>(j), MF_BYPOSITION);
        }
    }
    return static_cast<UINT>(-1);
}

HWND FindOwned(const wchar_t* className) {
    for (int i = 0; i < 200; ++i) {
        const HWND found = FindWindowW(className, nullptr);
        if (found && IsWindowVisible(found)) return found;
        Sleep(10);
    }
    return nullptr;
}

// 05.03.2007 14:35, meter 42, measurement 7: the first record of the test archive.
TJournalRecord ArchiveRecord(int number) {
    std::uint8_t bytes[] = {0x00, 0x2A, 0x00, static_cast<std::uint8_t>(number), 0x35, 0x14, 0x05,
                            0x03, 0x07, 0x00, 0x01, 0x02, 0x2D, 0x00, 0x00};
    bytes[14] = Checksum(bytes, 14);
    return JournalRecordOf(*DecodeRecord(bytes, sizeof bytes), TJournalSource::Harvest,
                           {2025, 9, 14, 10, 30, 0, 0});
}

// The cases run again in the 144 dpi prefix under a suite name of their own (the test list's
// properties go by name).
#ifndef VIREL_FIT_SUITE
#define VIREL_FIT_SUITE JournalWindowsFit
#endif

class VIREL_FIT_SUITE : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(journal->Open().outcome, TOpenOutcome::Unavailable);
        ASSERT_EQ(journal->Capture({ArchiveRecord(7)}).outcome, TCaptureOutcome::Written);
        OpenWindow();
    }
    void OpenWindow() {
        window = std::make_unique<TJournalWindow>(application, *journal, platform, parts, formats);
        ASSERT_NE(window->Create(), nullptr);
    }
    void TearDown() override {
        window.reset();
        // The window's end quits its thread's loop: nothing of it stays in the queue.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        journal.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    int Dpi() const { return window->Dpi(); }

    TApplication application;
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("journal-fit-" + std::to_string(GetCurrentProcessId()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    bool made = std::filesystem::create_directories(folder);
    std::string path = (folder / "VIREL1_Service.db").string();
    TPlatformClock clock;
    TNoRegistryLink link;
    std::shared_ptr<virel::test::TMemorySettingsStore> store =
        std::make_shared<virel::test::TMemorySettingsStore>();
    TSettings stored{store};
    RegionalFormats formats;
    std::unique_ptr<TJournal> journal = std::make_unique<TJournal>(path, clock);
    TFileExportPlatform platform{application, formats, stored};
    TJournalWindowParts parts = JournalWindowParts(path, stored, clock, link);
    std::unique_ptr<TJournalWindow> window;
};

TEST_F(VIREL_FIT_SUITE, TheJournalWindowsColumnsAndLabels) {
    std::printf("[ figures  ] the windows at %d dpi\n", Dpi());
    EXPECT_GE(ExpectEverythingFits(window->Handle(), "the journal window"), 7);
}

TEST_F(VIREL_FIT_SUITE, TheCatalogueShowsBothKColumnsWhole) {
    bool looked = false;
    WhileModal([&] { window->CatalogueExecute(); },
               [&] {
                   const HWND dialog = FindOwned(TCatalogueDialog::kClassName);
                   if (dialog) {
                       EXPECT_GE(ExpectEverythingFits(dialog, "the catalogue"), 3);
                       const HWND list = GetDlgItem(dialog, TCatalogueDialog::kIdList);
                       RECT client{};
                       GetClientRect(list, &client);
                       const HWND header = ListView_GetHeader(list);
                       RECT last{};
                       Header_GetItemRect(header, 2, &last);
                       EXPECT_LE(last.right, client.right)
                           << "the child K column ends inside the list, not behind its edge";
                       EXPECT_GT(last.left, 0);
                       looked = true;
                   }
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
    EXPECT_TRUE(looked) << "no catalogue dialog";
}

TEST_F(VIREL_FIT_SUITE, TheRecordsDialog) {
    window->SetPeriod({{2007, 3, 1}, {2007, 3, 31}});
    ASSERT_EQ(window->RowCount(), 1u);
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window->List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    bool looked = false;
    WhileModal([&] { window->AnnotateExecute(); },
               [&] {
                   const HWND dialog = FindOwned(TAnnotationDialog::kClassName);
                   if (dialog) {
                       EXPECT_GE(ExpectEverythingFits(dialog, "the record's dialog"), 7);
                       looked = true;
                   }
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
    EXPECT_TRUE(looked) << "no record's dialog";
}

TEST_F(VIREL_FIT_SUITE, TheReportWindowIsModelessFitsAndGoesWithTheJournalWindow) {
    window->SetPeriod({{2007, 1, 1}, {2007, 12, 31}});
    window->ReportExecute();
    const HWND report = FindOwned(TReportWindow::kClassName);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(GetWindow(report, GW_OWNER), window->Handle());
    EXPECT_TRUE(IsWindowEnabled(window->Handle())) << "the journal window stays usable";
    // The report is made on a thread of its own: its tables come with a message.
    const HWND kinds = GetDlgItem(report, TReportWindow::kIdKinds);
    for (int i = 0; i < 500 && SendMessageW(kinds, LVM_GETITEMCOUNT, 0, 0) == 0; ++i) {
        Pump(application);
        Sleep(10);
    }
    ASSERT_GT(SendMessageW(kinds, LVM_GETITEMCOUNT, 0, 0), 0) << Name(GetDlgItem(report, TReportWindow::kIdHeadline));
    EXPECT_GE(ExpectEverythingFits(report, "the report window"), 11 + 4);

    // The journal answers meanwhile: another period, and a second report beside the first.
    window->QuickPeriodExecute(TQuickPeriod::WholeJournal);
    EXPECT_EQ(window->RowCount(), 1u);
    window->ReportExecute();
    EXPECT_EQ(window->ReportWindows(), 2u);
    // Closed by the operator: let go.
    PostMessageW(report, WM_COMMAND, IDCANCEL, 0);
    Pump(application);
    EXPECT_EQ(window->ReportWindows(), 1u);
    EXPECT_FALSE(IsWindow(report));
    const HWND second = FindOwned(TReportWindow::kClassName);
    ASSERT_NE(second, nullptr);
    DestroyWindow(window->Handle());
    EXPECT_FALSE(IsWindow(second)) << "the journal window's report windows close with it";
}

TEST_F(VIREL_FIT_SUITE, AColumnDraggedKeepsItsWidthStoredAndIsNotFittedOver) {
    const HWND header = ListView_GetHeader(window->List());
    // The operator drags the meter's column narrower than its header, and the error's wider;
    // the list tells its parent as it does at the end of a drag.
    const auto drag = [&](int column, int width) {
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        item.cxy = width;
        NMHEADERW end{};
        end.hdr = {header, static_cast<UINT_PTR>(GetDlgCtrlID(header)), HDN_ENDTRACKW};
        end.iItem = column;
        end.pitem = &item;
        SendMessageW(window->Handle(), WM_NOTIFY, end.hdr.idFrom, reinterpret_cast<LPARAM>(&end));
        ListView_SetColumnWidth(window->List(), column, width);
    };
    drag(1, MulDiv(30, Dpi(), 96));
    drag(4, MulDiv(190, Dpi(), 96));
    const std::vector<int> kept = window->DraggedColumnWidths();
    ASSERT_EQ(kept.size(), 7u);
    EXPECT_EQ(kept[1], 30);
    EXPECT_EQ(kept[4], 190);
    EXPECT_EQ(kept[0], 0) << "not dragged";
    EXPECT_EQ(stored.Read(TTextSetting{{kJournalSettingsSection, "ColumnWidths"}, ""}),
              "0,30,0,0,190,0,0");

    // The next window: the dragged widths as dragged, the others fitted to their headers.
    window.reset();
    OpenWindow();
    EXPECT_EQ(ListView_GetColumnWidth(window->List(), 1), MulDiv(30, Dpi(), 96));
    EXPECT_EQ(ListView_GetColumnWidth(window->List(), 4), MulDiv(190, Dpi(), 96));
    EXPECT_GE(ListView_GetColumnWidth(window->List(), 2), MulDiv(105, Dpi(), 96));
    // Another period: the dragged widths stay.
    window->SetPeriod({{2007, 3, 1}, {2007, 3, 31}});
    EXPECT_EQ(ListView_GetColumnWidth(window->List(), 1), MulDiv(30, Dpi(), 96));
}

TEST_F(VIREL_FIT_SUITE, RecordsThatCameOutsideThePeriodAreOfferedAndShownWithAClickOrCtrlG) {
    ASSERT_EQ(window->RowCount(), 0u) << "this month's";
    {
        // Another connection (a harvest) adds two old records.
        TJournal harvest(path, clock);
        ASSERT_NE(harvest.Open().outcome, TOpenOutcome::Unavailable);
        ASSERT_EQ(harvest.Capture({ArchiveRecord(8), ArchiveRecord(9)}).added, 2u);
    }
    window->Refresh();
    wchar_t line[256] = L"";
    SendMessageW(window->StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(Narrow(line),
              "Записи вне показанного периода: 2 (05.03.2007 - 05.03.2007). Показать их: щелчок "
              "по этой строке или Ctrl+G");
    ASSERT_TRUE(window->OfferedPeriod());
    EXPECT_EQ(MenuEntryState(window->Handle(), std::string(texts::kPeriodShowOutside) + "\tCtrl+G") &
                  (MF_GRAYED | MF_DISABLED),
              0u)
        << "the menu's entry is there to take";
    // A click on the status line.
    NMMOUSE click{};
    click.hdr = {window->StatusBar(), static_cast<UINT_PTR>(GetDlgCtrlID(window->StatusBar())),
                 static_cast<UINT>(NM_CLICK)};
    SendMessageW(window->Handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(window->Period().from.year, 2007);
    EXPECT_EQ(window->RowCount(), 3u) << "the two that came and the one before, same day";
    EXPECT_FALSE(window->OfferedPeriod()) << "taken";

    // This month again from the menu, a third record: Ctrl+G shows it.
    window->QuickPeriodExecute(TQuickPeriod::ThisMonth);
    EXPECT_EQ(window->RowCount(), 0u);
    {
        TJournal harvest(path, clock);
        ASSERT_NE(harvest.Open().outcome, TOpenOutcome::Unavailable);
        ASSERT_EQ(harvest.Capture({ArchiveRecord(10)}).added, 1u);
    }
    window->Refresh();
    ASSERT_TRUE(window->OfferedPeriod());
    PressKey(application, window->List(), 'G', true);
    EXPECT_EQ(window->Period().from.year, 2007);
    EXPECT_EQ(window->RowCount(), 4u);
    window->QuickPeriodExecute(TQuickPeriod::WholeJournal);
    EXPECT_EQ(window->RowCount(), 4u);
    window->QuickPeriodExecute(TQuickPeriod::LastMonth);
    EXPECT_EQ(window->RowCount(), 0u);
}

}  // namespace
}  // namespace virel::app::test
