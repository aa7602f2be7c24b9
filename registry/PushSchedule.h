#pragma once
// When the program pushes the journal's waiting rows to the central registry, and what the
// journal window says about the link. One pusher runs in the program, on a thread of its own
// (app/platform/RegistryPusher); this is its decision-making, which owns no thread and reads no
// clock of its own, so the schedule and its wake-ups are tested with a fake clock.
//
// A push is tried at start and when the settings change; after a capture or an annotation when
// the local journal has something waiting; and while the server does not answer, after
// TPushBackoff's growing pauses, which a capture does not cut short (a server that was down a
// moment ago is not asked again for every record). When all went, the pusher looks at the local
// queue once a minute, for rows that came in by another way (a /harvest of the Task Scheduler).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "core/meter/RecordJournal.h"
#include "core/Regional.h"
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

// The pusher as the windows see it, from any thread.
class IRegistryLink {
public:
    virtual ~IRegistryLink() = default;
    [[nodiscard]] virtual TLinkState State() const = 0;
    // Something new in the local journal (a capture, an annotation saved).
    virtual void Wake() = 0;
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
    Pause,     // the time the last Run returned has run out
};

// The pusher's two clocks: a steady one for the pauses (the wall clock may jump an hour at a
// change of the time zone), and the local wall clock for the time the window shows.
class IPushClock {
public:
    virtual ~IPushClock() = default;
    virtual std::int64_t TickMs() = 0;
    virtual std::int64_t LocalNowMs() = 0;
};

class TPushSchedule {
public:
    static constexpr std::chrono::milliseconds kIdleLook{60'000};

    // One push of what waits, with these settings (PushWaiting on the pusher's own journal).
    using TPushFunction = std::function<TPushResult(const TRegistrySettings&)>;
    // The local journal's queue: rows waiting and rows the server refused for good (marked in
    // the queue, never sent again); none when it cannot be read now.
    struct TQueueCount {
        std::size_t waiting = 0;
        std::size_t refused = 0;
    };
    using TCountFunction = std::function<std::optional<TQueueCount>()>;

    TPushSchedule(TPushFunction push, TCountFunction count, IPushClock& clock);

    // Does what `wake` calls for with `settings` and returns how long the thread may wait for
    // the next wake before it calls again with TPushWake::Pause; none: until a wake comes.
    std::optional<std::chrono::milliseconds> Run(TPushWake wake, const TRegistrySettings& settings);

    // A copy of the state, from any thread.
    TLinkState State() const;

private:
    std::optional<std::chrono::milliseconds> Push(const TRegistrySettings& settings);
    std::optional<std::chrono::milliseconds> Remaining() const;
    // Counts the queue; the line takes both numbers.
    std::optional<TQueueCount> Count();
    void Publish(const std::function<void(TLinkState&)>& change);

    TPushFunction push_;
    TCountFunction count_;
    IPushClock& clock_;
    TPushBackoff backoff_;
    std::optional<std::int64_t> retryAtTick_;  // set while the server does not answer
    mutable std::mutex mutex_;
    TLinkState state_;
};

// The device side's journal with a wake for the pusher after every capture: a single record
// wakes it as it is kept, a batch (an export, a harvest) once when it went in.
class TWakeOnCapture final : public IRecordJournal {
public:
    TWakeOnCapture(IRecordJournal& journal, std::function<void()> wake)
        : journal_(journal), wake_(std::move(wake)) {}

    void Keep(const MeasurementRecord& record, TRecordSource source) override;
    void BeginBatch() override;
    TBatchResult EndBatch() override;
    void DiscardBatch() override;
    void NoteClock(const MeasurementRecord& record) override { journal_.NoteClock(record); }
    std::optional<DateTime> NewestTimeOf(int device) override {
        return journal_.NewestTimeOf(device);
    }

private:
    IRecordJournal& journal_;
    std::function<void()> wake_;
    bool batch_ = false;
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
