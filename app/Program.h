#pragma once
// The composition root: the program put together. The three windows in their order, the main
// window's serial port component CommPort, its device operations and its settings storage
// FormStorage1, and COM on the user-interface thread for the spreadsheet export and the save
// dialog, made when one of them is first used. VIREL1_Service.exe runs one; end-to-end tests
// run the same composition in their process.
#include <functional>
#include <memory>
#include <string>

#include "app/FaceStorage.h"
#include "app/frame/Application.h"
#include "app/platform/CommPortLink.h"
#include "app/platform/FileExportPlatform.h"
#include "app/platform/PlatformClock.h"
#include "app/platform/PlatformKeyState.h"
#include "app/platform/PlatformLogFile.h"
#include "app/platform/PortLock.h"
#include "app/platform/RegistryPusher.h"
#include "app/windows/AboutBox.h"
#include "app/windows/AlertWindow.h"
#include "app/windows/Face.h"
#include "app/windows/JournalWindow.h"
#include "app/windows/ProgressBar.h"
#include "core/Regional.h"
#include "core/meter/DeviceOperations.h"
#include "journal/Journal.h"
#include "journal/JournalSink.h"
#include "registry/PushSchedule.h"
#include "serial/CPDrv.h"
#include "storage/Settings.h"
#include "win/Scopes.h"

namespace virel::app {

// The window "Журнал доз" as the program makes it: its connections to the journal at
// `journalPath`, its settings and the central journal's (and the save dialog's last folder) in
// the program's settings `stored`, the system's dialogs and boxes, `clock` and the pusher
// `link`, which must outlive the window. `alertLevelChanged` is told the record alert level
// the operator set (on the window's thread).
TJournalWindowParts JournalWindowParts(const std::string& journalPath, const TSettings& stored,
                                       IClock& clock, IRegistryLink& link,
                                       std::function<void(double)> alertLevelChanged = {});

class TProgram {
public:
    // programDir: where the log file goes (ends in a backslash). traceSerial: every event of
    // CommPort's line goes to the trace file at `tracePath` (UTF-8). journalPath: the dose
    // journal's file, beside the log when empty.
    TProgram(TApplication& application, RegionalFormats formats, std::string programDir,
             std::string tracePath = {}, std::string journalPath = {});
    // Destroys in the reverse order of creation: FProgressBar, AboutBox, then Face with its
    // components (the storage writes on the window's destruction if the close did not); COM
    // goes last.
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // Creates Face (with CommPort, the operations and FormStorage1), AboutBox and FProgressBar,
    // all hidden; false when a window could not be created.
    bool Create();
    // Shows the main window: the storage restores position and values first.
    void Show() { face_->Show(); }
    // After the message loop has ended: the journal's window is closed (its thread ended), log
    // lines that could never be written go to the
    // user's own file (UserLogFilePath), and a box tells where, or how many were lost; records
    // the journal held in memory go to a journal in the same folder.
    void SaveUnwrittenLines();

    TFace& Face() { return *face_; }
    TAboutBox& AboutBox() { return *aboutBox_; }
    TFProgressBar& ProgressBar() { return *progressBar_; }
    TCPDrv& CommPort() { return *commPort_; }
    TDeviceOperations& Operations() { return *operations_; }
    TWin32FormStorage& FormStorage1() { return *formStorage_; }
    TFileExportPlatform& FileExportPlatform() { return fileExportPlatform_; }
    TJournal& Journal() { return journal_; }
    // The window "Журнал доз" (Ctrl+J), on a thread of its own.
    TJournalWindowHost& JournalWindow() { return journalWindow_; }
    // The notice "Высокая доза", on a thread of its own.
    TAlertWindowHost& AlertNotice() { return alertNotice_; }
    // The pusher to the central registry, on a thread of its own.
    TRegistryPusher& RegistryPusher() { return pusher_; }
    const std::string& ProgramDir() const { return programDir_; }
    // Whether the program has made its COM (the spreadsheet export or the save dialog was used).
    bool ComMade() const { return com_.Entered(); }

private:
    // Called from Face's constructor: CommPort with its link and the operations, which are the
    // commands the window's actions run.
    TDeviceOperations& CreateOperations(TFace& face);
    void CreateFormStorage();
    // The journal opened at start; a file moved aside or written by a newer version is told.
    void OpenJournal();

    // Created and destroyed on the thread that creates the program (the user-interface thread):
    // not at start, which would load COM's libraries for a program that may never export to
    // the spreadsheet. First, so it outlives everything that could hold a COM object.
    win::TComApartmentOnFirstUse com_;
    TApplication& application_;
    // The one copy of the regional formats: everything that writes dates reads this one, so a
    // change Windows announces reaches all of them at once.
    RegionalFormats formats_;
    std::string programDir_;
    std::string tracePath_;

    TPlatformClock clock_;
    TPlatformKeyState keys_;
    TPlatformLogFileSystem logFiles_;
    // The port's lock shared with the other programs on the PC, a scheduled harvest among them.
    TNamedPortLock portLock_;
    // The program's settings beside the main window's storage (the journal window's, the
    // central journal's, the file export's last folder).
    TSettings settings_;
    TFileExportPlatform fileExportPlatform_;
    // The dose journal beside the log file (VIREL1_Service.db).
    TJournal journal_;
    // After the journal: its thread and that thread's own connection end first. Started once
    // the journal was opened (and brought forward) at start.
    TRegistryPusher pusher_;
    // The notice "Высокая доза", on a thread of its own: told of the alerts a capture raised,
    // and looking at the journal for those another process raised. Started once the journal
    // was opened (and brought forward) at start.
    TAlertWindowHost alertNotice_;
    // What the device side captures; a capture that wrote rows wakes the pusher, one that
    // raised alerts tells alertNotice_.
    TJournalSink journalSink_;
    // After the journal: its window's thread, and that thread's own connection, end first.
    TJournalWindowHost journalWindow_;
    std::unique_ptr<TAboutBox> aboutBox_;
    std::unique_ptr<TFProgressBar> progressBar_;
    // Declared before the window: the storage must outlive the window's WM_DESTROY.
    std::unique_ptr<TWin32FormStorage> formStorage_;
    std::unique_ptr<TCPDrv> commPort_;
    std::unique_ptr<TCommPortLink> link_;
    std::unique_ptr<TDeviceOperations> operations_;
    std::unique_ptr<TFace> face_;
};

}  // namespace virel::app
