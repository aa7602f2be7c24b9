#pragma once
// The program put together: the three windows in their order, the main window's serial port
// component CommPort, its device operations and its settings storage FormStorage1.
// VIREL1_Service.exe runs one; end-to-end tests run the same composition in their process.
#include <memory>
#include <string>

#include "app/AboutBox.h"
#include "app/Application.h"
#include "app/ArchiveFiles.h"
#include "app/CommPortLink.h"
#include "app/Face.h"
#include "app/FaceStorage.h"
#include "app/PlatformClock.h"
#include "app/PlatformLogFile.h"
#include "app/ProgressBar.h"
#include "core/FaceOperations.h"
#include "core/Regional.h"
#include "serial/CPDrv.h"

namespace virel::app {

class TProgram {
public:
    // programDir: where the log file goes (ends in a backslash).
    TProgram(TApplication& application, RegionalFormats formats, std::string programDir);
    // Destroys in the reverse order of creation: FProgressBar, AboutBox, then Face with its
    // components (the storage writes on the window's destruction if the close did not).
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // Before Create: every event of CommPort's line goes to the trace file at `path` (UTF-8).
    void TraceSerialExchange(std::string path) { tracePath_ = std::move(path); }
    // Creates Face (with CommPort, the operations and FormStorage1), AboutBox and FProgressBar,
    // all hidden; false when a window could not be created.
    bool Create();
    // Shows the main window: the storage restores position and values first.
    void Show() { face_->Show(); }
    // After the message loop has ended: log lines that could never be written go to the
    // user's own file (UserLogFilePath), and a box tells where, or how many were lost.
    void SaveUnwrittenLines();

    TFace& Face() { return *face_; }
    TAboutBox& AboutBox() { return *aboutBox_; }
    TFProgressBar& ProgressBar() { return *progressBar_; }
    TCPDrv& CommPort() { return *commPort_; }
    TFaceOperations& Operations() { return *operations_; }
    TWin32FormStorage& FormStorage1() { return *formStorage_; }
    TArchiveFiles& ArchiveFiles() { return *archiveFiles_; }
    const std::string& ProgramDir() const { return programDir_; }

private:
    // The steps of Create: CommPort with its link and the operations; FormStorage1; AboutBox
    // and FProgressBar (false when one could not be created).
    void CreateOperations();
    void CreateFormStorage();
    bool CreateDialogs();

    TApplication& application_;
    RegionalFormats formats_;
    std::string programDir_;
    std::string tracePath_;

    TPlatformClock clock_;
    TPlatformKeyState keys_;
    TPlatformLogFileSystem logFiles_;
    // Declared before the window: the storage must outlive the window's WM_DESTROY.
    std::unique_ptr<TWin32FormStorage> formStorage_;
    std::unique_ptr<TFace> face_;
    std::unique_ptr<TCPDrv> commPort_;
    std::unique_ptr<TCommPortLink> link_;
    std::unique_ptr<TFaceOperations> operations_;
    std::unique_ptr<TArchiveFiles> archiveFiles_;
    std::unique_ptr<TAboutBox> aboutBox_;
    std::unique_ptr<TFProgressBar> progressBar_;
};

}  // namespace virel::app
