#include "app/windows/AlertWindow.h"

#include <commctrl.h>

#include "app/controls/Controls.h"
#include "app/windows/AnnotationDialog.h"
#include "core/Utf16.h"
#include "forms/AnnotationForm.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

constexpr UINT_PTR kPollTimer = 1;
// Posted by the capture (AlertsRaised): look at the alerts now.
constexpr UINT kMsgLook = WM_APP + 1;
constexpr int kNoteLength = 500;  // characters; the note is a remark, not a report

void SetText(HWND control, const std::string& text) {
    // Set only when it changed: a label set anew at every look flickers.
    const std::wstring wide = Widen(text);
    if (win::WindowText(control) != wide) SetWindowTextW(control, wide.c_str());
}

std::string WindowsUser() {
    wchar_t name[257];  // UNLEN + 1
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!GetUserNameW(name, &size)) return {};
    return Narrow(name);
}

std::string LinesText(const TAlertNotice& notice) {
    std::string text;
    for (const std::string& line : notice.lines) text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

}  // namespace

TAlertWindow::TAlertWindow(TApplication& application, TJournal& journal,
                           const TJournalWindowParts& parts, RegionalFormats formats)
    : TCustomWindow(application),
      journal_(journal),
      alerts_(journal),
      annotations_(journal),
      catalogue_(journal),
      parts_(parts),
      formats_(std::move(formats)) {}

TAlertWindow::~TAlertWindow() {
    DestroyHandle();
}

HWND TAlertWindow::Create() {
    // No system menu, so no close box: the notice goes when its alerts are acknowledged. A
    // tool window: no button on the task bar, where it would look like a second program.
    CreateHandle(
        {kClassName, LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
        Widen(texts::kAlertCaption).c_str(), WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN,
        WS_EX_TOPMOST | WS_EX_TOOLWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight,
        nullptr);
    if (!Handle()) return nullptr;
    CreateControls();
    // The lower right corner of the work area: away from the main window's buttons.
    RECT work{}, outer{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(Handle(), &outer);
    const int margin = Layout().Scale(8);
    SetWindowPos(Handle(), nullptr, work.right - (outer.right - outer.left) - margin,
                 work.bottom - (outer.bottom - outer.top) - margin, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Application().AddDialogWindow(Handle());
    SetTimer(Handle(), kPollTimer, kPollInterval, nullptr);
    Look(true);
    return Handle();
}

void TAlertWindow::CreateControls() {
    const HWND self = Handle();
    count_ = CreateControl(Layout(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX, {8, 8, 584, 13}, self,
                           kIdCount);
    lines_ = CreateControl(Layout(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX, {8, 26, 584, 78}, self,
                           kIdLines);
    CreateControl(Layout(), L"STATIC", Widen(texts::kAlertNote).c_str(), SS_LEFT, {8, 114, 70, 13},
                  self, kIdNoteLabel);
    note_ = CreateControl(Layout(), L"EDIT", L"", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
                          {80, 110, 512, 21}, self, kIdNote, WS_EX_CLIENTEDGE);
    SendMessageW(note_, EM_LIMITTEXT, kNoteLength, 0);
    problem_ = CreateControl(Layout(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                             {8, 138, 584, 13}, self, kIdProblem);
    annotate_ = CreateControl(Layout(), L"BUTTON", Widen(texts::kAlertAnnotate).c_str(),
                              BS_PUSHBUTTON | WS_TABSTOP, {330, 158, 150, 25}, self, kIdAnnotate);
    acknowledge_ =
        CreateControl(Layout(), L"BUTTON", Widen(texts::kAlertAcknowledge).c_str(),
                      BS_DEFPUSHBUTTON | WS_TABSTOP, {488, 158, 104, 25}, self, kIdAcknowledge);
}

void TAlertWindow::Look(bool woken) {
    TAlertNotice now;
    try {
        if (!journal_.IsOpen()) {
            // Opened again at each look: the file may come back (a folder made writable).
            (void)journal_.Open();
            if (!journal_.IsOpen()) return;
            woken = true;
        }
        if (!journal_.Changed() && !woken) return;
        now = AlertNoticeOf(alerts_.Unacknowledged(), parts_.readSettings().unit, formats_);
    } catch (const std::exception&) {
        // A busy file is looked at again at the next tick; a box every 2 s would bury the
        // main window.
        return;
    }
    ShowNotice(now);
}

void TAlertWindow::ShowNotice(const TAlertNotice& now) {
    const TNoticeStep step = NextNoticeStep(IsWindowVisible(Handle()) != FALSE, notice_, now);
    notice_ = now;
    switch (step) {
        case TNoticeStep::None:
            return;
        case TNoticeStep::Hide:
            ShowWindow(Handle(), SW_HIDE);
            SetWindowTextW(note_, L"");
            SetWindowTextW(problem_, L"");
            return;
        case TNoticeStep::Show:
        case TNoticeStep::Update:
            break;
    }
    SetText(count_, notice_.countText);
    SetText(lines_, LinesText(notice_));
    if (step == TNoticeStep::Show) {
        // Neither the focus nor the foreground: the operator's next key still goes to the
        // main window. Topmost already, so it shows above it.
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
        UpdateWindow(Handle());
    }
}

void TAlertWindow::AcknowledgeExecute() {
    if (notice_.shownIds.empty() || annotating_) return;
    const std::string note = Narrow(win::WindowText(note_));
    const std::string why = AcknowledgeShown(alerts_, notice_.shownIds, WindowsUser(), note);
    if (!why.empty()) {
        // The note stays typed for the next try.
        SetText(problem_, why);
        return;
    }
    SetWindowTextW(note_, L"");
    SetWindowTextW(problem_, L"");
    parts_.link.Wake();  // the acknowledgement waits in the registry's queue now
    Look(true);
}

void TAlertWindow::AnnotateExecute() {
    if (notice_.recordId == 0 || annotating_) return;
    const TJournalRow row = notice_.record;
    const int year = FromMilliseconds(parts_.clock.LocalNowMs()).year;
    const TPatientPrivacy privacy = parts_.readSettings().privacy;
    std::vector<TExamKind> kinds;
    std::optional<TAnnotation> current;
    try {
        kinds = catalogue_.Kinds();
        current = annotations_.Current(row.id);
    } catch (const std::exception& e) {
        SetText(problem_, e.what());
        return;
    }
    TAnnotationDialog dialog(
        Application(), RecordSummaryText(row, formats_), kinds, FieldsOfAnnotation(current, kinds),
        year, [this, &row, year, &privacy](const TAnnotationInput& input) {
            return AnnotationFaultText(annotations_.Annotate(row.id, input, privacy), year);
        });
    if (!dialog.Create(Handle())) return;
    annotating_ = true;
    const bool saved = dialog.ShowModal();
    annotating_ = false;
    if (!saved) return;
    parts_.link.Wake();  // the annotation waits in the registry's queue now
    Look(true);          // the kind given may have raised an alert of its own
}

LRESULT TAlertWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kIdAcknowledge:
                case IDOK:  // Enter in the note, as the dialog keys turn it into the default
                    AcknowledgeExecute();
                    break;
                case kIdAnnotate:
                    AnnotateExecute();
                    break;
                default:
                    break;
            }
            return 0;
        case WM_TIMER:
            if (wParam == kPollTimer) Look(false);
            return 0;
        case kMsgLook:
            Look(true);
            return 0;
        case WM_CLOSE:
            // Only the host closes it (Alt+F4 would too, with alerts left): it hides at most.
            if (wParam == 0) return 0;
            DestroyWindow(Handle());
            return 0;
        case WM_DESTROY:
            KillTimer(Handle(), kPollTimer);
            Application().RemoveDialogWindow(Handle());
            Application().Terminate();
            return 0;
        default:
            return DefaultProc(message, wParam, lParam);
    }
}

TAlertWindowHost::TAlertWindowHost(TJournalWindowParts parts) : parts_(std::move(parts)) {}

TAlertWindowHost::~TAlertWindowHost() {
    Close();
}

void TAlertWindowHost::Start(const RegionalFormats& formats) {
    if (thread_) return;
    formats_ = formats;
    ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (!thread_ || !ready_) return;
    const HANDLE waits[] = {ready_.Get(), thread_.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

void TAlertWindowHost::Close() {
    // wParam 1: the host's close, which the window takes (the operator's it refuses).
    if (const HWND window = window_.load()) PostMessageW(window, WM_CLOSE, 1, 0);
    if (!thread_) return;
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
}

void TAlertWindowHost::AlertsRaised(std::size_t) {
    // Before the window exists its first look finds them anyway.
    if (const HWND window = window_.load()) PostMessageW(window, kMsgLook, 0, 0);
}

DWORD WINAPI TAlertWindowHost::ThreadMain(void* self) {
    auto* host = static_cast<TAlertWindowHost*>(self);
    try {
        host->RunWindow();
    } catch (...) {
        host->object_.store(nullptr);
        host->window_.store(nullptr);
    }
    SetEvent(host->ready_.Get());
    return 0;
}

void TAlertWindowHost::RunWindow() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    TApplication application;
    application.SetTitle(Widen(texts::kAlertCaption));
    if (parts_.messageBox) application.SetMessageBoxFunction(parts_.messageBox);
    const std::unique_ptr<TJournalConnection> connection = parts_.openJournal();
    {
        TAlertWindow window(application, connection->journal, parts_, formats_);
        if (window.Create()) {
            window_.store(window.Handle());
            object_.store(&window);
            SetEvent(ready_.Get());
            application.Run();
        }
        object_.store(nullptr);
        window_.store(nullptr);
    }
}

}  // namespace virel::app
