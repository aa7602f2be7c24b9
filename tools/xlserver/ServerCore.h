#pragma once
// State of one running spreadsheet server process: its workbooks, its window, its journal
// and the control file that makes it fail on demand.
#include <windows.h>
// Needs <windows.h> before it.
#include <unknwn.h>

#include <set>
#include <string>
#include <string_view>

#include "core/Utf16.h"
#include "tools/xlserver/ServerControl.h"
#include "tools/xlserver/SheetModel.h"
#include "win/Scopes.h"

namespace virel::xl {

// Journal and sheets of one server process go to <root>\<session>\: journal.txt and one
// <workbook>.csv per workbook; <root>\latest.txt names the newest session, and
// <root>\control.txt holds the failure options.
class TSheetServer {
public:
    // `userControl`: started by a person (no automatic exit); otherwise started by COM.
    TSheetServer(std::wstring journalRoot, bool userControl, bool visible);
    ~TSheetServer();
    TSheetServer(const TSheetServer&) = delete;
    TSheetServer& operator=(const TSheetServer&) = delete;

    static TSheetServer& Instance() { return *instance_; }

    void Log(std::string_view object, std::string_view member, std::string_view kind,
             std::string_view args);
    // Number of this call since the start (1 for the first).
    int NextCall() { return ++calls_; }
    // Reads the control file again (defaults when there is none or it cannot be read); each
    // call does this first, so a test can change the options between two calls.
    const TServerOptions& ReloadOptions();
    const TServerOptions& Options() const { return options_; }
    // Journals it and ends the process at once: no clean-up, no goodbye to the clients.
    [[noreturn]] void ExitAbruptly(std::string_view why);

    TBookSet& Books() { return books_; }
    // Writes the workbook's CSV again and repaints.
    void BookChanged(int index);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool DisplayAlerts() const { return displayAlerts_; }
    void SetDisplayAlerts(bool value) { displayAlerts_ = value; }
    bool UserControl() const { return userControl_; }
    const std::wstring& SessionDir() const { return sessionDir_; }

    // Ends the message loop after the current call has been answered.
    void RequestQuit(std::string_view why);
    // Asks the loop to check whether nobody needs the server any more (see CheckIdle).
    void PostIdleCheck();
    // A server started by COM ends once it is invisible and no client holds any of the
    // objects it handed out (the running-object table's application object aside).
    void CheckIdle();
    // Every automation object registers here; `counted` ones keep the server alive.
    void ObjectCreated(IUnknown* object, bool counted);
    void ObjectDestroyed(IUnknown* object, bool counted);
    // Cuts every client off every object (at exit: their next call fails at once).
    void DisconnectAll();
    void ServerLock(bool lock) { locks_ += lock ? 1 : -1; }

    HWND Window() const { return window_; }
    void Paint(HDC dc, const RECT& area);
    void Scroll(int rows);

private:
    void OpenSession();
    void WriteFileReplacing(const std::wstring& path, std::string_view bytes);
    void UpdateTitle();

    static TSheetServer* instance_;
    std::wstring root_;
    std::wstring sessionDir_;
    win::THandle journal_;
    ULONGLONG started_;
    int calls_ = 0;
    TServerOptions options_;
    TBookSet books_;
    bool userControl_;
    bool visible_;
    bool displayAlerts_ = true;
    bool quitting_ = false;
    int liveObjects_ = 0;
    std::set<IUnknown*> objects_;
    int locks_ = 0;
    HWND window_ = nullptr;
    int topRow_ = 1;
};

// Message the loop receives for PostIdleCheck.
constexpr UINT kIdleCheckMessage = WM_APP + 1;

}  // namespace virel::xl
