#include "app/HarvestRun.h"

#include <exception>
#include <optional>

#include "app/StoredLine.h"
#include "app/platform/CommPortLink.h"
#include "app/platform/JournalSettingsStore.h"
#include "app/platform/PlatformClock.h"
#include "app/platform/PlatformLogFile.h"
#include "app/platform/PlatformSerialTrace.h"
#include "app/platform/PortLock.h"
#include "app/platform/RegionalSettings.h"
#include "app/platform/StarterConsole.h"
#include "core/DecimalSeparator.h"
#include "core/ProgramDir.h"
#include "core/meter/DeviceTexts.h"
#include "core/meter/Exchange.h"
#include "core/meter/LogFile.h"
#include "core/meter/MeterActions.h"
#include "journal/Journal.h"
#include "journal/JournalSink.h"
#include "journal/JournalTexts.h"
#include "serial/CPDrv.h"
#include "serial/SerialTrace.h"
#include "storage/RegSettingsStore.h"

namespace virel::app {

namespace {

// The folder in the user's own application data where the window saves what the program's
// folder would not take (ends in a backslash); empty when there is none.
std::string UserFolder() {
    const std::string userLog = UserLogFilePath();
    return userLog.empty() ? std::string() : virel::ProgramDir(userLog);
}

// The line to the console and to the harvest file. A harvest file that cannot be written
// changes nothing of the harvest: its line then goes to the file of that name in the user's
// own folder, as the log's lines do.
void Tell(const std::string& programDir, IClock& clock, const std::string& summary) {
    WriteLineToStarter(summary);
    TPlatformLogFileSystem files;
    TLogFile file(files, programDir + kHarvestFileName);
    try {
        if (file.AppendLine(HarvestFileLine(FromMilliseconds(clock.LocalNowMs()), summary))) return;
    } catch (const std::exception&) {
        // A write that failed halfway: the line is still kept for the other file.
    }
    const std::string user = UserFolder();
    static_cast<void>(file.SaveKeptLines(user.empty() ? std::string() : user + kHarvestFileName));
}

// The records a harvest read but the journal held: asked once more (another writer may have
// let go meanwhile); then they go to the user's own journal, as the window saves them at exit.
// Returns where they went when they were not taken (HeldRecordsMessage).
std::string KeepHeldRecords(TJournal& journal, double recordAlertLevel, THarvestResult& result) {
    const TCaptureResult again = journal.Capture({}, recordAlertLevel);
    if (again.outcome == TCaptureOutcome::Written) {
        KeptAfterAll(result, again.addedHeld, again.alerts);
        return {};
    }
    const std::string user = UserFolder();
    const THeldAtExit saved =
        journal.SaveHeld(user.empty() ? std::string() : user + kJournalFileName, recordAlertLevel);
    // Taken by the journal at the very last try: the records held were the new ones.
    if (saved.outcome == THeldAtExit::Outcome::Written) KeptAfterAll(result, saved.records);
    return HeldRecordsMessage(saved);
}

struct TRun {
    THarvestResult result;
    std::string summary;
    THarvestExit exit = THarvestExit::Done;
};

TRun Harvest(const THarvestCommand& command, const std::string& programDir,
             const std::string& journalPath, IClock& clock) {
    const RegionalFormats formats = ReadRegionalFormats();
    UseFullStopDecimalSeparator();
    TLineSettings line = ReadStoredLineSettings();
    if (command.port) line.port = *command.port;
    if (command.speed) line.speed = *command.speed;

    TJournal journal(journalPath.empty() ? programDir + kJournalFileName : journalPath, clock);
    const TOpenResult opened = journal.Open();
    // A file moved aside or a newer program's journal is told with the summary; a journal that
    // cannot be written shows as the records held, below.
    const std::string openNote =
        opened.outcome == TOpenOutcome::Replaced || opened.outcome == TOpenOutcome::Newer
            ? JournalOpenMessage(opened)
            : std::string();
    // Nobody here pushes: the program's pusher finds the rows at its next look. Nor is anybody
    // shown a notice: the summary line counts the records over the alert level, and the window
    // shows their alerts when it opens.
    TNoQueueWaker noPusher;
    TNoAlertWaker noNotice;
    const double recordAlertLevel = ReadJournalSettings(ProgramSettings()).recordAlertLevel;
    TJournalSink sink(journal, clock, noPusher, noNotice, recordAlertLevel);

    TTracedBackend traced{CreateSerialBackend()};
    if (SerialTraceRequestedAtStart() || command.trace) {
        const TSerialTraceFile trace = ChooseSerialTraceFile(programDir + kTraceFileName);
        if (!trace.path.empty())
            traced = CreateTracedSerialBackend(std::move(traced.backend), trace.path);
    }
    TCPDrv port(nullptr, std::move(traced.backend));
    ApplyCommPortDesign(port);
    TCommPortLink link(port);
    THeadlessView view;
    TNoEscape keys;
    TNamedPortLock portLock;
    TExchange exchange(link, clock, keys, portLock);
    FaceState state;
    TMeterActions actions(view, exchange, formats, state, sink);
    TJournalHarvest harvest(view, actions, exchange, state, sink, formats);
    harvest.GiveUpOnSilentMeter(true);

    TRun run;
    try {
        run.result = harvest.Harvest(line);
    } catch (const std::exception& e) {
        run.summary = std::string(texts::kHarvestNotDone) + ": " + e.what();
        run.exit = THarvestExit::NothingHarvested;
        return run;
    }
    std::string heldMessage;
    if (run.result.outcome == THarvestResult::Outcome::Done && run.result.held)
        heldMessage = KeepHeldRecords(journal, recordAlertLevel, run.result);
    run.summary =
        HarvestCommandSummary(run.result, line.port.Text(), formats, journal.Path(), heldMessage);
    if (!openNote.empty()) run.summary += ". " + openNote;
    run.exit = HarvestExitOf(run.result);
    return run;
}

}  // namespace

int RunHarvestCommand(const THarvestCommand& command, const std::string& programDir,
                      const std::string& journalPath) {
    TPlatformClock clock;
    if (!command.error.empty()) {
        Tell(programDir, clock, command.error);
        return static_cast<int>(THarvestExit::BadArguments);
    }
    TRun run;
    try {
        run = Harvest(command, programDir, journalPath, clock);
    } catch (const std::exception& e) {
        run.summary = std::string(texts::kHarvestNotDone) + ": " + e.what();
        run.exit = THarvestExit::NothingHarvested;
    }
    Tell(programDir, clock, run.summary);
    return static_cast<int>(run.exit);
}

}  // namespace virel::app
