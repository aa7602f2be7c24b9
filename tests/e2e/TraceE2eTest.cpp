// The exchange trace of the real program: started with "/trace" (or VIREL1_TRACE=1) it writes
// what went over Wine's COM5 to the simulated meter into VIREL1_Service.trace.txt beside the
// program, or in the user's application data folder when the program's folder is read-only, and
// says at start when neither can be written; started without either, it writes nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "FaultSupport.h"
#include "tests/support/RunningExe.h"

#ifndef VIREL_PROGRAM_PATH
#error "build with the path of VIREL1_Service.exe"
#endif

namespace virel::e2e {
namespace {

const std::wstring kProgram = L"" VIREL_PROGRAM_PATH;
constexpr int kIdBitBtn1 = 1013;

std::wstring TracePath() {
    std::wstring path = kProgram.substr(0, kProgram.find_last_of(L"\\/") + 1);
    return path + L"VIREL1_Service.trace.txt";
}

// The trace's file in the user's own folder, where the log's held lines go too.
std::wstring UserTracePath() {
    wchar_t appData[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    return std::wstring(appData) + L"\\VIREL1_Service\\VIREL1_Service.trace.txt";
}

bool CanCreateFileIn(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\probe.txt";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    DeleteFileW(probe.c_str());
    return true;
}

// A folder of its own with a copy of the program, made read-only: by its permissions, or, for
// the superuser whom they do not stop, by a read-only mount of it over itself.
class TReadOnlyProgramFolder {
public:
    TReadOnlyProgramFolder()
        : unix_(std::string(VIREL_FAULT_BUILD_DIR) + "/e2e-work/trace-ro-" +
                std::to_string(GetCurrentProcessId())),
          folder_(ZPath(unix_)) {
        CreateDirectoryW(ZPath(std::string(VIREL_FAULT_BUILD_DIR) + "/e2e-work").c_str(), nullptr);
        CreateDirectoryW(folder_.c_str(), nullptr);
        if (!CopyFileW(L"" VIREL_PROGRAM_PATH, Program().c_str(), FALSE)) return;
        RunUnix("chmod 555 '" + unix_ + "'");
        if (!CanCreateFileIn(folder_)) {
            readOnly_ = true;
            return;
        }
        mounted_ = RunUnix("mount --bind '" + unix_ + "' '" + unix_ +
                           "' 2>/dev/null && mount -o remount,ro,bind '" + unix_ + "' '" + unix_ +
                           "' 2>/dev/null");
        readOnly_ = !CanCreateFileIn(folder_);
    }
    ~TReadOnlyProgramFolder() {
        if (mounted_) RunUnix("umount '" + unix_ + "'");
        RunUnix("chmod 755 '" + unix_ + "'");
        DeleteFileW(Program().c_str());
        DeleteFileW((folder_ + L"\\VIREL1_Service.trace.txt").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    TReadOnlyProgramFolder(const TReadOnlyProgramFolder&) = delete;
    TReadOnlyProgramFolder& operator=(const TReadOnlyProgramFolder&) = delete;

    bool ReadOnly() const { return readOnly_; }
    std::wstring Program() const { return folder_ + L"\\VIREL1_Service.exe"; }
    std::wstring TracePath() const { return folder_ + L"\\VIREL1_Service.trace.txt"; }

private:
    std::string unix_;
    std::wstring folder_;
    bool readOnly_ = false;
    bool mounted_ = false;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (const std::uint8_t b : bytes) {
        snprintf(digits, sizeof digits, "%s%02X", text.empty() ? "" : " ", b);
        text += digits;
    }
    return text;
}

// The event of a line, after its stamp "yyyy-mm-dd hh:mm:ss.mmm ".
std::string Event(const std::string& line) {
    return line.size() > 24 ? line.substr(24) : "";
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

class Trace : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileW(TracePath().c_str());
        DeleteFileW(UserTracePath().c_str());
    }
    void TearDown() override {
        DeleteFileW(TracePath().c_str());
        DeleteFileW(UserTracePath().c_str());
    }

    // End of measurement (FPR) on COM5 (typed: the list holds COM1 to COM4 and the PC's ports)
    // at 9600 baud, pressed as the operator does. The print choice is set too: the settings the
    // program restored are whatever the last test of the program left.
    static void EndMeasurement(TRunningExe& exe) {
        SendMessageW(exe.Control(kIdComPort), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"COM5"));
        SendMessageW(exe.Control(kIdSpeed), CB_SETCURSEL, 1, 0);
        SendMessageW(exe.Control(kIdPrintOnDevice), BM_SETCHECK, BST_UNCHECKED, 0);
        SendMessageW(exe.Control(kIdBitBtn1), BM_CLICK, 0, 0);
    }
};

TEST_F(Trace, SwitchWritesTheOpeningTheCommandAndTheReplyInHex) {
    TMeter meter;
    {
        TRunningExe exe(kProgram, L"/trace");
        ASSERT_NE(exe.Face(), nullptr) << "no main window";
        EndMeasurement(exe);
        ASSERT_TRUE(exe.Close());
    }
    const std::vector<std::uint8_t> reply = meter.Sent();
    ASSERT_EQ(reply.size(), 15u);

    const std::string text = ReadFileBytes(TracePath());
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << "UTF-8 with a byte-order mark, for Notepad";
    std::vector<std::string> lines = Lines(text.substr(3));
    ASSERT_GE(lines.size(), 8u) << text;
    // Every line starts with the local date and time to the millisecond.
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[16];
    snprintf(today, sizeof today, "%04u-%02u-%02u ", now.wYear, now.wMonth, now.wDay);
    for (const std::string& line : lines) {
        EXPECT_TRUE(StartsWith(line, today)) << line;
        EXPECT_EQ(line.substr(19, 1), ".") << line;
    }
    EXPECT_TRUE(StartsWith(Event(lines.front()), "ВИРЕЛ1 Сервис " VIREL_EXPECTED_VERSION ": "))
        << lines.front();
    EXPECT_EQ(Event(lines.back()), "трассировка окончена");

    std::vector<std::string> events;
    for (const std::string& line : lines) events.push_back(Event(line));
    auto find = [&](const std::string& prefix) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (StartsWith(events[i], prefix)) return static_cast<int>(i);
        }
        return -1;
    };
    const int opened = find("COM5: открыт \\\\.\\COM5");
    const int settings = find(
        "COM5: параметры линии: 9600 бит/с, 8 бит данных, чётность: нет, "
        "стоп-бит: 1, DTR: вкл., RTS: выкл.");
    const int sent = find("COM5: передача 01 46 50 52 (байт: 4, за ");
    const int received = find("COM5: приём " + Hex(reply) + " (байт: 15, первый через ");
    const int closed = find("COM5: закрыт");
    EXPECT_GE(opened, 1) << text;
    EXPECT_GT(settings, opened) << text;
    EXPECT_GT(sent, settings) << text;
    EXPECT_GT(received, sent) << text;
    EXPECT_GT(closed, received) << text;
}

// The variable starts it too; a port that cannot be opened is written with the system's error
// code and text.
TEST_F(Trace, WithoutEitherNothingIsWrittenTheVariableStartsItAFailedOpenCarriesTheError) {
    {
        TRunningExe exe(kProgram);
        ASSERT_NE(exe.Face(), nullptr) << "no main window";
        ASSERT_TRUE(exe.Close());
    }
    EXPECT_EQ(GetFileAttributesW(TracePath().c_str()), INVALID_FILE_ATTRIBUTES);

    SetEnvironmentVariableW(L"VIREL1_TRACE", L"1");
    {
        TRunningExe exe(kProgram);
        SetEnvironmentVariableW(L"VIREL1_TRACE", nullptr);
        ASSERT_NE(exe.Face(), nullptr) << "no main window";
        SendMessageW(exe.Control(kIdComPort), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"COM200"));
        SendMessageW(exe.Control(kIdBitBtn1), BM_CLICK, 0, 0);
        ASSERT_TRUE(exe.Close());
    }
    const std::string text = ReadFileBytes(TracePath());
    const std::vector<std::string> lines = Lines(text.substr(3));
    ASSERT_GE(lines.size(), 3u) << text;
    EXPECT_TRUE(StartsWith(Event(lines[0]), "ВИРЕЛ1 Сервис ")) << lines[0];
    const std::string failed = "COM200: не открыт \\\\.\\COM200 — CreateFile, ошибка ";
    ASSERT_TRUE(StartsWith(Event(lines[1]), failed)) << text;
    unsigned code = 0;
    char next = 0;
    const std::string error = Event(lines[1]).substr(failed.size());
    ASSERT_EQ(sscanf(error.c_str(), "%u%c", &code, &next), 2) << lines[1];
    EXPECT_NE(code, 0u) << lines[1];
    EXPECT_EQ(next, ':') << lines[1];
    EXPECT_GT(error.size(), error.find(": ") + 2) << "the system's text of the error: " << lines[1];
    EXPECT_EQ(Event(lines.back()), "трассировка окончена");
}

// The status bar's text (its first part), read from the program's own process.
std::string StatusOf(const TRunningExe& exe) {
    HWND bar = FindWindowExW(exe.Face(), nullptr, L"msctls_statusbar32", nullptr);
    return bar ? Narrow(WindowText(bar)) : "<no status bar>";
}

// Texts that name no port never reach the system: each is traced with why, and the operator
// still gets the failure of a port that cannot be opened, after the usual three attempts.
TEST_F(Trace, ARefusedPortTextIsTracedWithWhyAndFailsAsBefore) {
    const std::string outOfRange = "номер порта вне 1–255";
    const std::string notAName = "не имя порта вида COM1–COM255";
    const std::vector<std::pair<std::wstring, std::string>> refused = {
        {L"COM256", outOfRange},
        {L"COM0", outOfRange},
        {L"COM0255", "номер порта с ведущим нулём"},
        {L"\\\\.\\COM255", notAName},
        {L"COM1:", notAName},
        {L"LPT1", notAName},
        {L"CON", notAName},
        {L"NUL", notAName},
        {L"", "имя порта не указано"},
    };
    TMeter meter;
    {
        TRunningExe exe(kProgram, L"/trace");
        ASSERT_NE(exe.Face(), nullptr) << "no main window";
        SendMessageW(exe.Control(kIdSpeed), CB_SETCURSEL, 1, 0);
        SendMessageW(exe.Control(kIdPrintOnDevice), BM_SETCHECK, BST_UNCHECKED, 0);
        for (std::size_t i = 0; i < refused.size(); ++i) {
            const std::wstring& text = refused[i].first;
            SendMessageW(exe.Control(kIdComPort), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(text.c_str()));
            const double start = NowMs();
            SendMessageW(exe.Control(kIdBitBtn1), BM_CLICK, 0, 0);
            const double elapsed = NowMs() - start;
            std::printf("«%s» failed after %.1f s\n", Narrow(text).c_str(), elapsed / 1000);
            EXPECT_EQ(StatusOf(exe), "Не удалось произвести чтение текущих измерений")
                << Narrow(text);
            // The wait as ever (the three attempts), timed for two of them.
            if (i < 2) {
                EXPECT_GE(elapsed, 3500) << Narrow(text);
                EXPECT_LE(elapsed, 7500) << Narrow(text);
            }
        }
        // Stored at exit: the port the other cases of the program find.
        SendMessageW(exe.Control(kIdComPort), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"COM5"));
        ASSERT_TRUE(exe.Close());
    }
    EXPECT_TRUE(meter.Received().empty()) << "nothing reached the meter on COM5";

    const std::string text = ReadFileBytes(TracePath());
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << Narrow(TracePath());
    std::vector<std::string> events;
    for (const std::string& line : Lines(text.substr(3))) events.push_back(Event(line));
    for (const auto& [port, why] : refused) {
        const std::string line = "порт «" + Narrow(port) + "» не открыт: " + why;
        EXPECT_GE(std::count(events.begin(), events.end(), line), 1) << line << "\n" << text;
    }
    for (const std::string& event : events) {
        EXPECT_FALSE(StartsWith(event, "COM")) << "the system was asked for a port: " << event;
    }
    EXPECT_EQ(events.back(), "трассировка окончена");
}

// From a folder it may not write into, the program traces into the user's own folder, where the
// log's held lines go, and shows no box about it (the dose journal's record, held for the same
// reason, is saved there at exit with a box of its own).
TEST_F(Trace, ReadOnlyProgramFolderTracesIntoTheUsersOwnFolder) {
    const TReadOnlyProgramFolder folder;
    if (!folder.ReadOnly()) GTEST_SKIP() << "no folder can be made read-only here";
    TMeter meter;
    {
        TRunningExe exe(folder.Program(), L"/trace");
        ASSERT_NE(exe.Face(), nullptr) << "no main window";
        EXPECT_EQ(exe.Box(), nullptr);
        EndMeasurement(exe);
        ASSERT_TRUE(exe.Close());
        EXPECT_EQ(exe.Boxes().size(), 1u);
        for (const std::wstring& box : exe.Boxes()) {
            EXPECT_NE(box.find(L"VIREL1_Service.db"), std::wstring::npos) << Narrow(box);
        }
    }
    ASSERT_EQ(meter.Sent().size(), 15u);
    EXPECT_EQ(GetFileAttributesW(folder.TracePath().c_str()), INVALID_FILE_ATTRIBUTES);

    const std::string text = ReadFileBytes(UserTracePath());
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << Narrow(UserTracePath());
    const std::vector<std::string> lines = Lines(text.substr(3));
    ASSERT_GE(lines.size(), 8u) << text;
    EXPECT_TRUE(StartsWith(Event(lines.front()), "ВИРЕЛ1 Сервис " VIREL_EXPECTED_VERSION ": "))
        << lines.front();
    std::string events;
    for (const std::string& line : lines) events += Event(line) + "\n";
    EXPECT_NE(events.find("COM5: открыт \\\\.\\COM5\n"), std::string::npos) << text;
    EXPECT_NE(events.find("COM5: передача 01 46 50 52 (байт: 4, за "), std::string::npos) << text;
    EXPECT_NE(events.find("COM5: приём " + Hex(meter.Sent()) + " (байт: 15, "), std::string::npos)
        << text;
    EXPECT_EQ(Event(lines.back()), "трассировка окончена");
}

// Neither beside the log nor in the user's folder (a folder stands in each file's place): a box
// says so at once, naming both files, each with the system's reason, and the program runs on.
TEST_F(Trace, NoFileToTraceIntoIsToldAtStartAndTheProgramRunsOn) {
    const std::wstring userFolder = UserTracePath().substr(0, UserTracePath().rfind(L'\\'));
    CreateDirectoryW(userFolder.c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(TracePath().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(UserTracePath().c_str(), nullptr));
    struct Restore {
        ~Restore() {
            RemoveDirectoryW(TracePath().c_str());
            RemoveDirectoryW(UserTracePath().c_str());
        }
    } restore;
    TRunningExe exe(kProgram, L"/trace");
    ASSERT_NE(exe.Box(), nullptr) << "no box at start";
    EXPECT_EQ(exe.Face(), nullptr) << "the box comes before the main window";
    ASSERT_NE(exe.WaitForFace(), nullptr) << "no main window after the box";
    ASSERT_EQ(exe.Boxes().size(), 1u);

    // The program names its own folder with backslashes.
    std::string besideLog = Narrow(TracePath());
    std::replace(besideLog.begin(), besideLog.end(), '/', '\\');
    const std::string box = Narrow(exe.Boxes()[0]);
    const std::string head = "Не удалось записать трассировку обмена:\r\n";
    const std::string tail = "\r\n\r\nПрограмма работает без трассировки.";
    ASSERT_TRUE(StartsWith(box, head) && box.ends_with(tail)) << box;
    const std::vector<std::string> files =
        Lines(box.substr(head.size(), box.size() - head.size() - tail.size()));
    ASSERT_EQ(files.size(), 2u) << box;
    const std::string user = Narrow(UserTracePath());
    EXPECT_TRUE(StartsWith(files[0], "\"" + besideLog + "\": ")) << files[0];
    EXPECT_GT(files[0].size(), besideLog.size() + 4) << "the reason: " << files[0];
    EXPECT_TRUE(StartsWith(files[1], "\"" + user + "\": ")) << files[1];
    EXPECT_GT(files[1].size(), user.size() + 4) << "the reason: " << files[1];

    // Untraced, the program works as ever.
    SendMessageW(exe.Control(kIdComPort), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"COM200"));
    SendMessageW(exe.Control(kIdBitBtn1), BM_CLICK, 0, 0);
    ASSERT_TRUE(exe.Close());
    EXPECT_EQ(exe.Boxes().size(), 1u);
}

}  // namespace
}  // namespace virel::e2e
