#pragma once
// When the program pushes the journal's waiting rows to the central registry, and what the
// journal window says about the link. One pusher runs in the program, on a thread of its own
// (app/platform/RegistryPusher); this is its decision-making, which owns no thread, reads no
// clock of its own and touches neither the journal nor the server: the thread asks it what a
// wake calls for, counts the queue or pushes itself, and hands it what came of that. So the
// schedule and its wake-ups are tested with a fake clock.
//
// A push is tried at start and when the settings change; after a capture or an annotation when
// the local journal has something waiting; and while the server does not answer, after
// TPushBackoff's growing pauses, which a capture does not cut short (a server that was down a
// moment ago is not asked again for every record). When all went, the pusher looks at the local
// queue once a minute, for rows that came in by another way (a /harvest of the Task Scheduler).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "core/Regional.h"
#include "journal/PushQueue.h"
#include "registry/Registry.h"

namespace virel {

// The link's state as the journal window shows it in one line.
struct TLinkState {
    bool configured = false;                    // connection and room given: the line shows
    bool pushing = false;                       // a push is in flight
    std::optional<std::int64_t> lastPushMs;     // local time the server last took a push
    std::optional<std::size_t> waiting;         // rows not pushed yet; none before the first look
    std::size_t refused = 0;                    // rows the server can never take, kept aside
    std::string refusedReason;                  // why, as the last push that refused one said
    TPushOutcome outcome = TPushOutcome::Done;  // of the last push
    std::string reason;                         // why the last push did not finish; empty if it did
};

// The pusher as the windows see it, from any thread. Woken (IQueueWaker) when something new
// is in the local journal: a capture, an annotation saved.
class IRegistryLink : public IQueueWaker {
public:
    [[nodiscard]] virtual TLinkState State() const = 0;
    // New settings were stored: read them and push at once, with the pauses begun anew.
    virtual void SettingsChanged() = 0;
};

// No registry at all (a benchmark's journal window).
class TNoRegistryLink final : public IRegistryLink {
public:
    TLinkState State() const override { return {}; }
    void Wake() override {}
    void SettingsChanged() override {}
};

// Why the pusher's thread runs the schedule.
enum class TPushWake {
    Start,     // the program started
    Settings,  // the settings were changed
    Capture,   // something new in the local journal
    Pause,     // the wait the last step gave has run out
};

// The pusher's two clocks: a steady one for the pauses (the wall clock may jump an hour at a
// change of the time zone), and the local wall clock for the time the window shows.
class IPushClock {
public:
    virtual ~IPushClock() = default;
    virtual std::int64_t TickMs() = 0;
    virtual std::int64_t LocalNowMs() = 0;
};

// What the pusher's thread does next.
struct TPushStep {
    enum class TAction {
        Count,  // count the local queue and hand the count to Counted
        Push,   // push what waits (PushWaiting) and hand the result to Pushed
        Wait,   // wait for a wake, at most `wait`
    };
    TAction action = TAction::Wait;
    // Wait: how long until the thread wakes itself with TPushWake::Pause; none: until a wake
    // comes.
    std::optional<std::chrono::milliseconds> wait;
};

class TPushSchedule {
public:
    static constexpr std::chrono::milliseconds kIdleLook{60'000};

    // The local journal's queue: rows waiting and rows the server refused for good (marked in
    // the queue, never sent again).
    struct TQueueCount {
        std::size_t waiting = 0;
        std::size_t refused = 0;
    };

    explicit TPushSchedule(IPushClock& clock) : clock_(clock) {}

    // What `wake` with `settings` calls for. A Count or Push step is followed by Counted or
    // Pushed, which say the next step, until a Wait; a Push is made with these settings.
    [[nodiscard]] TPushStep Wake(TPushWake wake, const TRegistrySettings& settings);
    // The queue as counted; none when it cannot be read now.
    [[nodiscard]] TPushStep Counted(const std::optional<TQueueCount>& count);
    // What the push came to.
    [[nodiscard]] TPushStep Pushed(const TPushResult& result);
    // The push ended in an exception (out of memory or the like): a failure like any other,
    // with its text, tried again after a pause.
    [[nodiscard]] TPushStep PushThrew(const std::string& reason);

    // A copy of the state, from any thread.
    TLinkState State() const;

private:
    // What the count asked for last is for.
    enum class TCounting {
        InPause,     // the line's count while the server is not asked
        Look,        // whether anything waits
        BeforePush,  // the line has a count when the server does not answer
        AfterPush,   // the rows the push refused, counted with the others
    };

    std::optional<std::chrono::milliseconds> Remaining() const;
    TPushStep Count(TCounting why);
    TPushStep PushSoon();
    TPushStep Published(const TPushResult& result, std::int64_t pushedAtMs,
                        const std::optional<TQueueCount>& count);
    template <class TChange>
    void Publish(const TChange& change) {
        std::lock_guard<std::mutex> lock(mutex_);
        change(state_);
    }
    void PublishCount(const std::optional<TQueueCount>& count);

    IPushClock& clock_;
    TPushBackoff backoff_;
    std::optional<std::int64_t> retryAtTick_;  // set while the server does not answer
    TCounting counting_ = TCounting::Look;
    std::optional<std::chrono::milliseconds> pauseLeft_;  // InPause: what the wait is then
    TPushResult pushed_;  // AfterPush: the push's result, published with the count
    std::int64_t pushedAtMs_ = 0;
    mutable std::mutex mutex_;
    TLinkState state_;
};

namespace texts {
inline constexpr char kLinkPrefix[] = "Центральный журнал: ";
inline constexpr char kLinkLastPush[] = "отправлено ";  // the date and time follow
inline constexpr char kLinkNeverPushed[] = "отправок ещё не было";
inline constexpr char kLinkWaiting[] = ", ждут отправки: ";  // the count follows
inline constexpr char kLinkPushing[] = ", идёт отправка";
inline constexpr char kLinkRefusedRows[] = ", не принято сервером: ";  // the count, (the reason)
inline constexpr char kLinkUnreachable[] = "; сервер не отвечает: ";   // the reason follows
inline constexpr char kLinkRefused[] = "; сервер отказал: ";           // the reason follows
inline constexpr char kLinkFailed[] = "; не отправлено: ";             // the reason follows
}  // namespace texts

// The journal window's line: "Центральный журнал: отправлено 08.12.2026 7:15:03, ждут
// отправки: 3, не принято сервером: 1 (<why>); сервер не отвечает: <reason>"; empty when the
// registry is not configured. Line breaks in the reasons become spaces: the line is one line.
std::string LinkStateText(const TLinkState& state, const RegionalFormats& formats);

}  // namespace virel
