#pragma once
// The notice "Высокая доза": the alerts nobody has acknowledged yet, in one small window that
// stays on top of the others and appears without taking the focus, with the record's dialog
// ("Указать исследование...") and the acknowledgement ("Принято", with a note).
//
// It runs on a thread of its own, with its own message loop and its own connection to the
// journal, as the journal window does. The main window's exchange runs on the main window's
// thread and dispatches no message while it waits for the meter (a periodic print may wait
// seconds on a silent one): a notice on that thread could not appear until the exchange ended,
// nor be clicked meanwhile. The capture tells it from inside the exchange by a posted message,
// which never waits; and it looks at the journal every 2 s as well, for alerts another process
// (a harvest from the command line) raised.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/frame/Application.h"
#include "app/frame/Window.h"
#include "app/windows/JournalWindow.h"
#include "core/Regional.h"
#include "forms/AlertNotice.h"
#include "journal/Alerts.h"
#include "journal/Annotations.h"
#include "journal/JournalSink.h"
#include "win/Scopes.h"

namespace virel::app {

class TAlertWindow : public TCustomWindow {
public:
    static constexpr int kClientWidth = 600;
    static constexpr int kClientHeight = 190;
    static constexpr UINT kPollInterval = 2000;  // ms between looks at the journal file
    static constexpr wchar_t kClassName[] = L"TAlertWindow";
    // The controls' ids, for the tests that find them from another thread.
    enum TControlId : int {
        kIdCount = 4001,
        kIdLines,
        kIdNoteLabel,
        kIdNote,
        kIdProblem,
        kIdAnnotate,
        kIdAcknowledge,
    };

    // The application and the journal (this window's own connection) are its thread's; the
    // record's dialog is made of `parts` as the journal window's is.
    TAlertWindow(TApplication& application, TJournal& journal, const TJournalWindowParts& parts,
                 RegionalFormats formats);
    ~TAlertWindow() override;

    // Creates the window, hidden, and takes a first look: alerts left from before show.
    HWND Create();
    // Reads the unacknowledged alerts when the file changed (always when `woken`) and shows,
    // changes or hides the window accordingly.
    void Look(bool woken);
    // "Принято": the alerts shown acknowledged by the Windows user with the note typed.
    void AcknowledgeExecute();
    // "Указать исследование...": the newest shown alert's record in its dialog; modal.
    void AnnotateExecute();

    const TAlertNotice& Notice() const { return notice_; }
    HWND CountLabel() const { return count_; }
    HWND Lines() const { return lines_; }
    HWND Note() const { return note_; }
    HWND Problem() const { return problem_; }
    HWND AnnotateButton() const { return annotate_; }
    HWND AcknowledgeButton() const { return acknowledge_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    void ShowNotice(const TAlertNotice& notice);

    TJournal& journal_;
    TAlerts alerts_;
    TAnnotations annotations_;
    TCatalogue catalogue_;
    TJournalWindowParts parts_;
    RegionalFormats formats_;
    TAlertNotice notice_;  // what the window shows now
    bool annotating_ = false;
    HWND count_ = nullptr, lines_ = nullptr, note_ = nullptr, problem_ = nullptr,
         annotate_ = nullptr, acknowledge_ = nullptr;
};

// Starts and ends the notice's thread and wakes the notice: the sink's waker of the program.
class TAlertWindowHost final : public IAlertWaker {
public:
    explicit TAlertWindowHost(TJournalWindowParts parts);
    ~TAlertWindowHost() override;  // closes the window and waits for its thread
    TAlertWindowHost(const TAlertWindowHost&) = delete;
    TAlertWindowHost& operator=(const TAlertWindowHost&) = delete;

    // Starts the thread with the window, hidden (it shows alerts left unacknowledged at once);
    // returns once the window exists or could not be made.
    void Start(const RegionalFormats& formats);
    // Closes the window and waits for its thread to end.
    void Close();
    // After a capture that raised alerts, on the capturing thread: a posted message, so the
    // exchange goes on at once.
    void AlertsRaised(std::size_t count) override;

    // The window while its thread runs (its thread's: read it with SendMessage only).
    HWND Window() const { return window_.load(); }
    TAlertWindow* Object() const { return object_.load(); }

    // For tests: the message boxes of the window's thread.
    void SetMessageBoxFunction(TMessageBoxFunction function) {
        parts_.messageBox = std::move(function);
    }

private:
    static DWORD WINAPI ThreadMain(void* self);
    void RunWindow();

    TJournalWindowParts parts_;
    RegionalFormats formats_;
    win::THandle thread_;
    win::THandle ready_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<TAlertWindow*> object_{nullptr};
};

}  // namespace virel::app
