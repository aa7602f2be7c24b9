// The installer of this build, as an IT department runs it: silently, without administrator
// rights, into the user's own programs folder; the installed program starts and shows its
// window; the silent uninstaller removes the program and keeps the operator's log, trace and
// settings, unless told to remove them too. Neither the uninstaller nor an upgrade changes
// anything while the installed program runs: the program would stay, or not be replaced, and
// write its settings and trace at its exit.
#include <windows.h>
// after windows.h
#include <gtest/gtest.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <utility>

#include "tests/support/RunningExe.h"
#include "tests/support/StoredSettings.h"

#if !defined(VIREL_INSTALLER_PATH) || !defined(VIREL_EXPECTED_VERSION)
#error "build with the installer's path and the project version"
#endif

namespace virel::e2e {
namespace {

const wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VIREL1_Service";
const wchar_t kSettingsKey[] = L"Software\\VIREL1_Service";
const wchar_t kTitle[] = L"ВИРЕЛ1 Сервис";

std::wstring Wide(const char* ascii) {
    return std::wstring(ascii, ascii + strlen(ascii));
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

const std::wstring kInstallDir = Folder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\VIREL1_Service";
const std::wstring kMenuFolder = Folder(CSIDL_PROGRAMS) + L"\\" + kTitle;
// Where the program saves at exit the log lines that the log file never took.
const std::wstring kUserDataDir = Folder(CSIDL_APPDATA) + L"\\VIREL1_Service";
const std::wstring kProgram = kInstallDir + L"\\VIREL1_Service.exe";
// The uninstall entry's program, and the uninstaller proper that it starts.
const std::wstring kUninstall = kInstallDir + L"\\uninstall.exe";
const std::wstring kUninstaller = kInstallDir + L"\\uninstall-worker.exe";
const std::wstring kGuide = kInstallDir + L"\\VIREL1_Service_guide.html";
const wchar_t kUninstallWhileRunning[] =
    L"Программа ВИРЕЛ1 Сервис запущена. Закройте её и повторите попытку или отмените удаление.";
const wchar_t kInstallWhileRunning[] =
    L"Программа ВИРЕЛ1 Сервис запущена. Закройте её и повторите попытку или отмените установку.";

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const wchar_t* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

// Runs a command line to its end; its exit code, or -1 when it did not start or end in 60 s.
long RunToEnd(std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
}

// The uninstaller hands its work to a copy of itself in the temporary folder and returns at
// once, so its end shows only in what it removed.
bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 600; ++i) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

std::wstring ShortcutTarget(const std::wstring& link) {
    std::wstring target = L"<unreadable>";
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return target;
    IShellLinkW* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(
                shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = L"";
            if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
                SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return target;
}

// The first visible dialog window (installer pages and message boxes are) that passes the test.
HWND FindDialog(const std::function<bool(HWND)>& wanted) {
    std::pair<const std::function<bool(HWND)>*, HWND> search{&wanted, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<decltype(search)*>(param);
            wchar_t name[16] = L"";
            GetClassNameW(window, name, 16);
            if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window) || !(*s->first)(window))
                return TRUE;
            s->second = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The process's message box that offers to retry (null when there is none).
HWND RetryBox(DWORD process) {
    return FindDialog([process](HWND window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        return pid == process && GetDlgItem(window, IDRETRY) != nullptr;
    });
}

// Waits up to 30 s for the process's retry box.
HWND WaitForRetryBox(DWORD process) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = RetryBox(process)) != nullptr; });
    return box;
}

// Answers a message box and waits until it has gone.
void Answer(HWND box, int button) {
    PostMessageW(box, WM_COMMAND, button, 0);
    WaitUntil([&] { return !IsWindow(box); });
}

long ExitCode(HANDLE process) {
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    return static_cast<long>(code);
}

void WriteFileText(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

// A file's bytes (empty when it cannot be read).
std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override { RemoveEverything(); }
    void TearDown() override { RemoveEverything(); }

    static void RemoveEverything() {
        const std::wstring uninstaller = kInstallDir + L"\\uninstall.exe";
        if (Exists(uninstaller)) {
            RunToEnd(L"\"" + uninstaller + L"\" /S /PURGE");
            WaitUntil([] { return !Exists(kInstallDir); });
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        DeleteFileW((kUserDataDir + L"\\VIREL1_Service.txt").c_str());
        DeleteFileW((kUserDataDir + L"\\VIREL1_Service.trace.txt").c_str());
        RemoveDirectoryW(kUserDataDir.c_str());
    }

    // The lines of the log that the program saved at exit in the user's own folder.
    static void WriteSavedLines() {
        CreateDirectoryW(kUserDataDir.c_str(), nullptr);
        WriteFileText(kUserDataDir + L"\\VIREL1_Service.txt",
                      "05.03.2007 14:35:00 42 7 258.45\r\n");
    }

    static long Install() { return RunToEnd(L"\"" + Wide(VIREL_INSTALLER_PATH) + L"\" /S"); }

    // Everything the installer puts in place is there.
    static void ExpectInstalled() {
        for (const std::wstring& file : {kProgram, kGuide, kUninstall, kUninstaller})
            EXPECT_TRUE(Exists(file)) << file;
        EXPECT_EQ(ShortcutTarget(kMenuFolder + L"\\" + kTitle + L".lnk"), kProgram);
        EXPECT_EQ(StoredText(kUninstallKey, L"UninstallString"), L"\"" + kUninstall + L"\"");
    }
};

// Windows asks for no administrator's password: the installer's manifest asks to run as the user
// who starts it.
TEST(InstallerFile, AsksToRunAsTheUser) {
    HMODULE file = LoadLibraryExW(Wide(VIREL_INSTALLER_PATH).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(file, nullptr);
    std::string manifest;
    if (HRSRC found = FindResourceW(file, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        if (HGLOBAL loaded = LoadResource(file, found)) {
            manifest.assign(static_cast<const char*>(LockResource(loaded)),
                            SizeofResource(file, found));
        }
    }
    FreeLibrary(file);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
}

// Started without /S it speaks Russian (and is cancelled on its first page).
TEST(InstallerFile, ShowsItsPagesInRussian) {
    TRunningExe setup(Wide(VIREL_INSTALLER_PATH));
    const HWND window = setup.Box();
    ASSERT_NE(window, nullptr) << "no installer window";
    EXPECT_EQ(WindowText(window), L"Установка " + std::wstring(kTitle));
    EXPECT_EQ(WindowText(GetDlgItem(window, IDOK)), L"&Далее >");
    EXPECT_EQ(WindowText(GetDlgItem(window, IDCANCEL)), L"Отмена");
    // Cancelled as the user does, confirming the question, so it cleans up after itself.
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    HWND question = nullptr;
    for (int i = 0; i < 200 && !question; ++i) {
        Sleep(50);
        if (setup.Box() != window) question = setup.Box();
    }
    ASSERT_NE(question, nullptr) << "no question whether to cancel";
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(WaitForSingleObject(setup.Process(), 10000), WAIT_OBJECT_0);
}

TEST_F(Installer, SilentInstallRunsAndSilentUninstallKeepsOnlyTheOperatorsData) {
    ASSERT_EQ(Install(), 0);
    const std::wstring exe = kInstallDir + L"\\VIREL1_Service.exe";
    for (const wchar_t* name : {L"VIREL1_Service.exe", L"VIREL1_Service_guide.html", L"LICENSE.txt",
                                L"uninstall.exe", L"uninstall-worker.exe"}) {
        EXPECT_TRUE(Exists(kInstallDir + L"\\" + name)) << name;
    }
    // The Start menu leads to the installed program and its guide.
    EXPECT_EQ(ShortcutTarget(kMenuFolder + L"\\" + kTitle + L".lnk"), exe);
    EXPECT_EQ(ShortcutTarget(kMenuFolder + L"\\Руководство оператора.lnk"),
              kInstallDir + L"\\VIREL1_Service_guide.html");
    // The entry in the installed programs list.
    EXPECT_EQ(StoredText(kUninstallKey, L"DisplayName"), kTitle);
    EXPECT_EQ(StoredText(kUninstallKey, L"DisplayVersion"), Wide(VIREL_EXPECTED_VERSION));
    EXPECT_EQ(StoredText(kUninstallKey, L"Publisher"), L"KESTA");
    EXPECT_EQ(StoredText(kUninstallKey, L"InstallLocation"), kInstallDir);
    EXPECT_EQ(StoredText(kUninstallKey, L"UninstallString"),
              L"\"" + kInstallDir + L"\\uninstall.exe\"");
    EXPECT_EQ(StoredText(kUninstallKey, L"QuietUninstallString"),
              L"\"" + kInstallDir + L"\\uninstall.exe\" /S");

    {
        // The installed program starts, shows its window, and may write beside itself.
        TRunningExe program(exe, L"/trace");
        ASSERT_NE(program.Face(), nullptr) << "no main window";
        wchar_t caption[64] = L"";
        GetWindowTextW(program.Face(), caption, 64);
        EXPECT_STREQ(caption, kTitle);
        ASSERT_TRUE(program.Close());
    }
    EXPECT_TRUE(Exists(kInstallDir + L"\\VIREL1_Service.trace.txt"));
    EXPECT_TRUE(KeyExists(L"Software\\VIREL1_Service\\TFace")) << "settings written at exit";
    WriteFileText(kInstallDir + L"\\VIREL1_Service.txt", "05.03.2007 14:35:00 42 7 258.45\r\n");
    WriteSavedLines();

    ASSERT_EQ(RunToEnd(L"\"" + kInstallDir + L"\\uninstall.exe\" /S"), 0);
    ASSERT_TRUE(WaitUntil([&] { return !Exists(kInstallDir + L"\\uninstall.exe"); }));
    ASSERT_TRUE(WaitUntil([] { return !KeyExists(kUninstallKey); }));
    for (const wchar_t* name : {L"VIREL1_Service.exe", L"VIREL1_Service_guide.html", L"LICENSE.txt",
                                L"uninstall-worker.exe"}) {
        EXPECT_FALSE(Exists(kInstallDir + L"\\" + name)) << name;
    }
    EXPECT_FALSE(Exists(kMenuFolder));
    // The operator's data stays, the dose journal the program made at its start too.
    EXPECT_TRUE(Exists(kInstallDir + L"\\VIREL1_Service.db"));
    EXPECT_TRUE(Exists(kInstallDir + L"\\VIREL1_Service.txt"));
    EXPECT_TRUE(Exists(kInstallDir + L"\\VIREL1_Service.trace.txt"));
    EXPECT_TRUE(Exists(kUserDataDir + L"\\VIREL1_Service.txt"));
    EXPECT_TRUE(KeyExists(kSettingsKey));
}

TEST_F(Installer, UninstallWithPurgeLeavesNothingOfTheProgramBehind) {
    ASSERT_EQ(Install(), 0);
    WriteFileText(kInstallDir + L"\\VIREL1_Service.txt", "05.03.2007 14:35:00 42 7 258.45\r\n");
    WriteFileText(kInstallDir + L"\\VIREL1_Service.trace.txt", "\xEF\xBB\xBF");
    WriteSavedLines();
    // The trace of a start from a folder that could not be written.
    WriteFileText(kUserDataDir + L"\\VIREL1_Service.trace.txt", "\xEF\xBB\xBF");
    // Dose journals: beside the program with its write-ahead files and one put aside as
    // damaged, and the one of records saved at an exit when that folder could not be written.
    for (const wchar_t* name : {L"VIREL1_Service.db", L"VIREL1_Service.db-wal",
                                L"VIREL1_Service.db-shm", L"VIREL1_Service.corrupt-2026-12-08.db",
                                L"VIREL1_Service.harvest.txt"}) {
        WriteFileText(kInstallDir + L"\\" + name, "x");
    }
    WriteFileText(kUserDataDir + L"\\VIREL1_Service.db", "x");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VIREL1_Service\\TFace", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_EQ(RunToEnd(L"\"" + kInstallDir + L"\\uninstall.exe\" /S /PURGE"), 0);
    ASSERT_TRUE(WaitUntil([] { return !Exists(kInstallDir); }));
    EXPECT_TRUE(WaitUntil([] { return !KeyExists(kSettingsKey); }));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_FALSE(Exists(kMenuFolder));
    EXPECT_FALSE(Exists(kUserDataDir));
}

// The IT's pages that the guide leads to lie beside it, as pages with their titles, and go with
// the program.
TEST_F(Installer, InstallsTheITPagesBesideTheGuideAndRemovesThemWithIt) {
    ASSERT_EQ(Install(), 0);
    const std::pair<const char*, const char*> pages[] = {
        {"VIREL1_Service_journal.html",
         "Журнал доз: файл SQLite для ИТ-службы и медицинских физиков"},
        {"VIREL1_Service_registry.html",
         "Центральный журнал: журналы доз всех кабинетов на одном сервере PostgreSQL"}};
    const std::string guide = FileBytes(kGuide);
    for (const auto& [file, title] : pages) {
        const std::string page = FileBytes(kInstallDir + L"\\" + Wide(file));
        EXPECT_TRUE(page.starts_with("<!DOCTYPE html>")) << file;
        EXPECT_NE(page.find("<title>" + std::string(title) + "</title>"), std::string::npos)
            << file;
        EXPECT_NE(guide.find("href=\"" + std::string(file) + "\""), std::string::npos)
            << "the guide does not lead to " << file;
    }

    ASSERT_EQ(RunToEnd(L"\"" + kUninstall + L"\" /S"), 0);
    ASSERT_TRUE(WaitUntil([] { return !Exists(kUninstall); }));
    for (const auto& [file, title] : pages)
        EXPECT_FALSE(Exists(kInstallDir + L"\\" + Wide(file))) << file;
}

// The case of the orphan: removed while running, the program stayed and wrote its settings and
// trace back at its exit, with no entry left to remove them.
TEST_F(Installer, SilentUninstallRefusesWhileTheProgramRunsAndRemovesItOnceClosed) {
    ASSERT_EQ(Install(), 0);
    {
        TRunningExe program(kProgram, L"/trace");
        ASSERT_NE(program.Face(), nullptr) << "no main window";
        EXPECT_EQ(RunToEnd(L"\"" + kUninstall + L"\" /S /PURGE"), 2);
        // The uninstaller proper refuses too, also when started by itself; run in place, it
        // ends when done, so what it left is final.
        EXPECT_EQ(RunToEnd(L"\"" + kUninstaller + L"\" /S /PURGE _?=" + kInstallDir), 2);
        ExpectInstalled();
        EXPECT_TRUE(program.Running());
        ASSERT_TRUE(program.Close());
    }
    EXPECT_TRUE(Exists(kInstallDir + L"\\VIREL1_Service.trace.txt"));
    EXPECT_TRUE(KeyExists(L"Software\\VIREL1_Service\\TFace")) << "settings written at exit";

    ASSERT_EQ(RunToEnd(L"\"" + kUninstall + L"\" /S /PURGE"), 0);
    ASSERT_TRUE(WaitUntil([] { return !Exists(kInstallDir); }));
    EXPECT_TRUE(WaitUntil([] { return !KeyExists(kSettingsKey); }));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_FALSE(Exists(kMenuFolder));
}

// Started from the list of installed programs: it asks to close the program, checks again on
// Retry, and cancelled it changes nothing.
TEST_F(Installer, UninstallAsksToCloseTheRunningProgram) {
    ASSERT_EQ(Install(), 0);
    TRunningExe program(kProgram);
    ASSERT_NE(program.Face(), nullptr) << "no main window";
    {
        TRunningExe uninstall(kUninstall);
        HWND box = WaitForRetryBox(uninstall.ProcessId());
        ASSERT_NE(box, nullptr) << "no question to close the program";
        EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), kUninstallWhileRunning);
        EXPECT_EQ(WindowText(box), L"Удаление " + std::wstring(kTitle));
        // Retry while it still runs: asked again.
        Answer(box, IDRETRY);
        box = WaitForRetryBox(uninstall.ProcessId());
        ASSERT_NE(box, nullptr) << "not asked again";
        Answer(box, IDCANCEL);
        EXPECT_EQ(ExitCode(uninstall.Process()), 1);
    }
    ExpectInstalled();
    EXPECT_TRUE(program.Running());

    // Closed while asked: Retry goes on to the uninstaller's own pages (cancelled here).
    TRunningExe uninstall(kUninstall);
    const HWND box = WaitForRetryBox(uninstall.ProcessId());
    ASSERT_NE(box, nullptr) << "no question to close the program";
    ASSERT_TRUE(program.Close());
    Answer(box, IDRETRY);
    EXPECT_EQ(ExitCode(uninstall.Process()), 0);
    // Its copy at work has a process of its own; its caption is followed by a page's.
    const std::wstring caption = L"Удаление " + std::wstring(kTitle);
    HWND pages = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        pages = FindDialog([&](HWND window) { return WindowText(window).starts_with(caption); });
        return pages != nullptr;
    })) << "no uninstaller";
    PostMessageW(pages, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(pages); }));
    ExpectInstalled();
}

// An upgrade could not replace the running program, whose settings written at its exit would
// be the old one's.
TEST_F(Installer, UpgradeRefusesWhileTheProgramRunsAndGoesOnOnceItIsClosed) {
    ASSERT_EQ(Install(), 0);
    // Marks of the installation in place, which a refused upgrade leaves as they are.
    StoreText(kUninstallKey, L"DisplayVersion", L"0.9.0");
    ASSERT_TRUE(DeleteFileW(kGuide.c_str()));
    {
        TRunningExe program(kProgram);
        ASSERT_NE(program.Face(), nullptr) << "no main window";
        EXPECT_EQ(Install(), 2);
        EXPECT_EQ(StoredText(kUninstallKey, L"DisplayVersion"), L"0.9.0");
        EXPECT_FALSE(Exists(kGuide));

        // Asked, the operator cancels: the installer's pages, then the question.
        TRunningExe setup(Wide(VIREL_INSTALLER_PATH));
        const HWND pages = setup.Box();
        ASSERT_NE(pages, nullptr) << "no installer window";
        PostMessageW(pages, WM_COMMAND, IDOK, 0);  // the welcome page
        ASSERT_TRUE(WaitUntil([&] {
            return WindowText(GetDlgItem(pages, IDOK)) == L"&Установить";
        })) << "no folder page";
        PostMessageW(pages, WM_COMMAND, IDOK, 0);
        const HWND box = WaitForRetryBox(setup.ProcessId());
        ASSERT_NE(box, nullptr) << "no question to close the program";
        EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), kInstallWhileRunning);
        Answer(box, IDCANCEL);
        // Aborted, it offers only to close (its Cancel button, which it kept disabled until
        // then).
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(pages, IDCANCEL)) != 0; }));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(pages, IDOK)));
        PostMessageW(pages, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(ExitCode(setup.Process()), 1);
        EXPECT_EQ(StoredText(kUninstallKey, L"DisplayVersion"), L"0.9.0");
        EXPECT_FALSE(Exists(kGuide));
        EXPECT_TRUE(program.Running());
        ASSERT_TRUE(program.Close());
    }
    ASSERT_EQ(Install(), 0);
    EXPECT_EQ(StoredText(kUninstallKey, L"DisplayVersion"), Wide(VIREL_EXPECTED_VERSION));
    EXPECT_TRUE(Exists(kGuide));
}

}  // namespace
}  // namespace virel::e2e
