// The central registry from the real program under Wine: Wine's odbc32 hands the program's ODBC
// calls to the host's unixODBC and Debian's PostgreSQL driver, and the suite's PostgreSQL server
// takes them. /push and /report /registry as a scheduled task runs them; the server's tables
// read back with psql. And the settings' store: the password encrypted for the user, a damaged
// blob no crash.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "ReaderSupport.h"
#include "app/platform/RegistrySettingsStore.h"
#include "core/Utf16.h"
#include "journal/Journal.h"
#include "journal/JournalTexts.h"
#include "storage/RegSettingsStore.h"

#if !defined(VIREL_PROGRAM_PATH) || !defined(VIREL_E2E_WORK) || !defined(VIREL_PG_DIR) || \
    !defined(VIREL_REGISTRY_READER)
#error "build with the program's path, the work directory, the server's folder and the reader"
#endif

namespace virel::e2e {
namespace {

// The program runs under a name of its own, so its settings are its own: no other case's
// program, started meanwhile, pushes to this case's server.
constexpr char kProgramName[] = "VIREL1_Registry_e2e";
const std::string kProgramKey = std::string("Software\\") + kProgramName;
const std::wstring kKey = Widen(kProgramKey + "\\TCentralJournal");

// The settings of the program's copy, as the program reads them.
TSettings& Stored() {
    static TSettings stored = UserSettings(kProgramKey);
    return stored;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

class FixedClock : public IClock {
public:
    std::int64_t LocalNowMs() override { return ToMilliseconds({2025, 10, 2, 9, 0, 0, 0}); }
};

class RegistryE2e : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
        folder_ = NewFolder(L"" VIREL_E2E_WORK, L"registry");
        ASSERT_TRUE(CopyFileW(L"" VIREL_PROGRAM_PATH, Program().c_str(), TRUE));
        DeleteFileW(JournalPath().c_str());
        port_ = FirstLine(ReadBytes(std::wstring(L"" VIREL_PG_DIR) + L"\\port"));
        password_ = FirstLine(ReadBytes(std::wstring(L"" VIREL_PG_DIR) + L"\\password"));
        ASSERT_FALSE(port_.empty()) << "the suite's server is not running";
        database_ = "e2e_" + std::to_string(GetCurrentProcessId()) + "_" +
                    std::to_string(GetTickCount());
        ASSERT_EQ(Sql("postgres", "CREATE DATABASE " + database_ + ";"),
                  std::vector<std::vector<std::string>>{})
            << "the database for the case";
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
        for (const wchar_t* name :
             {L"VIREL1_Registry_e2e.exe", L"VIREL1_Service.db", L"VIREL1_Service.db-wal",
              L"VIREL1_Service.db-shm", L"report.csv", L"query.sql"}) {
            DeleteFileW((folder_ + L"\\" + name).c_str());
        }
        RemoveDirectoryW(folder_.c_str());
    }
    std::wstring Program() const { return folder_ + L"\\" + Widen(kProgramName) + L".exe"; }
    std::wstring JournalPath() const { return folder_ + L"\\" + Widen(kJournalFileName); }
    std::wstring File(const wchar_t* name) const { return folder_ + L"\\" + name; }
    std::string Connection(const std::string& extra = "") const {
        return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port_ +
               ";Database=" + database_ + ";Uid=virel;" + extra;
    }
    // psql's rows of the SQL on a database of the suite's server.
    std::vector<std::vector<std::string>> Sql(const std::string& database, const std::string& sql) {
        WriteBytes(File(L"query.sql"), sql);
        const std::string reader = std::string(VIREL_REGISTRY_READER) + " " +
                                   UnixPath(L"" VIREL_PG_DIR) + " " + database;
        return RunReader(reader.c_str(), File(L"query.sql"));
    }
    TProgramRun Run(const std::wstring& arguments) {
        return RunProgram(Program(), arguments, folder_);
    }
    void Journal(int records) {
        TJournal journal(Narrow(JournalPath()), clock_);
        ASSERT_EQ(journal.Open().outcome, TOpenOutcome::Created);
        std::vector<TJournalRecord> batch;
        for (int n = 1; n <= records; ++n) {
            TJournalRecord r;
            r.raw = {0, 42, 0, static_cast<std::uint8_t>(n), 1, 2, 3, 9, 25, 0, 0, 0, 0, 0};
            r.raw[10] = static_cast<std::uint8_t>(n % 7);
            r.device = 42;
            r.number = n;
            r.measuredAt = "2025-09-0" + std::to_string(1 + n % 9) + " 10:00";
            r.dose = n * 1.25;
            r.firstSeen = "2025-10-01 08:00:00";
            batch.push_back(r);
        }
        ASSERT_EQ(journal.Capture(batch).outcome, TCaptureOutcome::Written);
        TAnnotationInput input;
        input.patient = "Ёлкина; \"О'Нил\" '); DROP TABLE records; --";
        input.note = std::string(10'000, 'z');
        ASSERT_EQ(TAnnotations(journal).Annotate(1, input, {}).fault, TAnnotationFault::None);
    }
    std::size_t Waiting() {
        TJournal journal(Narrow(JournalPath()), clock_);
        (void)journal.Open();
        return TPushQueue(journal).Waiting();
    }

    std::wstring folder_;
    std::string port_, password_, database_;
    FixedClock clock_;
};

TEST_F(RegistryE2e, PushWithoutAWindowThenTheServersRowsAndItsReport) {
    Journal(40);
    // Not configured: nothing stored, nothing given.
    const TProgramRun none = Run(L"/push");
    EXPECT_EQ(none.exitCode, 6u) << none.output;
    EXPECT_NE(none.output.find("не настроен"), std::string::npos) << none.output;

    // The password stored (encrypted), the connection and the room given for the run.
    ASSERT_TRUE(app::SaveRegistrySettings(Stored(), {"DSN=nothing-stored", "не этот", password_}));
    const TProgramRun pushed = Run(L"/PUSH /connection \"" + Widen(Connection()) +
                            L"\" /room \"Кабинет №5\"");
    EXPECT_EQ(pushed.exitCode, 0u) << pushed.output;
    EXPECT_NE(pushed.output.find("отправлено записей и примечаний: 41, новых для сервера: 41, "
                                 "ожидают отправки: 0"),
              std::string::npos)
        << pushed.output;
    EXPECT_EQ(std::count(pushed.output.begin(), pushed.output.end(), '\n'), 1) << "one line";
    EXPECT_EQ(Waiting(), 0u);

    using Rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(Sql(database_, "SELECT room, count(*), sum(dose_milli) FROM records GROUP BY room;"),
              (Rows{{"Кабинет №5", "40", "1025000"}}));
    EXPECT_EQ(Sql(database_, "SELECT number, patient, length(note) FROM annotations "
                             "JOIN records USING (room, raw);"),
              (Rows{{"1", "Ёлкина; \"О'Нил\" '); DROP TABLE records; --", "10000"}}));

    // Again: nothing waits, nothing is added.
    const TProgramRun again = Run(L"/push /connection \"" + Widen(Connection()) + L"\" /room \"Кабинет №5\"");
    EXPECT_EQ(again.exitCode, 0u) << again.output;
    EXPECT_EQ(Sql(database_, "SELECT count(*) FROM records;"), (Rows{{"40"}}));

    // The report from the server, with the stored settings.
    ASSERT_TRUE(app::SaveRegistrySettings(Stored(), {Connection(), "Кабинет №5", password_}));
    const TProgramRun report =
        Run(L"/report /from 2025-09-01 /to 2025-09-30 /out report.csv /unit mGy /registry");
    ASSERT_EQ(report.exitCode, 0u) << report.output;
    EXPECT_NE(report.output.find("все кабинеты"), std::string::npos) << report.output;
    EXPECT_NE(report.output.find("записей: 40"), std::string::npos) << report.output;
    const std::string csv = ReadBytes(File(L"report.csv"));
    EXPECT_NE(csv.find("1025000"), std::string::npos) << csv.substr(0, 2000);
    const TProgramRun oneRoom = Run(
        L"/report /from 2025-09-01 /to 2025-09-30 /out report.csv /registry /room \"нет такого\"");
    EXPECT_EQ(oneRoom.exitCode, 0u) << oneRoom.output;
    EXPECT_NE(oneRoom.output.find("записей: 0"), std::string::npos) << oneRoom.output;
}

TEST_F(RegistryE2e, AWrongPasswordEndsWithItsCodeAndKeepsTheQueue) {
    Journal(5);
    ASSERT_TRUE(app::SaveRegistrySettings(Stored(), {Connection(), "Кабинет 6", "wrong-Pa55"}));
    const TProgramRun refused = Run(L"/push");
    EXPECT_EQ(refused.exitCode, 2u) << refused.output;
    EXPECT_NE(refused.output.find("password authentication failed"), std::string::npos)
        << refused.output;
    EXPECT_EQ(refused.output.find("wrong-Pa55"), std::string::npos) << refused.output;
    EXPECT_NE(refused.output.find("неверный пароль"), std::string::npos) << refused.output;
    EXPECT_EQ(Waiting(), 6u);

    const TProgramRun report = Run(L"/report /from 2025-09-01 /to 2025-09-30 /out report.csv /registry");
    EXPECT_EQ(report.exitCode, 3u) << report.output;
    EXPECT_EQ(report.output.find("wrong-Pa55"), std::string::npos) << report.output;

    // A port nobody listens on: unreachable, the queue kept.
    ASSERT_TRUE(app::SaveRegistrySettings(
        Stored(), {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=x;Uid=virel;",
                   "Кабинет 6", password_}));
    const TProgramRun down = Run(L"/push");
    EXPECT_EQ(down.exitCode, 1u) << down.output;
    EXPECT_EQ(Waiting(), 6u);
}

// No password stored and none in the connection string: the server refuses the login, and a
// scheduled task learns so (not "try again later"), with the line saying the password is missing.
TEST_F(RegistryE2e, AMissingPasswordEndsAsARefusedLoginThatSaysSo) {
    Journal(2);
    ASSERT_TRUE(app::SaveRegistrySettings(Stored(), {Connection(), "Кабинет 7", ""}));
    const TProgramRun missing = Run(L"/push");
    EXPECT_EQ(missing.exitCode, 2u) << missing.output;
    EXPECT_NE(missing.output.find("пароль не задан"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("no password supplied"), std::string::npos) << missing.output;
    EXPECT_EQ(Waiting(), 3u);
}

// The report from the server as a scheduled task on a physicist's computer runs it: the
// connection given on the command line, the password the one stored; without any connection
// the run says it is not configured, with a code of its own.
TEST_F(RegistryE2e, TheRegistrysReportTakesItsConnectionFromTheCommandLine) {
    Journal(4);
    ASSERT_TRUE(app::SaveRegistrySettings(Stored(), {Connection(), "Кабинет 8", password_}));
    ASSERT_EQ(Run(L"/push").exitCode, 0u);

    RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
    const std::wstring period = L"/report /from 2025-09-01 /to 2025-09-30 /out report.csv ";
    const TProgramRun none = Run(period + L"/registry");
    EXPECT_EQ(none.exitCode, 6u) << none.output;
    EXPECT_NE(none.output.find("не настроен"), std::string::npos) << none.output;
    EXPECT_EQ(std::count(none.output.begin(), none.output.end(), '\n'), 1) << "one line";

    // The stored connection leads nowhere; the one given is taken, with the stored password.
    ASSERT_TRUE(app::SaveRegistrySettings(
        Stored(), {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=x;Uid=virel;",
                      "", password_}));
    const TProgramRun given =
        Run(period + L"/registry /connection \"" + Widen(Connection()) + L"\" /room \"Кабинет 8\"");
    ASSERT_EQ(given.exitCode, 0u) << given.output;
    EXPECT_NE(given.output.find("Кабинет 8"), std::string::npos) << given.output;
    EXPECT_NE(given.output.find("записей: 4"), std::string::npos) << given.output;
    EXPECT_EQ(given.output.find(password_), std::string::npos) << given.output;
}

TEST(RegistrySettingsStore, ThePasswordIsStoredEncryptedAndADamagedBlobGivesNone) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
    EXPECT_EQ(app::LoadRegistrySettings(Stored()).connection, "");
    const TRegistrySettings saved{"Driver={PostgreSQL Unicode};Server=сервер;Database=журнал",
                                  "Кабинет №1", "пароль;}{=Pwd"};
    ASSERT_TRUE(app::SaveRegistrySettings(Stored(), saved));
    const TRegistrySettings loaded = app::LoadRegistrySettings(Stored());
    EXPECT_EQ(loaded.connection, saved.connection);
    EXPECT_EQ(loaded.room, saved.room);
    EXPECT_EQ(loaded.password, saved.password);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Password", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    std::string blob(size, '\0');
    ASSERT_EQ(RegQueryValueExW(key, L"Password", nullptr, &type,
                               reinterpret_cast<BYTE*>(blob.data()), &size),
              ERROR_SUCCESS);
    const std::wstring wide = Widen(saved.password);
    const std::string wideBytes(reinterpret_cast<const char*>(wide.data()),
                                wide.size() * sizeof(wchar_t));
    EXPECT_EQ(blob.find(saved.password), std::string::npos) << "never the plain text";
    EXPECT_EQ(blob.find(wideBytes), std::string::npos) << "never the plain text";
    DWORD roomType = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Room", nullptr, &roomType, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(roomType, static_cast<DWORD>(REG_SZ));

    // Damaged: its second half scrambled, cut short, or a few bytes; or of another type.
    std::string scrambled = blob;
    for (std::size_t i = blob.size() / 2; i < blob.size(); ++i)
        scrambled[i] = static_cast<char>(~scrambled[i]);
    for (const std::string& damaged :
         {scrambled, blob.substr(0, blob.size() / 3), std::string("\x01\x00\x00\x00", 4)}) {
        ASSERT_EQ(RegSetValueExW(key, L"Password", 0, REG_BINARY,
                                 reinterpret_cast<const BYTE*>(damaged.data()),
                                 static_cast<DWORD>(damaged.size())),
                  ERROR_SUCCESS);
        const TRegistrySettings read = app::LoadRegistrySettings(Stored());
        EXPECT_EQ(read.password, "");
        EXPECT_EQ(read.connection, saved.connection);
    }
    ASSERT_EQ(RegSetValueExW(key, L"Password", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"plain"),
                             12),
              ERROR_SUCCESS);
    EXPECT_EQ(app::LoadRegistrySettings(Stored()).password, "");
    RegCloseKey(key);

    // No password: no value at all.
    ASSERT_TRUE(app::SaveRegistrySettings(Stored(), {saved.connection, saved.room, ""}));
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, L"Password", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
}

}  // namespace
}  // namespace virel::e2e
