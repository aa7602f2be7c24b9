// The window "Журнал доз" on a long journal, under Wine: the first screen (the window made,
// its own connection opened, this month's count and total, the list painted with its first
// rows), a month chosen in the date pickers (counted and painted again), and the private memory
// of the program (VIREL1_Service.exe) with the window open.
//
//   wine JournalWindowBench.exe <folder> [runs] [seconds the program stays open at the end]
//
// <folder> holds VIREL1_Service.db (made natively by `JournalBench 1000000 <folder>`). Its
// dates are moved forward first so that its newest month is this month, as on a PC that has
// used the meter for years (the window opens on this month). VIREL1_Service.exe is copied into
// the folder and started there, so that its journal is that one.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <psapi.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/platform/PlatformClock.h"
#include "app/windows/Face.h"
#include "app/windows/JournalWindow.h"
#include "core/Utf16.h"
#include "storage/RegSettingsStore.h"
#include "tests/e2e/ProcessFigures.h"

#ifndef VIREL_PROGRAM_PATH
#error "build with the path of VIREL1_Service.exe"
#endif

namespace {

using namespace virel;

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double PrivateMb(const PROCESS_INFORMATION& process) {
    const auto figures = e2e::MeasureProcess(process.hProcess, process.dwProcessId);
    return static_cast<double>(figures.privateBytes) / (1024.0 * 1024.0);
}

// Moves every date by whole months so that the newest record falls in this month.
bool MoveToThisMonth(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string sql =
        "SELECT (" + std::to_string(now.wYear) + " * 12 + " + std::to_string(now.wMonth) +
        ") - (CAST(substr(max(measured_at), 1, 4) AS INTEGER) * 12 + "
        "CAST(substr(max(measured_at), 6, 2) AS INTEGER)) FROM records";
    sqlite3_stmt* s = nullptr;
    int months = 0;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        months = sqlite3_column_int(s, 0);
    }
    sqlite3_finalize(s);
    bool ok = true;
    if (months != 0) {
        char update[512];
        std::snprintf(update, sizeof update,
                      "BEGIN; UPDATE records SET measured_at = strftime('%%Y-%%m-%%d %%H:%%M', "
                      "measured_at, '%+d months'), first_seen = strftime('%%Y-%%m-%%d %%H:%%M:%%S', "
                      "first_seen, '%+d months'); COMMIT;",
                      months, months);
        ok = sqlite3_exec(db, update, nullptr, nullptr, nullptr) == SQLITE_OK;
        std::printf("dates moved by %d months\n", months);
    }
    sqlite3_close(db);
    return ok;
}

// Both dates set in the pickers, then the window told once: a month chosen, not the long
// period in between that a picker changed alone would show for a moment.
void SetPeriod(app::TJournalWindow& window, SYSTEMTIME from, SYSTEMTIME to) {
    SendMessageW(window.FromPicker(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&from));
    SendMessageW(window.ToPicker(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&to));
    NMDATETIMECHANGE change{};
    change.nmhdr = {window.ToPicker(), static_cast<UINT_PTR>(GetDlgCtrlID(window.ToPicker())),
                    DTN_DATETIMECHANGE};
    change.dwFlags = GDT_VALID;
    change.st = to;
    SendMessageW(window.Handle(), WM_NOTIFY, change.nmhdr.idFrom, reinterpret_cast<LPARAM>(&change));
}

void Summary(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    double sum = 0;
    for (double v : values) sum += v;
    std::printf("%s: median %.1f ms, min %.1f, max %.1f, mean %.1f (%zu runs)\n", what,
                values[values.size() / 2], values.front(), values.back(),
                sum / static_cast<double>(values.size()), values.size());
}

// The program started in the folder, its journal window opened (Ctrl+J's command), its private
// memory once the window shows this month.
void ProgramMemory(const std::wstring& folder, int holdSeconds) {
    const std::wstring exe = folder + L"\\VIREL1_Service.exe";
    CopyFileW(Widen(VIREL_PROGRAM_PATH).c_str(), exe.c_str(), FALSE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        std::printf("the program did not start\n");
        return;
    }
    WaitForInputIdle(info.hProcess, 10000);
    HWND face = nullptr;
    for (int i = 0; i < 200 && !face; ++i, Sleep(50)) face = FindWindowW(L"TFace", nullptr);
    const double before = PrivateMb(info);
    PostMessageW(face, WM_COMMAND, app::kActJournal, 0);
    HWND journal = nullptr;
    for (int i = 0; i < 200 && !journal; ++i, Sleep(50))
        journal = FindWindowW(app::TJournalWindow::kClassName, nullptr);
    Sleep(1500);  // painted, and one refresh of the timer
    const double with = PrivateMb(info);
    // Scrolled through the month to its end, as an operator looking for a record would.
    HWND list = FindWindowExW(journal, nullptr, WC_LISTVIEWW, nullptr);
    const auto count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT at = 0; at < count; at += 20) {
        SendMessageW(list, LVM_ENSUREVISIBLE, at, FALSE);
        UpdateWindow(list);
    }
    const double scrolled = PrivateMb(info);
    std::printf(
        "program's private memory: %.1f MB without the journal window, %.1f MB with it open "
        "(%lld rows this month), %.1f MB after scrolling through them\n",
        before, with, static_cast<long long>(count), scrolled);
    Sleep(static_cast<DWORD>(holdSeconds) * 1000);  // time to look at it (a screenshot)
    PostMessageW(face, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: JournalWindowBench.exe <folder with VIREL1_Service.db> [runs]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const int runs = argc > 2 ? _wtoi(argv[2]) : 10;
    const std::string path = Narrow(folder) + "\\VIREL1_Service.db";
    if (!MoveToThisMonth(path)) {
        std::printf("cannot open %s\n", path.c_str());
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    SYSTEMTIME now;
    GetLocalTime(&now);
    std::vector<double> first, filter;
    long long shown = 0, filtered = 0;
    for (int run = 0; run < runs; ++run) {
        TNoRegistryLink noRegistry;
        app::TPlatformClock clock;
        app::TJournalWindowHost host(app::JournalWindowParts(
            path, UserSettings("Software\\VIREL1_Service\\JournalWindowBench"), clock,
            noRegistry));
        const double start = NowMs();
        host.Show(RegionalFormats{});
        app::TJournalWindow* window = host.Object();
        if (!window) {
            std::printf("the window did not open\n");
            return 1;
        }
        UpdateWindow(window->List());  // painted with its first rows (fetched for the paint)
        first.push_back(NowMs() - start);
        shown = static_cast<long long>(SendMessageW(window->List(), LVM_GETITEMCOUNT, 0, 0));

        // A month of some years before, chosen in the pickers: counted, fetched and painted.
        const WORD year = static_cast<WORD>(now.wYear - 1 - run % 5);
        const WORD month = static_cast<WORD>(1 + (run * 5) % 12);
        SYSTEMTIME from{year, month, 0, 1, 0, 0, 0, 0};
        SYSTEMTIME to{year, month, 0, static_cast<WORD>(month == 2 ? 28 : 30), 0, 0, 0, 0};
        const double filterStart = NowMs();
        SetPeriod(*window, from, to);
        UpdateWindow(window->List());
        filter.push_back(NowMs() - filterStart);
        filtered = static_cast<long long>(SendMessageW(window->List(), LVM_GETITEMCOUNT, 0, 0));
        host.Close();
    }
    std::printf("this month: %lld records; a month chosen: %lld records\n", shown, filtered);
    Summary("first screen (window, connection, count and total, first rows painted)", first);
    Summary("a month's filter (count and total, first rows painted)", filter);
    ProgramMemory(folder, argc > 3 ? _wtoi(argv[3]) : 0);
    return 0;
}
