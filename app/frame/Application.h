#pragma once
// The program's message loop and error report: one per process (main.cpp), one per test.
//
// Every message of the program goes through HandleMessage, whichever loop fetched it (the main
// loop, one pass of ProcessMessages, the about box's modal loop), so the main window's
// shortcuts and the dialog keys (Tab, Alt+letter, Enter) behave the same everywhere.
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace virel::app {

// Shows a message box; returns the button pressed. Replaceable so tests see the error report.
using TMessageBoxFunction = std::function<int(HWND owner, const std::wstring& text,
                                              const std::wstring& caption, UINT flags)>;

class TApplication {
public:
    TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    const std::wstring& Title() const { return title_; }
    void SetTitle(std::wstring title) { title_ = std::move(title); }

    // The main window and its shortcuts. The shortcuts are translated for every window of the
    // program (so also while the progress window is active) as long as the main window is
    // enabled; a modal box disables it, and with it the shortcuts.
    void SetMainWindow(HWND window, HACCEL shortcuts);
    HWND MainWindow() const { return mainWindow_; }

    // Windows whose keyboard works like a dialog's (Tab order, mnemonics, default button).
    void AddDialogWindow(HWND window);
    void RemoveDialogWindow(HWND window);

    // Runs the message loop until the application is told to end.
    void Run();
    // One pass of the message loop: handles every pending message, returns when the queue is
    // empty. A cancellation raised by a key handler during the pass (Esc in the progress
    // window) is thrown from here, after the pass, into the operation that called it.
    void ProcessMessages();
    // Waits for the next message and handles it; false when it was the quit message.
    bool HandleNextMessage();
    // Shortcuts, dialog keys, then the window procedure.
    void HandleMessage(MSG& message);

    // Asks the loop to end after the message being handled (and after the operation that is
    // letting messages through, if any).
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Ends the operation that is running with `error`. Inside a pass of ProcessMessages the
    // error is kept and thrown when the pass ends: thrown from a window procedure it would be
    // caught and reported there, and the operation would go on. Outside a pass, no operation
    // is running: the error is thrown at once and reaches the caller's error report.
    void Cancel(std::exception_ptr error);

    // The error report for the exception being handled (call it from a catch block): a message
    // box with its text and a full stop where needed, the title as caption, a stop icon.
    // Never throws.
    void HandleException() noexcept;
    void ShowErrorText(const std::string& utf8Message) noexcept;

    void SetMessageBoxFunction(TMessageBoxFunction function);
    int ShowMessageBox(const std::wstring& text, UINT flags);

private:
    bool TranslateShortcut(MSG& message);
    bool TranslateDialogKey(MSG& message);

    std::wstring title_;
    HWND mainWindow_ = nullptr;
    HACCEL shortcuts_ = nullptr;
    std::vector<HWND> dialogWindows_;
    bool terminated_ = false;
    int passDepth_ = 0;
    std::exception_ptr pendingCancel_;
    TMessageBoxFunction messageBox_;
};

// Disables every visible, enabled top-level window of this thread except `except` for its
// lifetime, as a modal box does; enables them again when destroyed.
class TTaskWindowsDisabled {
public:
    explicit TTaskWindowsDisabled(HWND except);
    ~TTaskWindowsDisabled();
    TTaskWindowsDisabled(const TTaskWindowsDisabled&) = delete;
    TTaskWindowsDisabled& operator=(const TTaskWindowsDisabled&) = delete;

private:
    std::vector<HWND> disabled_;
};

}  // namespace virel::app
