#include "app/Program.h"

#include <windows.h>
// after windows.h
#include <commdlg.h>

#include <memory>
#include <utility>

#include "app/platform/Clipboard.h"
#include "app/platform/JournalConnection.h"
#include "app/platform/JournalSettingsStore.h"
#include "app/platform/PlatformSerialTrace.h"
#include "app/platform/RegionalSettings.h"
#include "app/platform/RegistrySettingsStore.h"
#include "automation/ExcelApp.h"
#include "core/ProgramDir.h"
#include "core/Utf16.h"
#include "core/meter/DeviceTexts.h"
#include "journal/JournalTexts.h"
#include "storage/AppUtils.h"
#include "storage/RegSettingsStore.h"

namespace virel::app {

TJournalWindowParts JournalWindowParts(const std::string& journalPath, const TSettings& stored,
                                       IClock& clock, IRegistryLink& link,
                                       std::function<void(double)> alertLevelChanged) {
    return {
        .openJournal = [journalPath] { return std::make_unique<TJournalConnection>(journalPath); },
        .clock = clock,
        .link = link,
        .stored = stored,
        .saveDialog = {},
        .messageBox = {},
        .catalogueFiles =
            [](OPENFILENAMEW& dialog, bool save) {
                return (save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)) != FALSE;
            },
        .readSettings = [stored] { return ReadJournalSettings(stored); },
        .writeSettings =
            [stored = TSettings(stored), alertLevelChanged = std::move(alertLevelChanged)](
                const TJournalSettings& settings) mutable {
                // The captures use the new level at once, also when the registry refused it.
                if (alertLevelChanged) alertLevelChanged(settings.recordAlertLevel);
                return WriteJournalSettings(stored, settings);
            },
        .loadRegistry = [stored] { return LoadRegistrySettings(stored); },
        .checkRegistry = CheckRegistry,
        .saveRegistry =
            [stored = TSettings(stored)](const TRegistrySettings& settings) mutable {
                return SaveRegistrySettings(stored, settings);
            },
        .decimalSeparator = UserDecimalSeparator,
    };
}

TProgram::TProgram(TApplication& application, RegionalFormats formats, std::string programDir,
                   std::string tracePath, std::string journalPath)
    : application_(application),
      formats_(std::move(formats)),
      programDir_(std::move(programDir)),
      tracePath_(std::move(tracePath)),
      settings_(ProgramSettings()),
      fileExportPlatform_(application_, formats_, settings_, [this] { com_.Enter(); }),
      journal_(journalPath.empty() ? programDir_ + kJournalFileName : std::move(journalPath),
               clock_),
      pusher_(
          journal_.Path(), [stored = settings_] { return LoadRegistrySettings(stored); },
          [](TPushQueue& queue, const TRegistrySettings& settings) {
              return PushWaiting(queue, settings);
          }),
      alertNotice_(JournalWindowParts(journal_.Path(), settings_, clock_, pusher_)),
      journalSink_(journal_, clock_, pusher_, alertNotice_,
                   ReadJournalSettings(settings_).recordAlertLevel),
      journalWindow_(
          JournalWindowParts(journal_.Path(), settings_, clock_, pusher_,
                             [this](double level) { journalSink_.SetRecordAlertLevel(level); })),
      aboutBox_(std::make_unique<TAboutBox>(application_)),
      progressBar_(std::make_unique<TFProgressBar>(application_)) {}

TProgram::~TProgram() {
    journalWindow_.Close();
    alertNotice_.Close();
    pusher_.Stop();
    progressBar_.reset();
    aboutBox_.reset();
    // Closing the port and stopping its polling before the window it belongs to goes; the
    // window's commands are not run again once it is being destroyed.
    operations_.reset();
    link_.reset();
    commPort_.reset();
    face_.reset();
    formStorage_.reset();
}

void TProgram::SaveUnwrittenLines() {
    // The main window is gone: its journal window goes with it, and the pusher stops, before the
    // journal is written.
    journalWindow_.Close();
    alertNotice_.Close();
    pusher_.Stop();
    if (!operations_) return;  // Create failed before the window had its operations
    const std::string userLog = UserLogFilePath();
    const THeldAtExit held = journal_.SaveHeld(
        userLog.empty() ? std::string() : virel::ProgramDir(userLog) + kJournalFileName,
        journalSink_.RecordAlertLevel());
    const std::string heldMessage = HeldRecordsMessage(held);
    if (!heldMessage.empty()) {
        try {
            application_.ShowMessageBox(Widen(heldMessage), MB_OK | MB_ICONWARNING);
        } catch (...) {
        }
    }
    const KeptLinesAtExit result = operations_->log.SaveKeptLines(userLog);
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

void TProgram::OpenJournal() {
    const TOpenResult opened = journal_.Open();
    // A folder that cannot be written is met as the log meets it: the records are held and
    // written later or saved at exit, and the operator hears of it then, not at every start.
    if (opened.outcome == TOpenOutcome::ReadOnly || opened.outcome == TOpenOutcome::Unavailable)
        return;
    const std::string message = JournalOpenMessage(opened);
    if (!message.empty()) application_.ShowMessageBox(Widen(message), MB_OK | MB_ICONWARNING);
}

bool TProgram::Create() {
    OpenJournal();
    // After the journal was brought forward on this thread: the pusher's connection finds it so.
    pusher_.Start();
    alertNotice_.Start(formats_);
    face_ = std::make_unique<TFace>(
        application_, *aboutBox_, *progressBar_,
        [this](TFace& face) -> IFaceCommands& { return CreateOperations(face); },
        [this] { journalWindow_.Show(formats_); });
    if (!face_->Create()) return false;
    CreateFormStorage();
    // Regional formats changed while the program runs: the date and time texts written from
    // now on follow them (the dose keeps its ".").
    face_->OnSettingChange = [this] { formats_ = ReadRegionalFormats(); };
    return aboutBox_->Create(face_->Handle()) && progressBar_->Create(face_->Handle());
}

TDeviceOperations& TProgram::CreateOperations(TFace& face) {
    // CommPort with the main window's design settings; port and speed come with every action.
    TTracedBackend traced{CreateSerialBackend()};
    if (!tracePath_.empty())
        traced = CreateTracedSerialBackend(std::move(traced.backend), tracePath_);
    TCommPortLink::TRefusedPortNote onRefusedPort;
    if (TSerialTraceBackend* trace = traced.trace) {
        // The trace lives as long as the component that owns it, which outlives the link.
        onRefusedPort = [trace](const std::string& text, const std::string& why) {
            trace->NoteRefusedPort(text, why);
        };
    }
    commPort_ = std::make_unique<TCPDrv>(&face, std::move(traced.backend));
    ApplyCommPortDesign(*commPort_);
    link_ = std::make_unique<TCommPortLink>(*commPort_, std::move(onRefusedPort));
    operations_ = std::make_unique<TDeviceOperations>(
        face, *link_, clock_, keys_, portLock_, logFiles_, programDir_ + texts::kLogFileName,
        [this] {
            // A failure to make the apartment shows as the automation's own error.
            com_.Enter();
            return std::make_unique<TExcelApp>();
        },
        fileExportPlatform_, journalSink_, formats_);
    return *operations_;
}

void TProgram::CreateFormStorage() {
    // FormStorage1 takes over the window's show, close-query and destroy events.
    SetStorageErrorReport(
        [this](const std::exception& e) { application_.ShowErrorText(e.what()); });
    formStorage_ = CreateFaceStorage(face_->Handle(), face_->StoredControls(),
                                     {face_->OnShow, face_->OnCloseQuery, face_->OnDestroy});
    ConnectFormEvents(formStorage_->Events(), face_->OnShow, face_->OnCloseQuery, face_->OnDestroy);
}

}  // namespace virel::app
