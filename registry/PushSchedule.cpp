#include "registry/PushSchedule.h"

#include <algorithm>

#include "core/DateTimeFormat.h"

namespace virel {

TLinkState TPushSchedule::State() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void TPushSchedule::PublishCount(const std::optional<TQueueCount>& count) {
    if (!count) return;
    Publish([&](TLinkState& state) {
        state.waiting = count->waiting;
        state.refused = count->refused;
    });
}

std::optional<std::chrono::milliseconds> TPushSchedule::Remaining() const {
    if (!retryAtTick_) return std::nullopt;
    const std::int64_t left = *retryAtTick_ - clock_.TickMs();
    if (left <= 0) return std::nullopt;
    return std::chrono::milliseconds(left);
}

TPushStep TPushSchedule::Count(TCounting why) {
    counting_ = why;
    return {TPushStep::TAction::Count, std::nullopt};
}

TPushStep TPushSchedule::Wake(TPushWake wake, const TRegistrySettings& settings) {
    if (!Configured(settings)) {
        // Nothing to do until the operator configures it; the line shows nothing meanwhile.
        retryAtTick_.reset();
        backoff_.Reset();
        Publish([](TLinkState& state) { state = {}; });
        return {};
    }
    Publish([](TLinkState& state) { state.configured = true; });
    switch (wake) {
        case TPushWake::Start:
        case TPushWake::Settings:
            // New settings may mend what failed: try at once, with the pauses begun anew.
            retryAtTick_.reset();
            backoff_.Reset();
            return PushSoon();
        case TPushWake::Capture:
        case TPushWake::Pause:
            if (const auto left = Remaining()) {
                // In a pause after a failure: the server is not asked before its time, but the
                // count the window shows grows with the captures.
                if (wake != TPushWake::Capture) return {TPushStep::TAction::Wait, left};
                pauseLeft_ = left;
                return Count(TCounting::InPause);
            }
            if (retryAtTick_) return PushSoon();  // the pause after a failure is over
            // All went last time: the server is asked only when something waits.
            return Count(TCounting::Look);
    }
    return {TPushStep::TAction::Wait, kIdleLook};
}

// The push, after a count when the line has none yet: it has one even when the server does not
// answer.
TPushStep TPushSchedule::PushSoon() {
    if (!State().waiting) return Count(TCounting::BeforePush);
    Publish([](TLinkState& state) { state.pushing = true; });
    return {TPushStep::TAction::Push, std::nullopt};
}

TPushStep TPushSchedule::Counted(const std::optional<TQueueCount>& count) {
    switch (counting_) {
        case TCounting::InPause:
            PublishCount(count);
            return {TPushStep::TAction::Wait, pauseLeft_};
        case TCounting::Look:
            PublishCount(count);
            if (count && count->waiting == 0) return {TPushStep::TAction::Wait, kIdleLook};
            return PushSoon();
        case TCounting::BeforePush:
            PublishCount(count);
            Publish([](TLinkState& state) { state.pushing = true; });
            return {TPushStep::TAction::Push, std::nullopt};
        case TCounting::AfterPush:
            return Published(pushed_, pushedAtMs_, count);
    }
    return {TPushStep::TAction::Wait, kIdleLook};
}

TPushStep TPushSchedule::PushThrew(const std::string& reason) {
    TPushResult result;
    result.outcome = TPushOutcome::Failed;
    result.waiting = State().waiting.value_or(0);
    result.reason = reason;
    return Pushed(result);
}

TPushStep TPushSchedule::Pushed(const TPushResult& result) {
    const std::int64_t now = clock_.LocalNowMs();
    if (result.outcome == TPushOutcome::NotConfigured) {
        retryAtTick_.reset();
        Publish([](TLinkState& state) { state = {}; });
        return {};
    }
    if (result.refused == 0) return Published(result, now, std::nullopt);
    // The rows this push refused are marked aside in the queue now: counted with the others
    // before the line shows the push.
    pushed_ = result;
    pushedAtMs_ = now;
    return Count(TCounting::AfterPush);
}

TPushStep TPushSchedule::Published(const TPushResult& result, std::int64_t pushedAtMs,
                                   const std::optional<TQueueCount>& count) {
    const bool done = result.outcome == TPushOutcome::Done;
    Publish([&](TLinkState& state) {
        state.pushing = false;
        state.outcome = result.outcome;
        state.waiting = result.waiting;
        state.reason = done ? std::string() : result.reason;
        // A failure after some batches went still moved the last push on.
        if (done || result.pushed > 0) state.lastPushMs = pushedAtMs;
        if (result.refused > 0) {
            state.refused = count ? count->refused : state.refused + result.refused;
            state.refusedReason = result.refusedReason;
        }
    });
    if (done) {
        retryAtTick_.reset();
        backoff_.Reset();
        return {TPushStep::TAction::Wait, kIdleLook};
    }
    const std::chrono::milliseconds pause = backoff_.Next(true);
    retryAtTick_ = clock_.TickMs() + pause.count();
    return {TPushStep::TAction::Wait, pause};
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
