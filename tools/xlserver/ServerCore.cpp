#include "tools/xlserver/ServerCore.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>
#include <vector>

namespace virel::xl {

namespace {

constexpr const wchar_t* kWindowClass = L"VirelSheetServerWindow";
constexpr int kRowHeight = 22;
constexpr int kColumnWidth = 170;
constexpr int kHeaderWidth = 48;

void CreateDirectories(const std::wstring& path) {
    if (path.empty() || CreateDirectoryW(path.c_str(), nullptr) ||
        GetLastError() == ERROR_ALREADY_EXISTS)
        return;
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0) return;
    CreateDirectories(path.substr(0, slash));
    CreateDirectoryW(path.c_str(), nullptr);
}

std::string ReadSmallFile(const std::wstring& path) {
    const win::THandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    // A control file is a few lines; more than 64 KiB is not one.
    while (text.size() < 65536 && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) &&
           got > 0)
        text.append(buffer, got);
    return text;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT area;
            GetClientRect(window, &area);
            TSheetServer::Instance().Paint(dc, area);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_MOUSEWHEEL:
            TSheetServer::Instance().Scroll(GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -3 : 3);
            return 0;
        case WM_CLOSE:
            // Closing the window ends the program, as Quit does.
            TSheetServer::Instance().RequestQuit("window closed");
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

TSheetServer* TSheetServer::instance_ = nullptr;

TSheetServer::TSheetServer(std::wstring journalRoot, bool userControl, bool visible)
    : root_(std::move(journalRoot)),
      started_(GetTickCount64()),
      userControl_(userControl),
      visible_(visible) {
    instance_ = this;
    OpenSession();

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    window_ =
        CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        720, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateTitle();
    if (visible_) ShowWindow(window_, SW_SHOWNOACTIVATE);
}

TSheetServer::~TSheetServer() {
    // The window is left to go with the process: destroying a shown window costs two seconds
    // under Wine without a window manager, while the clients wait for the server to end.
    instance_ = nullptr;
}

void TSheetServer::OpenSession() {
    if (root_.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, temp);
        root_ = std::wstring(temp) + L"VirelSheetServer";
    }
    while (!root_.empty() && (root_.back() == L'\\' || root_.back() == L'/')) root_.pop_back();
    CreateDirectories(root_);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    std::swprintf(name, 64, L"%04u%02u%02u-%02u%02u%02u-%03u-%lu", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentProcessId());
    sessionDir_ = root_ + L"\\" + name;
    CreateDirectories(sessionDir_);
    journal_.Reset(CreateFileW((sessionDir_ + L"\\journal.txt").c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    WriteFileReplacing(root_ + L"\\latest.txt", Narrow(name) + "\n");
    std::string args = "pid=";
    args += std::to_string(GetCurrentProcessId());
    args += userControl_ ? " mode=user" : " mode=automation";
    args += visible_ ? " visible=1" : " visible=0";
    Log("Server", "start", "event", args);
}

void TSheetServer::Log(std::string_view object, std::string_view member, std::string_view kind,
                       std::string_view args) {
    if (!journal_) return;
    const auto ms = static_cast<long long>(GetTickCount64() - started_);
    // Each line goes to the file at once: a reader sees every call that has arrived.
    WriteAll(journal_.Get(), JournalLine(ms, object, member, kind, args));
}

const TServerOptions& TSheetServer::ReloadOptions() {
    options_ = ParseOptions(ReadSmallFile(root_ + L"\\control.txt"));
    return options_;
}

void TSheetServer::ExitAbruptly(std::string_view why) {
    Log("Server", "exit", "abrupt", why);
    TerminateProcess(GetCurrentProcess(), 3);
    ExitProcess(3);
}

void TSheetServer::WriteFileReplacing(const std::wstring& path, std::string_view bytes) {
    // Written aside and moved over the old file, so a reader never sees half a sheet.
    const std::wstring temporary = path + L".tmp";
    win::THandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Log("Server", "write", "error", QuoteText(Narrow(path)));
        return;
    }
    const bool written = WriteAll(file.Get(), bytes);
    file.Reset();
    if (!written || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        Log("Server", "write", "error", QuoteText(Narrow(path)));
    }
}

void TSheetServer::BookChanged(int index) {
    const TSheetBook& book = books_.At(index);
    WriteFileReplacing(sessionDir_ + L"\\" + Widen(book.Name()) + L".csv", book.Csv());
    UpdateTitle();
    if (visible_) InvalidateRect(window_, nullptr, TRUE);
}

void TSheetServer::SetVisible(bool visible) {
    visible_ = visible;
    ShowWindow(window_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (!visible) PostIdleCheck();
}

void TSheetServer::RequestQuit(std::string_view why) {
    if (quitting_) return;
    quitting_ = true;
    Log("Server", "quit", "event", why);
    PostQuitMessage(0);
}

void TSheetServer::PostIdleCheck() {
    PostThreadMessageW(GetCurrentThreadId(), kIdleCheckMessage, 0, 0);
}

void TSheetServer::CheckIdle() {
    if (userControl_ || visible_ || quitting_) return;
    if (liveObjects_ > 0 || locks_ > 0) return;
    RequestQuit("no clients");
}

void TSheetServer::ObjectCreated(IUnknown* object, bool counted) {
    objects_.insert(object);
    if (counted) ++liveObjects_;
}

void TSheetServer::ObjectDestroyed(IUnknown* object, bool counted) {
    objects_.erase(object);
    if (!counted) return;
    --liveObjects_;
    if (liveObjects_ == 0) PostIdleCheck();
}

void TSheetServer::DisconnectAll() {
    // Held while being cut off: disconnecting releases the stubs' references.
    const std::vector<IUnknown*> objects(objects_.begin(), objects_.end());
    for (IUnknown* object : objects) object->AddRef();
    for (IUnknown* object : objects) CoDisconnectObject(object, 0);
    for (IUnknown* object : objects) object->Release();
}

void TSheetServer::UpdateTitle() {
    std::wstring title = L"Таблица";
    if (const int active = books_.ActiveIndex(); active > 0)
        title += L" - " + Widen(books_.At(active).Name());
    SetWindowTextW(window_, title.c_str());
}

void TSheetServer::Scroll(int rows) {
    topRow_ = std::max(1, topRow_ + rows);
    InvalidateRect(window_, nullptr, TRUE);
}

void TSheetServer::Paint(HDC dc, const RECT& area) {
    const int active = books_.ActiveIndex();
    SetBkMode(dc, TRANSPARENT);
    const win::TPen grid(CreatePen(PS_SOLID, 1, RGB(208, 208, 208)));
    const win::TSelection gridPen(dc, grid.Get());
    const int rows = (area.bottom - kRowHeight) / kRowHeight + 1;
    const int columns = (area.right - kHeaderWidth) / kColumnWidth + 1;
    for (int r = 0; r <= rows; ++r) {
        const int y = kRowHeight * (r + 1);
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, area.right, y);
        if (r == rows) break;
        const std::wstring number = std::to_wstring(topRow_ + r);
        TextOutW(dc, 4, y + 3, number.c_str(), static_cast<int>(number.size()));
    }
    for (int c = 0; c <= columns; ++c) {
        const int x = kHeaderWidth + kColumnWidth * c;
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, area.bottom);
        if (c == columns) break;
        const wchar_t letter[2] = {static_cast<wchar_t>(L'A' + c % 26), 0};
        TextOutW(dc, x + kColumnWidth / 2, 3, letter, 1);
    }
    if (active == 0) return;
    const TSheetBook& book = books_.At(active);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const TCell* cell = book.Find(topRow_ + r, c + 1);
            if (cell == nullptr || !cell->hasValue) continue;
            // Cell fonts scale like points on a 96-dpi screen, within the row's reach.
            const int height = static_cast<int>(std::clamp(cell->fontSize, 4.0, 36.0) * 96 / 72);
            const win::TFont font(CreateFontW(
                -height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial"));
            const win::TSelection cellFont(dc, font.Get());
            const std::wstring text = Widen(cell->text);
            const int x = kHeaderWidth + kColumnWidth * c + 3;
            const int y = kRowHeight * (r + 1) + 2;
            TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
        }
    }
}

}  // namespace virel::xl
