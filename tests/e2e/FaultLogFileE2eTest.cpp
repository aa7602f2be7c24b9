// The periodic print's log file in trouble, end to end: locked by another program, read-only,
// its folder gone or read-only, the disk full. No line is lost while the program runs (lines
// that could not be written are written with the next one that can), and nothing already in
// the file is wiped.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "FaultSupport.h"

namespace virel::e2e {
namespace {

const std::wstring kPortText = L"COM" + std::to_wstring(VIREL_FAULT_PORT);
const char kNotWritten[] = "Не удалось записать данные обновления в файле";
const std::string kOld = "05.03.2007 14:35:00 42 7 258.45\r\n";  // an earlier day's line

class LogFile : public ::testing::Test {
protected:
    LogFile() {
        WaitForQuietMeter(program);
        meter = std::make_unique<TMeter>();
        SetWindowTextW(face.CB_ComPort(), kPortText.c_str());
        face.RxSpE_AutoTime().SetValue(5);
        program.SetChecked(face.CB_ReadToFile(), true);
    }

    // One periodic print; its line as the window shows it.
    std::string Print() {
        TickUntilPrinted(program);
        return program.FieldText(face.LE_Time()) + " " + program.FieldText(face.LE_DevNumber()) +
               " " + program.FieldText(face.LE_MeasureNumber()) + " " +
               program.FieldText(face.LE_Dose()) + "\r\n";
    }
    void WriteLog(const std::string& bytes) {
        HANDLE file = CreateFileW(program.LogFilePath().c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    std::string UnixWorkDir() const {
        std::string dir = Narrow(program.workDir).substr(2);  // without "Z:"
        std::replace(dir.begin(), dir.end(), '\\', '/');
        return dir;
    }

    // These cases take the log's folder away or fill its disk: the dose journal, which keeps
    // its file open, lives elsewhere so that it neither holds the folder nor takes the space.
    static std::wstring JournalFolder() {
        const std::wstring folder = Widen(VIREL_E2E_WORK) + L"\\journal-" +
                                    std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(Widen(VIREL_E2E_WORK).c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }

    std::unique_ptr<TMeter> meter;
    TRunningProgram program{true, L"", JournalFolder()};
    app::TFace& face = program.Face();
};

TEST_F(LogFile, LockedByAnotherProgramKeepsTheLinesUntilItIsFree) {
    WriteLog(kOld);
    HANDLE lock = CreateFileW(program.LogFilePath().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const std::string first = Print();
    EXPECT_EQ(program.Status(), kNotWritten);
    const std::string second = Print();
    EXPECT_EQ(program.Status(), kNotWritten);
    CloseHandle(lock);
    EXPECT_EQ(program.LogFileBytes(), kOld);

    const std::string third = Print();
    EXPECT_EQ(program.LogFileBytes(), kOld + first + second + third);
    EXPECT_TRUE(program.boxes.empty());
}

TEST_F(LogFile, ReadOnlyFileKeepsTheLinesUntilItIsWritable) {
    WriteLog(kOld);
    SetFileAttributesW(program.LogFilePath().c_str(), FILE_ATTRIBUTE_READONLY);
    // Wine keeps the attribute as Unix permissions, which do not stop the superuser.
    HANDLE probe = CreateFileW(program.LogFilePath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesW(program.LogFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "read-only files are writable here (running as the superuser)";
    }
    const std::string first = Print();
    EXPECT_EQ(program.Status(), kNotWritten);
    EXPECT_EQ(program.LogFileBytes(), kOld);

    SetFileAttributesW(program.LogFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::string second = Print();
    EXPECT_EQ(program.LogFileBytes(), kOld + first + second);
}

TEST_F(LogFile, MissingFolderKeepsTheLinesUntilItIsBack) {
    ASSERT_TRUE(RemoveDirectoryW(program.workDir.c_str()));
    const std::string first = Print();
    EXPECT_EQ(program.Status(), kNotWritten);
    const std::string second = Print();

    CreateDirectoryW(program.workDir.c_str(), nullptr);
    const std::string third = Print();
    EXPECT_EQ(program.LogFileBytes(), first + second + third);
}

TEST_F(LogFile, ReadOnlyFolderKeepsTheLinesUntilItIsWritable) {
    ASSERT_TRUE(RunUnix("chmod 555 '" + UnixWorkDir() + "'"));
    struct Restore {
        std::string dir;
        ~Restore() { RunUnix("chmod 755 '" + dir + "'"); }
    } restore{UnixWorkDir()};
    const std::wstring probe = program.workDir + L"\\probe.txt";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        DeleteFileW(probe.c_str());
        GTEST_SKIP() << "this user may write into a read-only folder (the superuser)";
    }
    const std::string first = Print();
    EXPECT_EQ(program.Status(), kNotWritten);
    RunUnix("chmod 755 '" + UnixWorkDir() + "'");
    const std::string second = Print();
    EXPECT_EQ(program.LogFileBytes(), first + second);
}

// A tiny file system of its own (tmpfs) over the program's folder: the log file fills one page
// and a filler takes the rest, so that an append finds no room at all.
TEST_F(LogFile, FullDiskKeepsTheLinesAndWipesNothing) {
    const std::string dir = UnixWorkDir();
    if (!RunUnix("mount -t tmpfs -o size=16k,mode=755 virel-full-disk '" + dir + "' 2>/dev/null"))
        GTEST_SKIP() << "no tmpfs can be mounted here (needs the superuser)";
    struct Unmount {
        std::string dir;
        ~Unmount() { RunUnix("umount '" + dir + "'"); }
    } unmount{dir};

    std::string old;
    while (old.size() + kOld.size() <= 4096) old += kOld;
    old += std::string(4096 - old.size() - 2, '.') + "\r\n";  // exactly one page
    WriteLog(old);
    ASSERT_TRUE(RunUnix("cat /dev/zero > '" + dir + "/filler' 2>/dev/null; true"));

    const std::string first = Print();
    const std::string second = Print();
    EXPECT_EQ(program.LogFileBytes(), old);  // nothing wiped, nothing half written
    ASSERT_GE(program.boxes.size(), 1u);     // the write error is reported

    ASSERT_TRUE(RunUnix("rm '" + dir + "/filler'"));
    const std::string third = Print();
    EXPECT_EQ(program.LogFileBytes(), old + first + second + third);
}

// Lines still held when the program closes go to a file in the user's own folder, which a
// message names; when that fails too, a message says how many were lost.
TEST_F(LogFile, LinesStillHeldAtExitAreSavedAndTheFileNamedElseCounted) {
    ASSERT_TRUE(RemoveDirectoryW(program.workDir.c_str()));
    const std::string line = Print();
    EXPECT_EQ(program.Status(), kNotWritten);
    const std::size_t boxesBefore = program.boxes.size();

    program.program->SaveUnwrittenLines();  // as the program does on its way out

    ASSERT_EQ(program.boxes.size(), boxesBefore + 1);
    const std::wstring message = program.boxes.back().text;
    wchar_t appData[MAX_PATH] = L"";
    ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
    const std::size_t at = message.find(appData);
    ASSERT_NE(at, std::wstring::npos) << Narrow(message);
    std::size_t end = message.find_first_of(L"\"'«»\r\n", at);
    std::wstring path = message.substr(at, end == std::wstring::npos ? end : end - at);
    while (!path.empty() && (path.back() == L'.' || path.back() == L' ')) path.pop_back();
    EXPECT_NE(ReadFileBytes(path).find(line), std::string::npos) << Narrow(path);
    DeleteFileW(path.c_str());

    // Nor can that file be written (a folder stands in its place): the message counts the lines.
    Print();
    const std::size_t boxesThen = program.boxes.size();
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    program.program->SaveUnwrittenLines();
    RemoveDirectoryW(path.c_str());
    ASSERT_EQ(program.boxes.size(), boxesThen + 1);
    EXPECT_EQ(
        program.boxes.back().text,
        L"Не удалось ни записать данные обновления в файл VIREL1_Service.txt, ни сохранить их в "
        L"другом файле; потеряно строк: 1.");
    EXPECT_EQ(program.boxes.back().flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
}

}  // namespace
}  // namespace virel::e2e
