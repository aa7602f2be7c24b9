#pragma once
// A port another program holds (the window and a scheduled harvest each hold the port for one
// exchange at a time): it is asked for again, in short pauses at first, until it is free or the
// wait is over. A port that does not exist is not waited for.
#include <cstdint>
#include <optional>

namespace virel {

// How long a port held by another program is waited for.
inline constexpr std::int64_t kBusyPortWaitMs = 30'000;
// The pauses between the tries: the first short (the other side's exchange may be ending), then
// doubling up to the longest. Another program's exchange takes tens of milliseconds to a few
// seconds, and a try costs next to nothing.
inline constexpr std::uint32_t kBusyPortFirstPauseMs = 10;
inline constexpr std::uint32_t kBusyPortLongestPauseMs = 100;

class TBusyPortRetry {
public:
    // `startMs`: when the port was first found held (the local clock, IClock).
    explicit TBusyPortRetry(std::int64_t startMs) : startMs_(startMs) {}

    // The pause before the next try, or none when the wait is over. The last pause ends at the
    // wait's end, not after it. A clock set back meanwhile restarts the wait from now, so a
    // jump of the wall clock neither ends it early nor stretches it.
    [[nodiscard]] std::optional<std::uint32_t> NextPause(std::int64_t nowMs);

private:
    std::int64_t startMs_;
    std::uint32_t pause_ = kBusyPortFirstPauseMs;
};

}  // namespace virel
