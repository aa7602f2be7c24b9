#include "E2eSupport.h"

#include <algorithm>
#include <sstream>

#include "app/platform/RegionalSettings.h"
#include "core/DecimalSeparator.h"
#include "core/Utf16.h"
#include "win/Windows.h"

namespace virel::e2e {

std::wstring Widen(const std::string& utf8) { return virel::Widen(utf8); }

std::string Narrow(const std::wstring& wide) { return virel::Narrow(wide); }

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[8192];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

namespace {

// Written beside the target and moved over it, so the meter never reads half a file.
void WriteFileAtomically(const std::wstring& path, const std::string& text) {
    const std::wstring temporary = path + L".new";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::vector<std::uint8_t> Collect(const std::vector<TLineEvent>& events, const char* direction) {
    std::vector<std::uint8_t> bytes;
    for (const TLineEvent& event : events)
        if (event.direction == direction)
            bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.end());
    return bytes;
}

}  // namespace

TMeter::TMeter() {
    Set("");
    logStart_ = ReadFileBytes(Widen(VIREL_E2E_METER_LOG)).size();
}

TMeter::~TMeter() { Set(""); }

void TMeter::Set(const std::string& control) {
    WriteFileAtomically(Widen(VIREL_E2E_METER_CTL), control);
}

std::vector<TLineEvent> TMeter::Events() const {
    const std::string log = ReadFileBytes(Widen(VIREL_E2E_METER_LOG));
    std::vector<TLineEvent> events;
    std::istringstream lines(log.size() > logStart_ ? log.substr(logStart_) : std::string());
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        TLineEvent event;
        if (!(words >> event.ms >> event.direction)) continue;
        if (event.direction != "RX" && event.direction != "TX") continue;
        std::string hex;
        while (words >> hex) event.bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex, nullptr, 16)));
        events.push_back(std::move(event));
    }
    return events;
}

std::vector<std::string> TMeter::Notes() const {
    const std::string log = ReadFileBytes(Widen(VIREL_E2E_METER_LOG));
    std::vector<std::string> notes;
    std::istringstream lines(log.size() > logStart_ ? log.substr(logStart_) : std::string());
    std::string line;
    const std::string tag = " NOTE ";
    while (std::getline(lines, line)) {
        const std::size_t at = line.find(tag);
        if (at != std::string::npos) notes.push_back(line.substr(at + tag.size()));
    }
    return notes;
}

std::vector<std::uint8_t> TMeter::Received() const { return Collect(Events(), "RX"); }
std::vector<std::uint8_t> TMeter::Sent() const { return Collect(Events(), "TX"); }

int TMeter::CountReceived(const std::vector<std::uint8_t>& command) const {
    const std::vector<std::uint8_t> bytes = Received();
    int count = 0;
    auto at = bytes.begin();
    while ((at = std::search(at, bytes.end(), command.begin(), command.end())) != bytes.end()) {
        ++count;
        at += static_cast<std::ptrdiff_t>(command.size());
    }
    return count;
}

TRunningProgram::TRunningProgram(bool clearSettings, const std::wstring& programDir,
                                 const std::wstring& journalDir) {
    // Each program gets its own directory for the log file.
    static int serial = 0;
    std::wstring work = Widen(VIREL_E2E_WORK);
    std::replace(work.begin(), work.end(), L'/', L'\\');
    CreateDirectoryW(work.c_str(), nullptr);
    if (programDir.empty()) {
        // Wine reuses process numbers, so a folder of an earlier run may have this name and hold
        // its files (log, journal, exported files): only a folder made now is taken.
        do {
            workDir = work + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++serial);
        } while (!CreateDirectoryW(workDir.c_str(), nullptr) &&
                 GetLastError() == ERROR_ALREADY_EXISTS);
    } else {
        workDir = programDir;
        std::replace(workDir.begin(), workDir.end(), L'/', L'\\');
        CreateDirectoryW(workDir.c_str(), nullptr);
        // A folder given is reused: an earlier case's log file and journal go.
        DeleteFileW(LogFilePath().c_str());
        for (const wchar_t* suffix : {L"", L"-wal", L"-shm"}) {
            DeleteFileW((workDir + L"\\VIREL1_Service.db" + suffix).c_str());
        }
    }
    if (clearSettings) {
        // The settings live under Software\<executable's base name>.
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring name = path;
        name = name.substr(name.find_last_of(L"\\/") + 1);
        name = name.substr(0, name.find_last_of(L'.'));
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + name).c_str());
    }
    application.SetTitle(L"ВИРЕЛ1 Сервис");
    application.SetMessageBoxFunction(
        [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
            boxes.push_back({text, caption, flags});
            return IDOK;
        });
    virel::UseFullStopDecimalSeparator();
    program = std::make_unique<app::TProgram>(
        application, app::ReadRegionalFormats(), Narrow(workDir) + "\\", std::string(),
        journalDir.empty() ? std::string() : Narrow(journalDir) + "\\VIREL1_Service.db");
    if (program->Create()) program->Show();
    Pump();
    // The meter of this test program sits behind this COM port.
    if (VIREL_E2E_PORT_INDEX >= 0) SelectItem(program->Face().CB_ComPort(), VIREL_E2E_PORT_INDEX);
}

TRunningProgram::~TRunningProgram() {
    program.reset();
    Pump();
}

void TRunningProgram::Pump() {
    try {
        application.ProcessMessages();
    } catch (...) {
        application.HandleException();
    }
}

void TRunningProgram::Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
    Pump();
}

void TRunningProgram::PumpFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
}

void TRunningProgram::SelectItem(HWND combo, int index) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TRunningProgram::SetChecked(HWND checkBox, bool checked) {
    SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string TRunningProgram::FieldText(HWND field) const {
    return Narrow(win::WindowText(field));
}

std::string TRunningProgram::Status() const { return program->Face().StatusText(); }

std::wstring TRunningProgram::LogFilePath() const {
    return workDir + L"\\VIREL1_Service.txt";
}

std::string TRunningProgram::LogFileBytes() const { return ReadFileBytes(LogFilePath()); }

namespace {

bool* g_closedByTimer = nullptr;
const std::wstring* g_boxCaption = nullptr;

// The box is found among this thread's windows, not as its active window: a window that
// another test program shows meanwhile on the same display takes the activation, and a box
// that is not found stays open for good.
BOOL CALLBACK FindSystemBox(HWND window, LPARAM found) {
    wchar_t className[16] = L"";
    if (!IsWindowVisible(window) || !GetClassNameW(window, className, 16) ||
        std::wstring(className) != L"#32770" || win::WindowText(window) != *g_boxCaption)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK CloseSystemBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = nullptr;
    if (g_boxCaption)
        EnumThreadWindows(GetCurrentThreadId(), FindSystemBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;  // not shown yet: the timer comes again
    KillTimer(nullptr, id);
    if (g_closedByTimer) *g_closedByTimer = true;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

int ShowSystemBoxFor(HWND owner, const std::wstring& text, const std::wstring& caption,
                     UINT flags, DWORD milliseconds, bool& closedByTimer) {
    closedByTimer = false;
    g_closedByTimer = &closedByTimer;
    g_boxCaption = &caption;
    const UINT_PTR timer = SetTimer(nullptr, 0, milliseconds, CloseSystemBox);
    const int result = MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
    KillTimer(nullptr, timer);
    g_closedByTimer = nullptr;
    g_boxCaption = nullptr;
    return result;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace virel::e2e
