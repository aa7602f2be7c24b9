#include "registry/PushSchedule.h"

#include <algorithm>
#include <exception>

#include "core/DateTimeFormat.h"

namespace virel {

TPushSchedule::TPushSchedule(TPushFunction push, TCountFunction count, IPushClock& clock)
    : push_(std::move(push)), count_(std::move(count)), clock_(clock) {}

TLinkState TPushSchedule::State() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void TPushSchedule::Publish(const std::function<void(TLinkState&)>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(state_);
}

std::optional<std::chrono::milliseconds> TPushSchedule::Remaining() const {
    if (!retryAtTick_) return std::nullopt;
    const std::int64_t left = *retryAtTick_ - clock_.TickMs();
    if (left <= 0) return std::nullopt;
    return std::chrono::milliseconds(left);
}

std::optional<TPushSchedule::TQueueCount> TPushSchedule::Count() {
    const auto count = count_();
    if (count) {
        Publish([&](TLinkState& state) {
            state.waiting = count->waiting;
            state.refused = count->refused;
        });
    }
    return count;
}

std::optional<std::chrono::milliseconds> TPushSchedule::Run(TPushWake wake,
                                                            const TRegistrySettings& settings) {
    if (!Configured(settings)) {
        // Nothing to do until the operator configures it; the line shows nothing meanwhile.
        retryAtTick_.reset();
        backoff_.Reset();
        Publish([](TLinkState& state) { state = {}; });
        return std::nullopt;
    }
    Publish([](TLinkState& state) { state.configured = true; });
    switch (wake) {
        case TPushWake::Start:
        case TPushWake::Settings:
            // New settings may mend what failed: try at once, with the pauses begun anew.
            retryAtTick_.reset();
            backoff_.Reset();
            return Push(settings);
        case TPushWake::Capture:
        case TPushWake::Pause: {
            if (const auto left = Remaining()) {
                // In a pause after a failure: the server is not asked before its time, but the
                // count the window shows grows with the captures.
                if (wake == TPushWake::Capture) (void)Count();
                return left;
            }
            if (retryAtTick_) return Push(settings);  // the pause after a failure is over
            // All went last time: the server is asked only when something waits.
            const auto count = Count();
            if (count && count->waiting == 0) return kIdleLook;
            return Push(settings);
        }
    }
    return kIdleLook;
}

std::optional<std::chrono::milliseconds> TPushSchedule::Push(const TRegistrySettings& settings) {
    // The local count first: the line has it even when the server does not answer.
    if (!State().waiting) (void)Count();
    Publish([](TLinkState& state) { state.pushing = true; });
    TPushResult result;
    try {
        result = push_(settings);
    } catch (const std::exception& e) {
        // Out of memory or the like: a failure like any other, tried again after a pause.
        result.outcome = TPushOutcome::Failed;
        result.waiting = State().waiting.value_or(0);
        result.reason = e.what();
    }
    const std::int64_t now = clock_.LocalNowMs();
    if (result.outcome == TPushOutcome::NotConfigured) {
        retryAtTick_.reset();
        Publish([](TLinkState& state) { state = {}; });
        return std::nullopt;
    }
    const bool done = result.outcome == TPushOutcome::Done;
    // The rows this push refused are marked aside in the queue now: counted with the others.
    const auto count = result.refused > 0 ? count_() : std::nullopt;
    Publish([&](TLinkState& state) {
        state.pushing = false;
        state.outcome = result.outcome;
        state.waiting = result.waiting;
        state.reason = done ? std::string() : result.reason;
        // A failure after some batches went still moved the last push on.
        if (done || result.pushed > 0) state.lastPushMs = now;
        if (result.refused > 0) {
            state.refused = count ? count->refused : state.refused + result.refused;
            state.refusedReason = result.refusedReason;
        }
    });
    if (done) {
        retryAtTick_.reset();
        backoff_.Reset();
        return kIdleLook;
    }
    const std::chrono::milliseconds pause = backoff_.Next(true);
    retryAtTick_ = clock_.TickMs() + pause.count();
    return pause;
}

void TWakeOnCapture::Keep(const MeasurementRecord& record, TRecordSource source) {
    journal_.Keep(record, source);
    if (!batch_) wake_();
}

void TWakeOnCapture::BeginBatch() {
    batch_ = true;
    journal_.BeginBatch();
}

TBatchResult TWakeOnCapture::EndBatch() {
    batch_ = false;
    const TBatchResult result = journal_.EndBatch();
    if (result.added > 0) wake_();
    return result;
}

void TWakeOnCapture::DiscardBatch() {
    batch_ = false;
    journal_.DiscardBatch();
}

std::string LinkStateText(const TLinkState& state, const RegionalFormats& formats) {
    if (!state.configured) return {};
    std::string text = texts::kLinkPrefix;
    text += state.lastPushMs ? texts::kLinkLastPush +
                                   DateTimeToText(FromMilliseconds(*state.lastPushMs), formats)
                             : std::string(texts::kLinkNeverPushed);
    if (state.waiting) text += texts::kLinkWaiting + std::to_string(*state.waiting);
    if (state.refused > 0) {
        text += texts::kLinkRefusedRows + std::to_string(state.refused);
        if (!state.refusedReason.empty()) text += " (" + state.refusedReason + ")";
    }
    if (state.pushing) text += texts::kLinkPushing;
    if (!state.reason.empty()) {
        switch (state.outcome) {
            case TPushOutcome::Unreachable:
                text += texts::kLinkUnreachable;
                break;
            case TPushOutcome::Refused:
                text += texts::kLinkRefused;
                break;
            default:
                text += texts::kLinkFailed;
                break;
        }
        text += state.reason;
    }
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    return text;
}

}  // namespace virel
