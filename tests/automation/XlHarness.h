#pragma once
// For tests that need the spreadsheet server (tools/xlserver) as "Excel.Application" under
// Wine: registration for the length of a test, its failure options, and what it wrote (the
// journal of every call it received and one CSV file per workbook).
//
// CMake (cmake/VirelXl.cmake):
//   virel_xl_fixture(XL_PROPS)
//   virel_add_gtest(my_tests SOURCES ... PROPERTIES ${XL_PROPS})
//   virel_xl_use(my_tests)
// Tests holding XL_PROPS run one at a time, so the registration and the running-object table
// are theirs alone; outside them nothing is registered.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "automation/OleAuto.h"

#if !defined(VIREL_XL_SERVER) || !defined(VIREL_XL_JOURNAL)
#error "build the test with virel_xl_use(<target>) from cmake/VirelXl.cmake"
#endif

namespace virel::xltest {

inline std::wstring WindowsPath(const char* path) {
    std::wstring wide = ole::Widen(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

inline std::wstring ServerExe() {
    return WindowsPath(VIREL_XL_SERVER);
}

// Each server process writes into <root>\<session>\; <root>\latest.txt names the newest.
inline std::wstring JournalRoot() {
    return WindowsPath(VIREL_XL_JOURNAL);
}

inline std::string ReadFileText(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[8192];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

inline bool WriteFileText(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// Runs the server executable with `arguments` and waits for it; its exit code, or 1000 plus
// the error when it could not be started.
inline DWORD RunServer(const std::wstring& arguments) {
    const std::wstring server = ServerExe();
    std::wstring commandLine = L"\"" + server + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(server.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return 1000 + GetLastError();
    WaitForSingleObject(info.hProcess, 60000);
    DWORD code = 999;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code;
}

// The server is "Excel.Application" while this lives; every instance still running is told
// to quit before and after.
class TXlRegistration {
public:
    TXlRegistration()
        : ok_(RunServer(L"/quit /regserver /journal \"" + JournalRoot() + L"\"") == 0) {
        DeleteFileW(ControlPath().c_str());
    }
    ~TXlRegistration() {
        DeleteFileW(ControlPath().c_str());
        RunServer(L"/quit /unregserver");
    }
    TXlRegistration(const TXlRegistration&) = delete;
    TXlRegistration& operator=(const TXlRegistration&) = delete;
    bool Ok() const { return ok_; }

    static std::wstring ControlPath() { return JournalRoot() + L"\\control.txt"; }
    // Failure options ("Key=Value" lines, see tools/xlserver/ServerControl.h), read by the
    // server at every call; an empty text clears them.
    static bool Control(const std::string& text) { return WriteFileText(ControlPath(), text); }

private:
    bool ok_;
};

// A spreadsheet program that died while still registered as the running instance: its entry
// stays in the running-object table, and every call on it fails as a call to a vanished server
// does. Registered in the test's own process for its lifetime (same-apartment callers get it
// directly from the table).
class TDeadRunningInstance final : public IDispatch {
public:
    static constexpr HRESULT kFailure = RPC_E_DISCONNECTED;

    TDeadRunningInstance() {
        CLSID clsid{};
        if (SUCCEEDED(CLSIDFromProgID(L"Excel.Application", &clsid)))
            registered_ =
                SUCCEEDED(RegisterActiveObject(this, clsid, ACTIVEOBJECT_STRONG, &cookie_));
    }
    ~TDeadRunningInstance() {
        if (registered_) RevokeActiveObject(cookie_, nullptr);
    }
    TDeadRunningInstance(const TDeadRunningInstance&) = delete;
    TDeadRunningInstance& operator=(const TDeadRunningInstance&) = delete;

    bool Registered() const { return registered_; }
    // Calls that reached it (name lookups and invocations).
    int Calls() const { return calls_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The table and its callers hold references; the object lives as long as the test's.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return kFailure;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return kFailure; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        ++calls_;
        return kFailure;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        ++calls_;
        return kFailure;
    }

private:
    DWORD cookie_ = 0;
    bool registered_ = false;
    int calls_ = 0;
};

// The newest session folder (the last server process started).
inline std::wstring LatestSession() {
    std::string name = ReadFileText(JournalRoot() + L"\\latest.txt");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name.empty() ? std::wstring() : JournalRoot() + L"\\" + ole::Widen(name);
}

// One journal line: "<ms> <object> <member> <kind> <args>".
struct TJournalEntry {
    std::string object, member, kind, args;
};

inline std::vector<TJournalEntry> ReadJournal(const std::wstring& sessionDir) {
    std::vector<TJournalEntry> entries;
    const std::string text = ReadFileText(sessionDir + L"\\journal.txt");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t spaces[4];
        std::size_t at = 0;
        bool complete = true;
        for (std::size_t& space : spaces) {
            space = line.find(' ', at);
            if (space == std::string::npos) {
                complete = false;
                break;
            }
            at = space + 1;
        }
        if (!complete) continue;
        entries.push_back({line.substr(spaces[0] + 1, spaces[1] - spaces[0] - 1),
                           line.substr(spaces[1] + 1, spaces[2] - spaces[1] - 1),
                           line.substr(spaces[2] + 1, spaces[3] - spaces[2] - 1),
                           line.substr(spaces[3] + 1)});
    }
    return entries;
}

// The calls that reached a member (not name lookups, errors or the server's own events).
inline std::vector<TJournalEntry> Calls(const std::vector<TJournalEntry>& entries) {
    std::vector<TJournalEntry> calls;
    for (const TJournalEntry& entry : entries)
        if (entry.object != "Server" && entry.kind != "names" && entry.kind != "error")
            calls.push_back(entry);
    return calls;
}

inline bool Has(const std::vector<TJournalEntry>& entries, const std::string& object,
                const std::string& member, const std::string& kind, const std::string& args) {
    return std::any_of(entries.begin(), entries.end(), [&](const TJournalEntry& entry) {
        return entry.object == object && entry.member == member && entry.kind == kind &&
               entry.args == args;
    });
}

// The sheet of workbook `book` ("Book1", ...) as CSV: UTF-8, CR LF after each row.
inline std::string ReadCsv(const std::wstring& sessionDir, const std::string& book) {
    return ReadFileText(sessionDir + L"\\" + ole::Widen(book) + L".csv");
}

// Row `row` (from 1) of a CSV text without its line end; "<missing>" past the end.
inline std::string CsvRow(const std::string& csv, int row) {
    std::size_t start = 0;
    for (int r = 1; r < row; ++r) {
        start = csv.find("\r\n", start);
        if (start == std::string::npos) return "<missing>";
        start += 2;
    }
    const std::size_t end = csv.find("\r\n", start);
    return end == std::string::npos ? "<missing>" : csv.substr(start, end - start);
}

}  // namespace virel::xltest
