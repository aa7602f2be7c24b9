// The log file adapter on real files under Wine: created only when missing, appended in place,
// never replaced, shared with a viewer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/platform/PlatformLogFile.h"
#include "core/Errors.h"
#include "core/TextCodec.h"
#include "core/Utf16.h"

namespace virel::app {
namespace {

class PlatformLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        // A Cyrillic directory name: the path must cross into UTF-16 intact.
        dir_ = std::wstring(temp) + L"virel_log_" + std::to_wstring(GetCurrentProcessId()) +
               L"_Журнал\\";
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
        path_ = Narrow(dir_) + "VIREL1_Service.txt";
        Remove();
    }
    void TearDown() override {
        Remove();
        RemoveDirectoryW(dir_.c_str());
    }
    void Remove() {
        SetFileAttributesW(Widen(path_).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Widen(path_).c_str());
    }
    std::string Contents() {
        HANDLE h =
            CreateFileW(Widen(path_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string data(4096, '\0');
        DWORD read = 0;
        ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
        CloseHandle(h);
        data.resize(read);
        return data;
    }
    void Write(const std::string& data) {
        HANDLE h =
            CreateFileW(Widen(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        CloseHandle(h);
    }

    std::wstring dir_;
    std::string path_;
    TPlatformLogFileSystem files_;
};

TEST_F(PlatformLogFile, CreatesAMissingFileThenAppends) {
    EXPECT_EQ(files_.Append(path_, "one\r\n"), AppendResult::Created);
    EXPECT_EQ(Contents(), "one\r\n");
    EXPECT_EQ(files_.Append(path_, "\xC0\xE1\r\n"), AppendResult::Appended);
    EXPECT_EQ(Contents(), "one\r\n\xC0\xE1\r\n");
}

TEST_F(PlatformLogFile, ExistingFileIsAppendedToNotReplaced) {
    Write("kept\r\n");
    EXPECT_EQ(files_.Append(path_, "new\r\n"), AppendResult::Appended);
    EXPECT_EQ(Contents(), "kept\r\nnew\r\n");
}

TEST_F(PlatformLogFile, ReadOnlyFileIsLeftIntact) {
    Write("kept\r\n");
    ASSERT_TRUE(SetFileAttributesW(Widen(path_).c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine keeps the attribute as Unix permissions, which do not stop a superuser.
    HANDLE probe = CreateFileW(Widen(path_).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        GTEST_SKIP() << "read-only files are writable here (running as the superuser)";
    }
    EXPECT_EQ(files_.Append(path_, "new\r\n"), AppendResult::NotWritten);
    EXPECT_EQ(Contents(), "kept\r\n");
}

TEST_F(PlatformLogFile, LockedFileIsLeftIntact) {
    Write("kept\r\n");
    HANDLE lock =
        CreateFileW(Widen(path_).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(files_.Append(path_, "new\r\n"), AppendResult::NotWritten);
    CloseHandle(lock);
    EXPECT_EQ(Contents(), "kept\r\n");
    EXPECT_EQ(files_.Append(path_, "new\r\n"), AppendResult::Appended);
    EXPECT_EQ(Contents(), "kept\r\nnew\r\n");
}

TEST_F(PlatformLogFile, MissingDirectoryCreatesNothing) {
    const std::string path = Narrow(dir_) + "absent\\VIREL1_Service.txt";
    EXPECT_EQ(files_.Append(path, "x\r\n"), AppendResult::NotWritten);
    EXPECT_EQ(GetFileAttributesW(Widen(Narrow(dir_) + "absent").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PlatformLogFile, ViewerHoldingTheFileOpenSeesEachLine) {
    Write("a\r\n");
    HANDLE viewer =
        CreateFileW(Widen(path_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(files_.Append(path_, "b\r\n"), AppendResult::Appended);
    EXPECT_EQ(files_.Append(path_, "c\r\n"), AppendResult::Appended);
    char data[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(viewer, data, sizeof data, &read, nullptr));
    CloseHandle(viewer);
    EXPECT_EQ(std::string(data, read), "a\r\nb\r\nc\r\n");
}

TEST_F(PlatformLogFile, TailGivesTheLastBytesOrNothing) {
    EXPECT_EQ(files_.Tail(path_, 2), "") << "missing";
    Write("");
    EXPECT_EQ(files_.Tail(path_, 2), "") << "empty";
    Write("x");
    EXPECT_EQ(files_.Tail(path_, 2), "x");
    Write("old 2 no end");
    EXPECT_EQ(files_.Tail(path_, 2), "nd");
    // A writer holding it open (shared, as the program's own appends are) does not hide it.
    HANDLE writer =
        CreateFileW(Widen(path_).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(files_.Tail(path_, 2), "nd");
    CloseHandle(writer);
    EXPECT_EQ(Contents(), "old 2 no end") << "reading changes nothing";
}

TEST_F(PlatformLogFile, AFullDiskIsAWriteError) {
    // The Unix device that answers every write with "no space left".
    EXPECT_THROW(files_.Append("Z:\\dev\\full", "new\r\n"), Exception);
    EXPECT_EQ(files_.Tail("Z:\\dev\\full", 2), "");
}

TEST(UserLogFile, LiesInTheUsersApplicationDataFolderWhichExists) {
    wchar_t appData[MAX_PATH] = L"";
    ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
    const std::wstring path = Widen(UserLogFilePath());
    EXPECT_EQ(path, std::wstring(appData) + L"\\VIREL1_Service\\VIREL1_Service.txt");
    const DWORD folder = GetFileAttributesW(path.substr(0, path.find_last_of(L'\\')).c_str());
    ASSERT_NE(folder, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(folder & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(PlatformLogFile, DirectoryInPlaceOfTheFileIsNotWritten) {
    ASSERT_TRUE(CreateDirectoryW(Widen(path_).c_str(), nullptr));
    EXPECT_EQ(files_.Append(path_, "x\r\n"), AppendResult::NotWritten);
    RemoveDirectoryW(Widen(path_).c_str());
}

// The portable encoder writes the log's bytes; they must be the ones Windows means by 1251.
TEST(TextCodecOnWindows, MatchesTheSystemsCodePage1251) {
    for (int b = 0x20; b < 256; ++b) {
        if (b == 0x98) continue;  // unassigned in 1251
        const char byte = static_cast<char>(b);
        wchar_t wide = 0;
        ASSERT_EQ(MultiByteToWideChar(1251, 0, &byte, 1, &wide, 1), 1);
        const std::string utf8 = Narrow(std::wstring(1, wide));
        EXPECT_EQ(Utf8ToCp1251(utf8), std::string(1, byte)) << "byte " << b;
        EXPECT_EQ(Cp1251ToUtf8(std::string(1, byte)), utf8) << "byte " << b;
    }
}

}  // namespace
}  // namespace virel::app
