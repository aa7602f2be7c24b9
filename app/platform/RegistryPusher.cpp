#include "app/platform/RegistryPusher.h"

#include <optional>

#include "app/platform/PlatformClock.h"
#include "journal/Journal.h"
#include "forms/JournalView.h"

namespace virel::app {

namespace {

class TPlatformPushClock final : public IPushClock {
public:
    std::int64_t TickMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
    std::int64_t LocalNowMs() override { return local_.LocalNowMs(); }

private:
    TPlatformClock local_;
};

}  // namespace

struct TRegistryPusher::TShared {
    TShared(std::string path, TLoadSettings loadSettings, TPush pushFunction)
        : journalPath(std::move(path)),
          load(std::move(loadSettings)),
          push(std::move(pushFunction)),
          schedule(clock) {}

    // The journal is opened where it is first needed, on the pusher's thread: a file that
    // cannot be opened now is tried again at the next wake.
    bool Open() {
        if (!journal) return false;
        if (journal->IsOpen()) return true;
        // The main window tells the operator about the file; the link's line gives the reason.
        openError = journal->Open().error;
        return journal->IsOpen();
    }
    TPushResult PushNow(const TRegistrySettings& settings) {
        if (!Open()) {
            TPushResult result;
            result.outcome = TPushOutcome::Failed;
            result.waiting = schedule.State().waiting.value_or(0);
            result.reason = texts::kJournalUnavailable + openError;
            return result;
        }
        TPushQueue queue(*journal);
        return push(queue, settings);
    }
    std::optional<TPushSchedule::TQueueCount> Count() {
        try {
            if (!Open()) return std::nullopt;
            TPushQueue queue(*journal);
            return TPushSchedule::TQueueCount{queue.Waiting(), queue.Refused()};
        } catch (const std::exception&) {
            return std::nullopt;  // a busy or damaged file: the push that follows says why
        }
    }
    // Counts and pushes as the schedule says, until it says to wait.
    std::optional<std::chrono::milliseconds> Run(TPushWake wake,
                                                 const TRegistrySettings& settings) {
        TPushStep step = schedule.Wake(wake, settings);
        while (step.action != TPushStep::TAction::Wait) {
            if (step.action == TPushStep::TAction::Count) {
                step = schedule.Counted(Count());
                continue;
            }
            try {
                step = schedule.Pushed(PushNow(settings));
            } catch (const std::exception& e) {
                step = schedule.PushThrew(e.what());
            }
        }
        return step.wait;
    }

    std::string journalPath;
    TLoadSettings load;
    TPush push;
    TPlatformPushClock clock;
    TPlatformClock journalClock;
    std::unique_ptr<TJournal> journal;  // made and used on the pusher's thread only
    std::string openError;
    TPushSchedule schedule;
    // Manual: once asked to stop, every later wait ends at once.
    win::THandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // Automatic: several wakes before the thread looks make one look.
    win::THandle settingsChanged{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    win::THandle captured{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

TRegistryPusher::TRegistryPusher(std::string journalPath, TLoadSettings load, TPush push)
    : shared_(std::make_shared<TShared>(std::move(journalPath), std::move(load), std::move(push))) {
}

TRegistryPusher::~TRegistryPusher() {
    Stop();
}

void TRegistryPusher::Start() {
    if (thread_) return;
    ResetEvent(shared_->stop.Get());
    auto* handed = new std::shared_ptr<TShared>(shared_);
    thread_.Reset(CreateThread(nullptr, 0, ThreadMain, handed, 0, nullptr));
    if (!thread_) {
        delete handed;
        return;
    }
    // Pushing is never in a hurry: the windows' threads go first.
    SetThreadPriority(thread_.Get(), THREAD_PRIORITY_BELOW_NORMAL);
}

void TRegistryPusher::Stop() {
    if (!thread_) return;
    SetEvent(shared_->stop.Get());
    WaitForSingleObject(thread_.Get(), kStopWaitMs);
    thread_.Reset();
}

TLinkState TRegistryPusher::State() const {
    return shared_->schedule.State();
}

void TRegistryPusher::Wake() {
    SetEvent(shared_->captured.Get());
}

void TRegistryPusher::SettingsChanged() {
    SetEvent(shared_->settingsChanged.Get());
}

DWORD WINAPI TRegistryPusher::ThreadMain(void* handed) {
    const std::shared_ptr<TShared> shared = *static_cast<std::shared_ptr<TShared>*>(handed);
    delete static_cast<std::shared_ptr<TShared>*>(handed);
    TShared& s = *shared;
    try {
        s.journal = std::make_unique<TJournal>(s.journalPath, s.journalClock);
        TRegistrySettings settings = s.load();
        TPushWake wake = TPushWake::Start;
        // The stop first: when it is set, nothing else is looked at.
        const HANDLE waits[] = {s.stop.Get(), s.settingsChanged.Get(), s.captured.Get()};
        for (;;) {
            const auto pause = s.Run(wake, settings);
            const DWORD timeout = pause ? static_cast<DWORD>(pause->count()) : INFINITE;
            const DWORD woken = WaitForMultipleObjects(3, waits, FALSE, timeout);
            if (woken == WAIT_OBJECT_0 + 1) {
                settings = s.load();
                wake = TPushWake::Settings;
            } else if (woken == WAIT_OBJECT_0 + 2) {
                wake = TPushWake::Capture;
            } else if (woken == WAIT_TIMEOUT) {
                wake = TPushWake::Pause;
            } else {
                break;  // the stop, or a wait that failed
            }
        }
    } catch (...) {
        // No exception leaves a thread; the link's line stays as it was last published.
    }
    s.journal.reset();  // the connection closes on the thread that used it
    return 0;
}

}  // namespace virel::app
