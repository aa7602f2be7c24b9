#include "WindowTestSupport.h"

#include "win/Windows.h"

namespace virel::app::test {

TTestProgram::TTestProgram(bool show) {
    application.SetTitle(kAppTitle);
    application.SetMessageBoxFunction(
        [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
            boxes.push_back({owner, text, caption, flags});
            return IDOK;
        });
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    aboutBox = std::make_unique<TAboutBox>(application);
    progressBar = std::make_unique<TFProgressBar>(application);
    face = std::make_unique<TFace>(
        application, *aboutBox, *progressBar,
        [this](TFace& window) -> IFaceCommands& {
            operations.view = &window;
            return operations;
        },
        [this] { ++operations.journal; });
    face->Create();
    aboutBox->Create(face->Handle());
    progressBar->Create(face->Handle());
    if (show) face->Show();
    Pump(application);
}

TLineSettings LineOf(TFace& face) {
    return LineOfChoices(face.Choices(), face);
}

TTestProgram::~TTestProgram() {
    SetModifiers(false, false, false);
    progressBar.reset();
    aboutBox.reset();
    face.reset();
    // Leave nothing (not even a quit message) for the next test. Messages are dispatched, not
    // dropped: a window that is still there would otherwise stay unpainted and its WM_PAINT
    // would come back for ever.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Pump(TApplication& application) {
    application.ProcessMessages();
}

void SetModifiers(bool control, bool shift, bool alt) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const auto state = [](bool down) { return static_cast<BYTE>(down ? 0x80 : 0); };
    keys[VK_CONTROL] = keys[VK_LCONTROL] = state(control);
    keys[VK_SHIFT] = keys[VK_LSHIFT] = state(shift);
    keys[VK_MENU] = keys[VK_LMENU] = state(alt);
    SetKeyboardState(keys);
}

void PressKey(TApplication& application, HWND target, UINT key, bool control, bool shift) {
    SetModifiers(control, shift);
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, key, scan | 1);
    PostMessageW(target, WM_KEYUP, key, scan | 1 | (LPARAM(3) << 30));
    try {
        Pump(application);
    } catch (...) {
        SetModifiers(false, false);
        throw;
    }
    SetModifiers(false, false);
}

namespace {

std::function<void()> modalBody;

void CALLBACK RunModalBody(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto body = std::move(modalBody);
    modalBody = nullptr;
    if (body) body();
}

}  // namespace

void WhileModal(const std::function<void()>& open, const std::function<void()>& whileOpen) {
    modalBody = whileOpen;
    SetTimer(nullptr, 0, 10, RunModalBody);
    open();
}

std::wstring Text(HWND window) {
    return virel::win::WindowText(window);
}

RECT BoundsInParent(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

HWND FocusedControl() {
    HWND focus = GetFocus();
    if (!focus) return nullptr;
    wchar_t className[64] = L"";
    GetClassNameW(GetParent(focus), className, 64);
    if (lstrcmpiW(className, L"ComboBox") == 0) return GetParent(focus);
    return focus;
}

std::wstring ToolTipOf(const TFace& face, HWND control) {
    wchar_t text[512] = L"";
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = face.Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text;
    if (!SendMessageW(face.ToolTips(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) {
        return {};
    }
    tool.lpszText = text;
    SendMessageW(face.ToolTips(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return text;
}

}  // namespace virel::app::test
