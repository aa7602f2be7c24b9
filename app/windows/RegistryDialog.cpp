#include "app/windows/RegistryDialog.h"

#include <commctrl.h>

#include <exception>
#include <mutex>

#include "app/controls/Controls.h"
#include "app/frame/Application.h"
#include "core/Utf16.h"
#include "win/Scopes.h"
#include "win/SystemMessage.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

// Posted by the check's thread when its answer is there.
constexpr UINT kMsgChecked = WM_APP + 21;
constexpr int kFieldX = 136, kFieldWidth = 316;

void Label(TDpiLayout& layout, HWND parent, const char* text, TBounds at) {
    CreateControl(layout, L"STATIC", Widen(text).c_str(), SS_LEFT, at, parent, -1);
}

HWND Edit(TDpiLayout& layout, HWND parent, const std::string& text, DWORD style, TBounds at,
          int id) {
    return CreateControl(layout, L"EDIT", Widen(text).c_str(), style | WS_TABSTOP, at, parent, id,
                         WS_EX_CLIENTEDGE);
}

}  // namespace

// The check's settings, and its answer with the window to tell; the dialog forgets the window
// when it goes, and the thread then keeps the answer to itself.
struct TRegistryDialog::TCheckJob {
    TRegistrySettings settings;
    TCheck check;
    std::mutex mutex;
    HWND target = nullptr;
    TLinkCheck answer;
};

TRegistryDialog::TRegistryDialog(TApplication& application, TRegistrySettings stored, TCheck check,
                                 TStore store)
    : TOkCancelDialog(application),
      stored_(std::move(stored)),
      check_(std::move(check)),
      store_(std::move(store)) {}

TRegistryDialog::~TRegistryDialog() {
    if (job_) {
        std::lock_guard<std::mutex> lock(job_->mutex);
        job_->target = nullptr;
    }
    DestroyHandle();
}

HWND TRegistryDialog::Create(HWND owner) {
    if (!CreateModalHandle(kClassName, Widen(texts::kRegistryCaption).c_str(), kClientWidth,
                           kClientHeight, owner))
        return nullptr;
    TDpiLayout& layout = Layout();
    const HWND self = Handle();
    Label(layout, self, texts::kRegistryConnection, {8, 8, 444, 13});
    connection_ =
        Edit(layout, self, stored_.connection, ES_AUTOHSCROLL, {8, 24, 444, 21}, kIdConnection);
    CreateControl(layout, L"STATIC", Widen(texts::kRegistryConnectionHint).c_str(),
                  SS_LEFT | SS_NOPREFIX, {8, 48, 444, 26}, self, -1);
    Label(layout, self, texts::kRegistryRoom, {8, 84, 124, 13});
    room_ =
        Edit(layout, self, stored_.room, ES_AUTOHSCROLL, {kFieldX, 81, kFieldWidth, 21}, kIdRoom);
    Label(layout, self, texts::kRegistryPassword, {8, 112, 124, 13});
    // Empty whatever is stored: the stored password is never text of a window.
    password_ = Edit(layout, self, "", ES_AUTOHSCROLL | ES_PASSWORD,
                     {kFieldX, 109, kFieldWidth, 21}, kIdPassword);
    forget_ = CreateControl(layout, L"BUTTON", Widen(texts::kRegistryForget).c_str(),
                            BS_AUTOCHECKBOX | WS_TABSTOP, {kFieldX, 135, kFieldWidth, 17}, self,
                            kIdForget);
    if (!stored_.password.empty()) {
        SendMessageW(password_, EM_SETCUEBANNER, TRUE,
                     reinterpret_cast<LPARAM>(Widen(texts::kRegistryPasswordStored).c_str()));
    } else {
        EnableWindow(forget_, FALSE);
    }
    checkButton_ = CreateControl(layout, L"BUTTON", Widen(texts::kRegistryCheck).c_str(),
                                 BS_PUSHBUTTON | WS_TABSTOP, {8, 159, 100, 25}, self, kIdCheck);
    // Read-only text, not a label: the operator can copy a driver's reason for the IT staff.
    result_ = Edit(layout, self, "", ES_MULTILINE | ES_READONLY | WS_VSCROLL, {8, 191, 444, 44},
                   kIdCheckResult);
    CreateControl(layout, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {296, 243, 75, 25}, self,
                  IDOK);
    CreateControl(layout, L"BUTTON", L"Отмена", BS_PUSHBUTTON | WS_TABSTOP, {377, 243, 75, 25},
                  self, IDCANCEL);
    return Handle();
}

bool TRegistryDialog::ShowModal() {
    return RunOkCancel(connection_);
}

TRegistrySettings TRegistryDialog::Chosen() const {
    TRegistryFields fields;
    fields.connection = Narrow(win::WindowText(connection_));
    fields.room = Narrow(win::WindowText(room_));
    fields.typedPassword = Narrow(win::WindowText(password_));
    fields.forgetStored = SendMessageW(forget_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return SettingsOfFields(fields, stored_);
}

void TRegistryDialog::SetResult(const std::string& text) {
    SetWindowTextW(result_, Widen(text).c_str());
}

void TRegistryDialog::OkExecute() {
    const TRegistrySettings chosen = Chosen();
    if (const auto fault = RegistryFieldsFault(chosen)) {
        Application().ShowMessageBox(Widen(*fault), MB_OK | MB_ICONWARNING);
        SetFocus(chosen.connection.empty() ? connection_ : room_);
        return;
    }
    if (!store_(chosen)) {
        Application().ShowMessageBox(Widen(texts::kRegistryNotStored), MB_OK | MB_ICONWARNING);
        return;
    }
    stored_ = chosen;
    Accept();
}

void TRegistryDialog::CheckExecute() {
    if (job_) return;  // one check at a time; the button is disabled meanwhile anyway
    auto job = std::make_shared<TCheckJob>();
    job->settings = Chosen();
    job->check = check_;
    job->target = Handle();
    auto* handed = new std::shared_ptr<TCheckJob>(job);
    win::THandle thread(CreateThread(nullptr, 0, CheckMain, handed, 0, nullptr));
    if (!thread) {
        const DWORD error = GetLastError();
        delete handed;
        SetResult(texts::kRegistryFails + win::SystemMessage(error));
        return;
    }
    // The thread ends by itself; nobody waits for it.
    job_ = std::move(job);
    EnableWindow(checkButton_, FALSE);
    SetResult(texts::kRegistryChecking);
}

DWORD WINAPI TRegistryDialog::CheckMain(void* handed) {
    const std::shared_ptr<TCheckJob> job = *static_cast<std::shared_ptr<TCheckJob>*>(handed);
    delete static_cast<std::shared_ptr<TCheckJob>*>(handed);
    TLinkCheck answer;
    try {
        answer = job->check(job->settings);
    } catch (const std::exception& e) {
        answer = {false, e.what()};
    } catch (...) {
        answer = {false, {}};
    }
    std::lock_guard<std::mutex> lock(job->mutex);
    job->answer = std::move(answer);
    if (job->target) PostMessageW(job->target, kMsgChecked, 0, 0);
    return 0;
}

void TRegistryDialog::CheckDone() {
    if (!job_) return;
    TLinkCheck answer;
    {
        std::lock_guard<std::mutex> lock(job_->mutex);
        answer = job_->answer;
    }
    job_.reset();
    SetResult(LinkCheckText(answer));
    EnableWindow(checkButton_, TRUE);
}

LRESULT TRegistryDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgChecked) {
        CheckDone();
        return 0;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == kIdCheck && HIWORD(wParam) == BN_CLICKED) {
        CheckExecute();
        return 0;
    }
    return TOkCancelDialog::WindowProc(message, wParam, lParam);
}

}  // namespace virel::app
