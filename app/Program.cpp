#include "app/Program.h"

#include <utility>

#include "app/PlatformSerialTrace.h"
#include "app/RegionalSettings.h"
#include "automation/ExcelApp.h"
#include "core/Utf16.h"

namespace virel::app {

TProgram::TProgram(TApplication& application, RegionalFormats formats, std::string programDir)
    : application_(application), formats_(std::move(formats)), programDir_(std::move(programDir)) {}

TProgram::~TProgram() {
    progressBar_.reset();
    aboutBox_.reset();
    if (face_) face_->SetOperations(nullptr);
    operations_.reset();
    archiveFiles_.reset();
    link_.reset();
    // Closing the port and stopping its polling before the window it belongs to goes.
    commPort_.reset();
    face_.reset();
    formStorage_.reset();
}

void TProgram::SaveUnwrittenLines() {
    if (!operations_) return;
    const KeptLinesAtExit result = operations_->SaveKeptLines(UserLogFilePath());
    const std::string message = KeptLinesMessage(result);
    if (message.empty()) return;
    if (result.outcome == KeptLinesAtExit::Outcome::Lost) {
        application_.ShowErrorText(message);
        return;
    }
    // A path ends the text: a full stop after it would read as part of the name.
    try {
        application_.ShowMessageBox(Widen(message), MB_OK | MB_ICONWARNING);
    } catch (...) {
        // Out of memory at exit: nothing more can be shown.
    }
}

bool TProgram::Create() {
    face_ = std::make_unique<TFace>(application_, formats_);
    if (!face_->Create()) return false;
    CreateOperations();
    CreateFormStorage();
    // The file export's last folder is kept beside the window's stored values.
    archiveFiles_ =
        std::make_unique<TArchiveFiles>(application_, face_->Handle(), formats_,
                                        DefaultRegistryKey(), formStorage_->Storage().IniSection());
    operations_->SetArchiveFiles(archiveFiles_.get());
    return CreateDialogs();
}

void TProgram::CreateOperations() {
    // CommPort with the main window's design settings; port and speed come from the window at
    // every exchange.
    std::unique_ptr<ISerialBackend> backend = CreateSerialBackend();
    if (!tracePath_.empty()) backend = CreateTracedSerialBackend(std::move(backend), tracePath_);
    commPort_ = std::make_unique<TCPDrv>(face_->Handle(), std::move(backend));
    ApplyCommPortDesign(*commPort_);
    link_ = std::make_unique<TCommPortLink>(*commPort_);
    operations_ = std::make_unique<TFaceOperations>(
        *face_, *link_, clock_, keys_, logFiles_, [] { return std::make_unique<TExcelApp>(); },
        formats_, programDir_);
    face_->SetOperations(operations_.get());
    // Regional formats changed while the program runs: the date and time texts written from
    // now on follow them (the dose keeps its ".").
    face_->OnSettingChange = [this] {
        formats_ = ReadRegionalFormats();
        face_->SetFormats(formats_);
        if (operations_) operations_->SetRegionalFormats(formats_);
    };
}

void TProgram::CreateFormStorage() {
    // FormStorage1 takes over the window's show, close-query and destroy events.
    SetStorageErrorReport(
        [this](const std::exception& e) { application_.ShowErrorText(e.what()); });
    formStorage_ = CreateFaceStorage(face_->Handle(), face_->StoredControls(),
                                     {face_->OnShow, face_->OnCloseQuery, face_->OnDestroy});
    ConnectFormEvents(formStorage_->Events(), face_->OnShow, face_->OnCloseQuery, face_->OnDestroy);
}

bool TProgram::CreateDialogs() {
    aboutBox_ = std::make_unique<TAboutBox>(application_);
    if (!aboutBox_->Create(face_->Handle())) return false;
    progressBar_ = std::make_unique<TFProgressBar>(application_);
    if (!progressBar_->Create(face_->Handle())) return false;
    face_->SetAboutBox(aboutBox_.get());
    face_->SetProgressBar(progressBar_.get());
    return true;
}

}  // namespace virel::app
