#include "app/PushRun.h"

#include "app/platform/PlatformClock.h"
#include "app/platform/ProgramFile.h"
#include "app/platform/RegistrySettingsStore.h"
#include "app/platform/StarterConsole.h"
#include "journal/Journal.h"
#include "journal/JournalTexts.h"
#include "registry/PushCommand.h"

namespace virel::app {

namespace {

int Told(TPushExit code, const std::string& line) {
    WriteLineToStarter("ВИРЕЛ1 Сервис: " + line, code != TPushExit::Done);
    return static_cast<int>(code);
}

}  // namespace

std::optional<int> RunPushCommandLine(const std::string& journalPath) {
    const TPushCommand command = ParsePushCommand(CommandLineArguments());
    if (!command.requested) return std::nullopt;
    if (!command.error.empty()) return Told(TPushExit::BadArguments, command.error);

    const TRegistrySettings settings = WithOverrides(LoadOwnRegistrySettings(), command);
    TPlatformClock clock;
    TJournal journal(journalPath, clock);
    const TOpenResult opened = journal.Open();
    if (!journal.Writable()) {
        // The queue cannot be emptied in a journal that cannot be written: nothing is sent.
        std::string message = JournalOpenMessage(opened);
        if (message.empty()) message = "журнал доз " + opened.path + " недоступен для записи";
        for (char& c : message) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        return Told(TPushExit::Journal, message);
    }
    TPushQueue queue(journal);
    const TPushResult result = PushWaiting(queue, settings);
    const TPushExit exit = ExitOf(result);
    return Told(exit, PushSummary(result));
}

}  // namespace virel::app
