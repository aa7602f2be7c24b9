// VIREL1_Service.exe /harvest end to end: a copy of the real program started as the Task
// Scheduler starts it, against the simulated meter on COM12. Its exit code for each way a
// harvest ends, its line on the standard output and in the harvest file, the journal read back
// by a tool of its own, and a second run that adds nothing.
#include <winsock2.h>
// after winsock2.h
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/platform/RegistrySettingsStore.h"
#include "app/windows/JournalWindow.h"
#include "core/TextCodec.h"
#include "storage/RegSettingsStore.h"
#include "win/Windows.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/e2e/FaultSupport.h"
#include "tests/e2e/ReaderSupport.h"
#include "tests/support/StoredSettings.h"

#if !defined(VIREL_PROGRAM_PATH) || !defined(VIREL_E2E_JOURNAL_READER)
#error "build with the paths of VIREL1_Service.exe and of the journal reader"
#endif

namespace virel::e2e {
namespace {

// A copy named after this test process keeps its settings under a key of its own.
const std::wstring kName = L"VIREL1_H" + std::to_wstring(GetCurrentProcessId());
const std::wstring kSection = L"Software\\" + kName + L"\\TFace";
constexpr char kAdded256[] = "В журнал добавлено 256 новых записей из 256";
constexpr double kDefaultAlertLevel = 200;  // Gy·cm²: the journal's level for every record

class HarvestE2e : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder =
            std::wstring(L"" VIREL_E2E_WORK) + L"\\harvest-" + kName + L"-" + Widen(info->name());
        CreateDirectoryW(L"" VIREL_E2E_WORK, nullptr);
        RunUnix("rm -rf '" + UnixPath(folder) + "'");
        CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(L"" VIREL_PROGRAM_PATH, Exe().c_str(), FALSE));
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + kName).c_str());
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + kName).c_str()); }

    std::wstring Exe() const { return folder + L"\\" + kName + L".exe"; }
    std::wstring Journal() const { return folder + L"\\VIREL1_Service.db"; }
    std::wstring HarvestFile() const { return folder + L"\\VIREL1_Service.harvest.txt"; }

    TProgramRun Run(const std::wstring& arguments, DWORD timeoutMs = 120'000) {
        return RunProgram(Exe(), arguments, folder, timeoutMs);
    }

    // What the program's standard output should hold for `summary`: the line as it is, UTF-8.
    static std::string Output(const std::string& summary) { return summary + "\r\n"; }

    // The harvest file's lines (code page 1251, CR LF), as UTF-8, with their stamps apart.
    struct TFileLine {
        std::string stamp;
        std::string text;
    };
    std::vector<TFileLine> FileLines() const {
        const std::string bytes = ReadFileBytes(HarvestFile());
        std::vector<TFileLine> lines;
        std::size_t at = 0;
        while (at < bytes.size()) {
            const std::size_t end = bytes.find("\r\n", at);
            if (end == std::string::npos) {
                lines.push_back({"", "<no line end> " + Cp1251ToUtf8(bytes.substr(at))});
                break;
            }
            const std::string line = Cp1251ToUtf8(bytes.substr(at, end - at));
            lines.push_back({line.substr(0, 19), line.size() > 20 ? line.substr(20) : ""});
            at = end + 2;
        }
        return lines;
    }

    std::vector<std::vector<std::string>> ReadJournal() const {
        return RunReader(VIREL_E2E_JOURNAL_READER, Journal());
    }

    // The line of a harvest of all 256 records: with the count of the harvested records over the
    // journal's default alert level, as the journal file read independently holds them.
    int OverAlertLevel() const {
        int over = 0;
        for (const auto& row : ReadJournal())
            if (row.size() == 6 && row[5] == "harvest" && std::stod(row[3]) > kDefaultAlertLevel)
                ++over;
        return over;
    }
    std::string Added256() const {
        const int over = OverAlertLevel();
        std::string line = kAdded256;
        if (over > 0) line += "; выше порога оповещения: " + std::to_string(over);
        return line;
    }

    static bool IsStamp(const std::string& stamp) {
        int y, mo, d, h, mi, s;
        char end;
        return stamp.size() == 19 && sscanf(stamp.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d,
                                            &h, &mi, &s, &end) == 6;
    }

    std::wstring folder;
    TMeter meter;
};

TEST_F(HarvestE2e, TheStoredLineIsHarvestedOnceAndASecondRunAddsNothing) {
    // The window's stored port and speed: COM12 at 9600 (item 1).
    StoreText(kSection, L"CB_ComPort_Text", L" COM12 ");
    StoreText(kSection, L"CB_Spead_ItemIndex", L"1");
    const TProgramRun first = Run(L"/harvest");
    EXPECT_EQ(first.exitCode, 0u) << first.output;
    EXPECT_EQ(first.output, Output(Added256()));
    const auto notes = meter.Notes();
    EXPECT_NE(std::find(notes.begin(), notes.end(), "line speed 9600"), notes.end());
    EXPECT_EQ(meter.CountReceived({0x01, 'F', 'P', 'R'}), 0) << "no measurement cut short";

    auto rows = ReadJournal();
    ASSERT_EQ(rows.size(), 256u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 6u);
        EXPECT_EQ(row[5], "harvest");
    }

    // Again, on the line the command names: nothing new, and the stored values untouched.
    const TMeter again;
    const TProgramRun second = Run(L"-HARVEST /Port com12 -speed 4800");
    EXPECT_EQ(second.exitCode, 0u) << second.output;
    EXPECT_EQ(second.output, Output("В журнал добавлено 0 новых записей из 256"));
    const auto notesAgain = again.Notes();
    EXPECT_NE(std::find(notesAgain.begin(), notesAgain.end(), "line speed 4800"), notesAgain.end());
    EXPECT_EQ(ReadJournal().size(), 256u);
    EXPECT_EQ(StoredText(kSection, L"CB_Spead_ItemIndex"), L"1");
    EXPECT_EQ(StoredText(kSection, L"CB_ComPort_Text"), L" COM12 ");

    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(IsStamp(lines[0].stamp)) << lines[0].stamp;
    EXPECT_EQ(lines[0].text, Added256());
    EXPECT_TRUE(IsStamp(lines[1].stamp)) << lines[1].stamp;
    EXPECT_EQ(lines[1].text, "В журнал добавлено 0 новых записей из 256");
    EXPECT_LE(lines[0].stamp, lines[1].stamp);
    // Code page 1251, as the log: "В журнал" is C2 20 E6 F3 F0 ED E0 EB.
    EXPECT_NE(ReadFileBytes(HarvestFile()).find("\xC2\x20\xE6\xF3\xF0\xED\xE0\xEB"),
              std::string::npos);
}

TEST_F(HarvestE2e, TwoHarvestsAtOnceOnOnePortBothEndWellAndKeepEveryRecordOnce) {
    // Two scheduled tasks, the second started half a second after the first: one reads while
    // the other waits for the port, so no reply of one goes to the other.
    TProgramRun second;
    std::thread later([&] {
        Sleep(500);
        second = Run(L"/harvest /port COM12 /speed 9600");
    });
    const TProgramRun first = Run(L"/harvest /port COM12 /speed 9600");
    later.join();
    EXPECT_EQ(first.exitCode, 0u) << first.output;
    EXPECT_EQ(second.exitCode, 0u) << second.output;
    const std::multiset<std::string> outputs = {first.output, second.output};
    EXPECT_EQ(outputs,
              (std::multiset<std::string>{Output(Added256()),
                                          Output("В журнал добавлено 0 новых записей из 256")}));

    const auto rows = ReadJournal();
    EXPECT_EQ(rows.size(), 256u);
    EXPECT_EQ(std::set<std::vector<std::string>>(rows.begin(), rows.end()).size(), 256u)
        << "each record once";
    EXPECT_EQ(meter.CountReceived({0x04, 'R', 'D', 0x00}), 2) << "each read the whole archive";
    EXPECT_EQ(FileLines().size(), 2u);
}

TEST_F(HarvestE2e, NothingHarvestedFromASilentMeterOrAPortThatIsNotThere) {
    meter.Set("silent=1\n");
    const TProgramRun silent = Run(L"/harvest /port COM12");
    EXPECT_EQ(silent.exitCode, 1u);
    EXPECT_EQ(silent.output, Output("Архив не собран в журнал: не прочитано ни одной записи"));
    EXPECT_LT(silent.ms, 30'000) << "the first record unanswered ends it";
    meter.Set("");

    const TProgramRun noPort = Run(L"/harvest /port COM200");
    EXPECT_EQ(noPort.exitCode, 1u);
    EXPECT_EQ(noPort.output, Output("Архив не собран в журнал: не удалось открыть порт COM200"));

    const TProgramRun bad = Run(L"/harvest /speed 300");
    EXPECT_EQ(bad.exitCode, 4u);
    EXPECT_EQ(bad.output,
              Output("Скорость «300» не поддерживается (4800 или 9600). Запуск без "
                     "окна: VIREL1_Service.exe /harvest [/port COMn] [/speed 4800|9600]"));

    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].text, "Архив не собран в журнал: не удалось открыть порт COM200");
    EXPECT_TRUE(ReadJournal().empty());
    // The window never ran here: looking for its stored line made no key.
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\" + kName).c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(HarvestE2e, AllNewWhileTheJournalHeldAnOlderRecordOfTheMeterMayHaveOverwritten) {
    // The journal made by a run on a silent meter, then an old record of meter 42 put in by SQL
    // as a clinic would import one.
    meter.Set("silent=1\n");
    ASSERT_EQ(Run(L"/harvest /port COM12").exitCode, 1u);
    meter.Set("");
    const std::wstring script = folder + L"\\old-record.py";
    {
        const std::string text =
            "import sqlite3, sys\n"
            "db = sqlite3.connect(sys.argv[1])\n"
            "db.execute(\"INSERT INTO records (raw, device, number, measured_at, dose, "
            "device_error, "
            "first_seen, source) VALUES (x'002A7F0905040302010000010500', 42, 9, '2001-02-03 "
            "04:05', "
            "1.5, NULL, '2001-02-03 04:06:00', 'print')\")\n"
            "db.commit()\n";
        const HANDLE file = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    ASSERT_TRUE(RunUnix("python3 '" + UnixPath(script) + "' '" + UnixPath(Journal()) + "'"));
    ASSERT_EQ(ReadJournal().size(), 1u);

    const TProgramRun run = Run(L"/harvest /port COM12 /speed 9600");
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    const std::string head = Added256() +
                             ". Все 256 записей архива прибора №42 оказались "
                             "новыми для журнала.";
    EXPECT_EQ(run.output.rfind(Output(head).substr(0, Output(head).size() - 2), 0), 0u);
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].text.rfind(head, 0), 0u) << lines[1].text;
    // Both times in the prefix's regional formats: the journal's old record and the oldest read.
    EXPECT_NE(lines[1].text.find("(03.02.2001 "), std::string::npos) << lines[1].text;
    EXPECT_NE(lines[1].text.find("(05.03.2007 "), std::string::npos) << lines[1].text;
    EXPECT_EQ(ReadJournal().size(), 257u);
}

TEST_F(HarvestE2e, AJournalThatCannotBeWrittenSendsTheRecordsToTheUsersOwn) {
    // Not a journal, and held open by this process so that it cannot be moved aside.
    {
        const HANDLE make = CreateFileW(Journal().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(make, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(make, "not a journal at all", 20, &written, nullptr);
        CloseHandle(make);
    }
    const HANDLE held = CreateFileW(Journal().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // The user's own journal gets the records: one of an earlier case waits aside meanwhile, and
    // comes back afterwards in place of this case's.
    wchar_t appData[MAX_PATH] = L"";
    ASSERT_TRUE(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH) > 0);
    const std::wstring userJournal = std::wstring(appData) + L"\\VIREL1_Service\\VIREL1_Service.db";
    const wchar_t* const suffixes[] = {L"", L"-wal", L"-shm"};
    for (const wchar_t* suffix : suffixes) {
        const std::wstring file = userJournal + suffix;
        MoveFileExW(file.c_str(), (file + L".aside").c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    struct TPutBack {
        const std::wstring& journal;
        const wchar_t* const (&suffixes)[3];
        ~TPutBack() {
            for (const wchar_t* suffix : suffixes) {
                const std::wstring file = journal + suffix;
                DeleteFileW(file.c_str());
                MoveFileExW((file + L".aside").c_str(), file.c_str(), 0);
            }
        }
    } putBack{userJournal, suffixes};

    const TProgramRun run = Run(L"/harvest /port COM12 /speed 9600");
    CloseHandle(held);
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.rfind("Архив прочитан, но журнал доз ", 0), 0u) << lines[0].text;
    EXPECT_NE(lines[0].text.find("VIREL1_Service.db недоступен для записи. Не удалось записать в "
                                 "журнал доз записей: 256; они сохранены в журнале "),
              std::string::npos)
        << lines[0].text;
    EXPECT_NE(lines[0].text.find("VIREL1_Service\\VIREL1_Service.db"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(Journal()), "not a journal at all") << "the held file is untouched";
    EXPECT_NE(GetFileAttributesW(userJournal.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A server that takes the connection and never answers: the pusher's push hangs there, so its
// own count of the queue cannot move while the test looks.
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

// The journal window open in a program while another process harvests into its journal: the
// registry's waiting count and the status line follow within 2 s of the harvest's end (the
// program's pusher, hanging on a server that never answers, counts nothing meanwhile), and the
// period the line offers shows the records that came.
TEST_F(HarvestE2e, TheOpenJournalWindowFollowsAHarvestOfAnotherProcess) {
    const std::wstring registryKey = Widen(ProgramRegistryKey() + "\\TCentralJournal");
    RegDeleteTreeW(HKEY_CURRENT_USER, registryKey.c_str());
    struct TForget {
        std::wstring key;
        ~TForget() { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
    } forget{registryKey};
    const TSilentServer server;
    auto program = std::make_unique<TRunningProgram>(true, folder);
    TSettings stored = ProgramSettings();
    ASSERT_TRUE(app::SaveRegistrySettings(stored, {server.Connection(), "Рентген 3", "secret"}));
    program->program->RegistryPusher().SettingsChanged();
    app::TJournalWindowHost& host = program->program->JournalWindow();
    host.Show(RegionalFormats{});
    ASSERT_NE(host.Window(), nullptr);
    const auto line = [&] { return Narrow(win::WindowText(host.Object()->LinkLine())); };
    const auto status = [&] {
        wchar_t text[512] = L"";
        SendMessageW(host.Object()->StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return Narrow(text);
    };
    const auto waitFor = [](const std::function<bool()>& done, int ms) {
        for (int waited = 0; waited < ms && !done(); waited += 50) Sleep(50);
        return done();
    };
    ASSERT_TRUE(waitFor([&] { return line().find(", ждут отправки: 0") != std::string::npos; },
                        10000))
        << line();

    const TProgramRun run = Run(L"/harvest /port COM12 /speed 9600");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    ASSERT_EQ(run.output, Output(Added256()));
    const double ended = NowMs();
    // The records and the alerts they raised wait alike.
    const std::string waiting = ", ждут отправки: " + std::to_string(256 + OverAlertLevel());
    EXPECT_TRUE(waitFor([&] { return line().find(waiting) != std::string::npos; }, 2000))
        << line();
    std::printf("[ figures  ] the waiting count followed %.0f ms after the harvest's end\n",
                NowMs() - ended);
    EXPECT_TRUE(waitFor(
        [&] { return status().rfind("Записи вне показанного периода: ", 0) == 0; }, 3000))
        << status();
    EXPECT_NE(status().find(". Показать их: щелчок по этой строке или Ctrl+G"), std::string::npos)
        << status();

    // The offer taken from the menu "Период": the records that came are shown.
    const HMENU bar = GetMenu(host.Window());
    UINT command = 0;
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
        const HMENU popup = GetSubMenu(bar, i);
        for (int j = 0; popup && j < GetMenuItemCount(popup); ++j) {
            wchar_t text[128] = L"";
            GetMenuStringW(popup, static_cast<UINT>(j), text, 128, MF_BYPOSITION);
            if (Narrow(text) == "Показать записи &вне периода\tCtrl+G")
                command = GetMenuItemID(popup, j);
        }
    }
    ASSERT_NE(command, 0u) << "the menu's entry";
    PostMessageW(host.Window(), WM_COMMAND, command, 0);
    EXPECT_TRUE(waitFor([&] { return host.Object()->RowCount() == 256; }, 5000))
        << host.Object()->RowCount() << " rows shown";
    EXPECT_EQ(status(), "");
    host.Close();
    program->program->SaveUnwrittenLines();
    program.reset();
}

}  // namespace
}  // namespace virel::e2e
