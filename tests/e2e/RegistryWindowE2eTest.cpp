// The central registry from the program's windows, against a real PostgreSQL server of the
// test's own (scripts/pg-test-server.sh, reached through Wine's odbc32, the host's unixODBC and
// Debian's PostgreSQL driver): the dialog "Центральный журнал" configured and "Проверить"
// pressed, the password kept only encrypted in the registry, an end of measurement pushed to the
// server and read back there by psql, the journal window's line while the server is stopped and
// after it is back, and a server that never answers holding up neither the dialog nor the end.
#include <winsock2.h>
// after winsock2.h
#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "FaultSupport.h"
#include "ReaderSupport.h"
#include "app/platform/RegistrySettingsStore.h"
#include "app/windows/Face.h"
#include "app/windows/JournalWindow.h"
#include "app/windows/RegistryDialog.h"
#include "app/windows/ReportWindow.h"
#include "core/Utf16.h"
#include "forms/RegistryForm.h"
#include "forms/ReportSources.h"
#include "storage/RegSettingsStore.h"
#include "win/Windows.h"

#if !defined(VIREL_E2E_PG_SCRIPT) || !defined(VIREL_E2E_PG_DIR) || \
    !defined(VIREL_E2E_JOURNAL_READER)
#error "build with the server's script, a folder for the server and the journal's reader"
#endif

namespace virel::e2e {
namespace {

// The programs of these cases run in this process: their settings are under its name.
const std::wstring kStoreKey = Widen(ProgramRegistryKey() + "\\TCentralJournal");
const char kRoom[] = "Рентген 3";

// The settings of the central journal as no test left them: none stored, before and after.
class TNoStoredRegistry {
public:
    TNoStoredRegistry() { RegDeleteTreeW(HKEY_CURRENT_USER, kStoreKey.c_str()); }
    ~TNoStoredRegistry() { RegDeleteTreeW(HKEY_CURRENT_USER, kStoreKey.c_str()); }
    TNoStoredRegistry(const TNoStoredRegistry&) = delete;
    TNoStoredRegistry& operator=(const TNoStoredRegistry&) = delete;
};

// The test's own server, started for the suite; halted and resumed as a crash and a restart.
class TServer {
public:
    bool Start() { return Script("start"); }
    bool Stop() {
        const bool stopped = Script("stop");
        DeleteFileW(ZPath(dir_ + ".log").c_str());
        return stopped;
    }
    bool Halt() { return Script("halt"); }
    bool Resume() { return Script("resume"); }
    std::string Connection() const { return Line("connection"); }
    std::string Password() const { return Line("password"); }
    std::string Port() const { return Line("port"); }

    // The rows psql prints for `sql` (run from a file: UTF-8 whatever Wine's locale), fields
    // split at tabs.
    std::vector<std::vector<std::string>> Query(const std::string& sql) const {
        static int serial = 0;
        const std::string base = dir_ + "-q" + std::to_string(++serial);
        WriteBytes(ZPath(base + ".sql"), sql);
        const std::wstring out = ZPath(base + ".out");
        DeleteFileW(out.c_str());
        RunUnix("PGPASSWORD='" + Password() + "' PGCONNECT_TIMEOUT=10 psql -X -q -At -F '\t' " +
                "-h 127.0.0.1 -p " + Port() + " -U virel -d postgres -f '" + base + ".sql' >'" +
                base + ".out' 2>&1");
        std::vector<std::vector<std::string>> rows;
        std::string line;
        for (const char c : ReadFileBytes(out) + "\n") {
            if (c != '\n') {
                line += c;
                continue;
            }
            if (!line.empty()) {
                std::vector<std::string> fields(1);
                for (const char f : line) {
                    if (f == '\t')
                        fields.emplace_back();
                    else
                        fields.back() += f;
                }
                rows.push_back(std::move(fields));
            }
            line.clear();
        }
        DeleteFileW(ZPath(base + ".sql").c_str());
        DeleteFileW(out.c_str());
        return rows;
    }

private:
    static void WriteBytes(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    bool Script(const std::string& action) const {
        return RunUnix(std::string(VIREL_E2E_PG_SCRIPT) + " " + action + " '" + dir_ + "' >'" +
                           dir_ + ".log' 2>&1",
                       true, 120000);
    }
    std::string Line(const char* name) const {
        std::string text = ReadFileBytes(ZPath(dir_ + "/" + name));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }

    // Beside the suite's server, by the process: the server's own user reaches it there.
    std::string dir_ =
        std::string(VIREL_E2E_PG_DIR) + "-e2e-" + std::to_string(GetCurrentProcessId());
};

TServer* g_server = nullptr;

// A TCP port that takes connections and never answers: a server that hangs.
class TSilentServer {
public:
    TSilentServer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(socket_, 8);
        int size = sizeof address;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    // Gone: the connections waiting on it are refused, so a driver still waiting gives up.
    ~TSilentServer() {
        closesocket(socket_);
        WSACleanup();
    }
    TSilentServer(const TSilentServer&) = delete;
    TSilentServer& operator=(const TSilentServer&) = delete;
    std::string Connection() const {
        return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
               ";Database=postgres;Uid=virel;";
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

// The command of the menu entry with this caption (0: none).
UINT MenuCommand(HWND window, const std::string& caption) {
    const HMENU bar = GetMenu(window);
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
        const HMENU popup = GetSubMenu(bar, i);
        for (int j = 0; popup && j < GetMenuItemCount(popup); ++j) {
            wchar_t text[128] = L"";
            GetMenuStringW(popup, static_cast<UINT>(j), text, 128, MF_BYPOSITION);
            if (Narrow(text) == caption) return GetMenuItemID(popup, j);
        }
    }
    return 0;
}

// Waits up to `ms` for `done`, looking every 100 ms.
bool WaitFor(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 100) {
        if (done()) return true;
        Sleep(100);
    }
    return done();
}

class RegistryWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_server = new TServer;
        if (!g_server->Start()) ADD_FAILURE() << "the test's PostgreSQL server did not start";
    }
    static void TearDownTestSuite() {
        g_server->Stop();
        delete g_server;
        g_server = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(g_server->Port().empty()) << "no server";
        // The meter of this test behind COM11, typed into the port box as the operator would.
        SetWindowTextW(program->Face().CB_ComPort(), L"COM11");
    }
    void TearDown() override {
        if (program) program->program->SaveUnwrittenLines();
        program.reset();
    }

    TRegistrySettings ServerSettings() const {
        return {g_server->Connection(), kRoom, g_server->Password()};
    }
    app::TJournalWindowHost& Host() { return program->program->JournalWindow(); }
    // Ctrl+J as the keyboard sends it to the main window.
    void OpenJournalWindow() {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
        SetKeyboardState(keys);
        PostMessageW(program->Face().LE_Dose(), WM_KEYDOWN, 'J', 1);
        program->Pump();
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0;
        SetKeyboardState(keys);
    }
    std::string LinkLine() { return Narrow(win::WindowText(Host().Object()->LinkLine())); }
    bool WaitForLine(const std::function<bool(const std::string&)>& wanted, int ms) {
        return WaitFor([&] { return wanted(LinkLine()); }, ms);
    }
    // The dialog, opened by its button in the journal window, or by its entry in the window's
    // menu (within 5 s).
    HWND OpenDialog(bool fromMenu = false) {
        if (fromMenu) {
            const UINT command = MenuCommand(Host().Window(), texts::kRegistryButton);
            if (command == 0) return nullptr;
            PostMessageW(Host().Window(), WM_COMMAND, command, 0);
        } else {
            PostMessageW(Host().Object()->RegistryButton(), BM_CLICK, 0, 0);
        }
        HWND dialog = nullptr;
        WaitFor(
            [&] {
                dialog = FindWindowW(app::TRegistryDialog::kClassName, nullptr);
                return dialog && IsWindowVisible(dialog);
            },
            5000);
        return dialog;
    }
    static HWND Field(HWND dialog, int id) { return GetDlgItem(dialog, id); }
    static void Type(HWND dialog, int id, const std::string& text) {
        SendMessageW(Field(dialog, id), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(Widen(text).c_str()));
    }
    static std::string Read(HWND dialog, int id) {
        return Narrow(win::WindowText(Field(dialog, id)));
    }
    // "Проверить" pressed; its line once the check has answered (within `ms`).
    static std::string Check(HWND dialog, int ms = 30000) {
        Type(dialog, app::TRegistryDialog::kIdCheckResult, "");
        PostMessageW(Field(dialog, app::TRegistryDialog::kIdCheck), BM_CLICK, 0, 0);
        WaitFor(
            [&] {
                const std::string text = Read(dialog, app::TRegistryDialog::kIdCheckResult);
                return !text.empty() && text != texts::kRegistryChecking;
            },
            ms);
        return Read(dialog, app::TRegistryDialog::kIdCheckResult);
    }
    void Press() {
        program->Click(program->Face().BitBtn1());
        ASSERT_EQ(program->Status(), "Считывание текущих значений произведено успешно");
    }
    // The journal's records as Python's sqlite3 reads the file: "device|number|dose".
    std::vector<std::string> JournalRecords() {
        std::vector<std::string> records;
        for (const auto& row :
             RunReader(VIREL_E2E_JOURNAL_READER, program->workDir + L"\\VIREL1_Service.db"))
            if (row.size() == 6) records.push_back(row[0] + "|" + row[1] + "|" + row[3]);
        return records;
    }
    // The server's records of the room, the same way: "device|number|dose".
    std::vector<std::string> ServerRecords() {
        std::vector<std::string> records;
        for (const auto& row : g_server->Query(
                 "SELECT device, number, dose FROM records WHERE room = 'Рентген 3' ORDER BY id"))
            if (row.size() == 3) records.push_back(row[0] + "|" + row[1] + "|" + row[2]);
        return records;
    }
    // Whether each of `records` is on the server once. Only these: the settings are every
    // program's of this Windows user, so another test's program started meanwhile pushes its
    // own records to this server too.
    bool EachOnceOnTheServer(const std::vector<std::string>& records) {
        const auto server = ServerRecords();
        for (const std::string& record : records)
            if (std::count(server.begin(), server.end(), record) != 1) return false;
        return true;
    }

    TNoStoredRegistry noneStored_;
    TMeter meter;
    std::unique_ptr<TRunningProgram> program = std::make_unique<TRunningProgram>();
};

// The password's bytes as any encoding would put them into a value: UTF-8 (= code page 1251 for
// the ASCII letters of the server's password), UTF-16 in both byte orders.
std::vector<std::string> Encodings(const std::string& password) {
    std::vector<std::string> forms{password};
    const std::wstring wide = Widen(password);
    std::string little, big;
    for (const wchar_t c : wide) {
        little += static_cast<char>(c & 0xff);
        little += static_cast<char>(c >> 8);
        big += static_cast<char>(c >> 8);
        big += static_cast<char>(c & 0xff);
    }
    forms.push_back(little);
    forms.push_back(big);
    return forms;
}

// Every value under the key: name -> (type, bytes).
std::vector<std::tuple<std::wstring, DWORD, std::string>> StoredValues() {
    std::vector<std::tuple<std::wstring, DWORD, std::string>> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kStoreKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = 256, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        nameSize = 256;
        RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &size);
        data.resize(size);
        values.emplace_back(name, type, data);
    }
    RegCloseKey(key);
    return values;
}

TEST_F(RegistryWindow, TheDialogChecksAgainstTheServerAndKeepsThePasswordOnlyEncrypted) {
    OpenJournalWindow();
    ASSERT_NE(Host().Window(), nullptr);
    EXPECT_EQ(LinkLine(), "") << "nothing while the registry is not configured";

    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(win::WindowText(dialog), L"Центральный журнал");
    EXPECT_NE(
        GetWindowLongW(Field(dialog, app::TRegistryDialog::kIdPassword), GWL_STYLE) & ES_PASSWORD,
        0);
    EXPECT_FALSE(IsWindowEnabled(Field(dialog, app::TRegistryDialog::kIdForget)))
        << "no stored password to forget";
    Type(dialog, app::TRegistryDialog::kIdConnection, g_server->Connection());
    Type(dialog, app::TRegistryDialog::kIdRoom, kRoom);

    // A wrong password: the server's reason, never the password typed.
    const std::string wrong = "неверный-пароль-" + std::to_string(GetTickCount());
    Type(dialog, app::TRegistryDialog::kIdPassword, wrong);
    std::string answer = Check(dialog);
    EXPECT_EQ(answer.rfind("Не работает: ", 0), 0u) << answer;
    EXPECT_GT(answer.size(), std::string("Не работает: ").size() + 5) << "with a reason";
    EXPECT_EQ(answer.find(wrong), std::string::npos) << answer;
    EXPECT_TRUE(IsWindowEnabled(Field(dialog, app::TRegistryDialog::kIdCheck)));

    Type(dialog, app::TRegistryDialog::kIdPassword, g_server->Password());
    answer = Check(dialog);
    EXPECT_EQ(answer, "Соединение работает.");

    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 5000)) << "OK closes it";

    // Stored: the connection and the room as text, the password in no encoding anywhere.
    const auto values = StoredValues();
    ASSERT_FALSE(values.empty());
    bool passwordValue = false;
    for (const auto& [name, type, data] : values) {
        for (const std::string& form : Encodings(g_server->Password()))
            EXPECT_EQ(data.find(form), std::string::npos) << Narrow(name) << " holds the password";
        if (name == L"Password") {
            passwordValue = true;
            EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
            EXPECT_GT(data.size(), g_server->Password().size()) << "an encrypted blob";
        }
    }
    EXPECT_TRUE(passwordValue);
    const TRegistrySettings stored = app::LoadOwnRegistrySettings();
    EXPECT_EQ(stored.connection, g_server->Connection());
    EXPECT_EQ(stored.room, kRoom);
    EXPECT_EQ(stored.password, g_server->Password()) << "decrypted for this user";

    // The pusher took the new settings: the line tells of the push within seconds.
    EXPECT_TRUE(WaitForLine(
        [](const std::string& line) {
            return line.rfind("Центральный журнал: отправлено ", 0) == 0 &&
                   line.find(", ждут отправки: 0") != std::string::npos;
        },
        20000))
        << LinkLine();

    // Opened again, from the window's menu: the password's field empty, saying that one is
    // stored.
    dialog = OpenDialog(true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Read(dialog, app::TRegistryDialog::kIdConnection), g_server->Connection());
    EXPECT_EQ(Read(dialog, app::TRegistryDialog::kIdRoom), kRoom);
    EXPECT_EQ(Read(dialog, app::TRegistryDialog::kIdPassword), "") << "never shown";
    wchar_t cue[128] = L"";
    SendMessageW(Field(dialog, app::TRegistryDialog::kIdPassword), EM_GETCUEBANNER,
                 reinterpret_cast<WPARAM>(cue), 128);
    EXPECT_EQ(Narrow(cue), texts::kRegistryPasswordStored);
    EXPECT_TRUE(IsWindowEnabled(Field(dialog, app::TRegistryDialog::kIdForget)));
    // "Проверить" with the field left empty uses the stored password.
    EXPECT_EQ(Check(dialog), "Соединение работает.");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }, 5000));
}

TEST_F(RegistryWindow, AnEndOfMeasurementReachesTheServerAndWaitsWhileTheServerIsDown) {
    TSettings stored = ProgramSettings();
    ASSERT_TRUE(app::SaveRegistrySettings(stored, ServerSettings()));
    program->program->RegistryPusher().SettingsChanged();

    // Pushed with the journal window closed: the pusher is the program's.
    const double pressed = NowMs();
    Press();
    const auto journal = JournalRecords();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_TRUE(WaitFor([&] { return EachOnceOnTheServer(journal); }, 20000))
        << "the server holds " << ServerRecords().size() << " records of the room";
    std::printf("[ figures  ] the press on the server after %.0f ms (psql's looks included)\n",
                NowMs() - pressed);

    OpenJournalWindow();
    ASSERT_NE(Host().Window(), nullptr);
    EXPECT_TRUE(WaitForLine(
        [](const std::string& line) {
            return line.find(", ждут отправки: 0") != std::string::npos;
        },
        10000))
        << LinkLine();

    // The server stopped: the new record waits, and the line says why.
    ASSERT_TRUE(g_server->Halt());
    Press();
    EXPECT_TRUE(WaitForLine(
        [](const std::string& line) {
            return line.find(", ждут отправки: 1; сервер не отвечает: ") != std::string::npos;
        },
        30000))
        << LinkLine();
    const auto waiting = LinkLine();

    // Back: the next retry (5, 10, 20 s after the failures) empties the queue.
    ASSERT_TRUE(g_server->Resume());
    const double resumed = NowMs();
    EXPECT_TRUE(WaitForLine(
        [](const std::string& line) {
            return line.find(", ждут отправки: 0") != std::string::npos &&
                   line.find("сервер не отвечает") == std::string::npos;
        },
        90000))
        << LinkLine() << " (while down: " << waiting << ")";
    std::printf("[ figures  ] the queue empty %.0f ms after the server came back\n",
                NowMs() - resumed);
    const auto both = JournalRecords();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_TRUE(EachOnceOnTheServer(both)) << "each record once";

    // The report window offers the server's rooms: all of them, as the server counts them, this
    // one, and each other room the server holds (asked of it once the window is open).
    g_server->Query("INSERT INTO rooms (name) VALUES ('Рентген 5') ON CONFLICT DO NOTHING");
    const UINT report = MenuCommand(Host().Window(), "&Отчёт за период...");
    ASSERT_NE(report, 0u);
    PostMessageW(Host().Window(), WM_COMMAND, report, 0);
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            window = FindWindowW(app::TReportWindow::kClassName, nullptr);
            return window && IsWindowVisible(window);
        },
        5000));
    const HWND source = GetDlgItem(window, app::TReportWindow::kIdSource);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(source, CB_GETCOUNT, 0, 0) == 4; }, 20000))
        << SendMessageW(source, CB_GETCOUNT, 0, 0) << " sources";
    wchar_t other[64] = {};
    SendMessageW(source, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(other));
    EXPECT_EQ(Narrow(other), "Рентген 5");
    SendMessageW(source, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(Narrow(win::WindowText(source)), texts::kReportSourceAllRooms);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(app::TReportWindow::kIdSource, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(source));
    const HWND headline = GetDlgItem(window, app::TReportWindow::kIdHeadline);
    std::string text;
    // This month's, as the report's period is by default.
    SYSTEMTIME today{};
    GetLocalTime(&today);
    char monthStart[16];
    snprintf(monthStart, sizeof monthStart, "%04u-%02u-01", today.wYear, today.wMonth);
    const auto serverCount = [&] {
        const auto rows = g_server->Query(
            std::string("SELECT count(*) FROM records WHERE at_minute >= '") + monthStart + "'");
        return rows.empty() ? std::string("?") : rows[0][0];
    };
    EXPECT_TRUE(WaitFor(
        [&] {
            text = Narrow(win::WindowText(headline));
            return text.find(", записей: " + serverCount()) != std::string::npos;
        },
        20000))
        << text << " (the server: " << serverCount() << ")";
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }, 5000));
}

TEST_F(RegistryWindow, AServerThatNeverAnswersHoldsUpNeitherTheDialogNorTheEnd) {
    TSilentServer silent;
    OpenJournalWindow();
    ASSERT_NE(Host().Window(), nullptr);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    Type(dialog, app::TRegistryDialog::kIdConnection, silent.Connection());
    Type(dialog, app::TRegistryDialog::kIdRoom, kRoom);
    Type(dialog, app::TRegistryDialog::kIdPassword, "пароль");
    PostMessageW(Field(dialog, app::TRegistryDialog::kIdCheck), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor(
        [&] { return !IsWindowEnabled(Field(dialog, app::TRegistryDialog::kIdCheck)); }, 5000))
        << "the button waits with the check";
    Sleep(1000);
    EXPECT_EQ(Read(dialog, app::TRegistryDialog::kIdCheckResult), texts::kRegistryChecking)
        << "the check still waits for the server";
    // The dialog answers meanwhile: its thread is not the one that waits.
    const double start = NowMs();
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(Field(dialog, app::TRegistryDialog::kIdRoom), WM_SETTEXT, 0,
                                  reinterpret_cast<LPARAM>(L"Рентген 4"), SMTO_ABORTIFHUNG, 2000,
                                  &result),
              0);
    EXPECT_LT(NowMs() - start, 500);
    EXPECT_EQ(Read(dialog, app::TRegistryDialog::kIdRoom), "Рентген 4");
    // OK stores while the check still runs; the check's answer later goes nowhere.
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor(
        [&] {
            return FindWindowW(app::TRegistryDialog::kClassName, nullptr) == nullptr ||
                   !IsWindowVisible(dialog);
        },
        5000));
    EXPECT_EQ(app::LoadOwnRegistrySettings().connection, silent.Connection());

    // A report over all rooms waits for that server; closing its window does not.
    const UINT report = MenuCommand(Host().Window(), "&Отчёт за период...");
    ASSERT_NE(report, 0u);
    PostMessageW(Host().Window(), WM_COMMAND, report, 0);
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            window = FindWindowW(app::TReportWindow::kClassName, nullptr);
            return window && IsWindowVisible(window);
        },
        5000));
    const HWND source = GetDlgItem(window, app::TReportWindow::kIdSource);
    SendMessageW(source, CB_SETCURSEL, 1, 0);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(app::TReportWindow::kIdSource, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(source));
    Sleep(1000);
    EXPECT_EQ(Narrow(win::WindowText(GetDlgItem(window, app::TReportWindow::kIdHeadline))),
              texts::kReportComputing)
        << "the report still waits for the server";
    const double closing = NowMs();
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(
        WaitFor([&] { return FindWindowW(app::TReportWindow::kClassName, nullptr) == nullptr; },
                3000))
        << "the report window is gone at once";
    DWORD_PTR answered = 0;
    EXPECT_NE(SendMessageTimeoutW(Host().Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answered),
              0)
        << "the journal window answers";
    EXPECT_LT(NowMs() - closing, 3000);

    // The pusher now waits on that server too (new settings push at once): the end of the
    // program does not wait for it.
    Press();
    Sleep(500);
    const double end = NowMs();
    program->program->SaveUnwrittenLines();
    program.reset();
    const double took = NowMs() - end;
    EXPECT_LT(took, 4000) << "the program's end waited " << took << " ms";
    std::printf("[ figures  ] the program's end took %.0f ms with a push waiting on the server\n",
                took);
}

}  // namespace
}  // namespace virel::e2e
