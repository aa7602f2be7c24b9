#include "core/meter/BusyPort.h"

#include <algorithm>

namespace virel {

std::optional<std::uint32_t> TBusyPortRetry::NextPause(std::int64_t nowMs) {
    if (nowMs < startMs_) startMs_ = nowMs;
    const std::int64_t left = kBusyPortWaitMs - (nowMs - startMs_);
    if (left <= 0) return std::nullopt;
    const std::uint32_t pause = static_cast<std::uint32_t>(std::min<std::int64_t>(pause_, left));
    pause_ = std::min(pause_ * 2, kBusyPortLongestPauseMs);
    return pause;
}

}  // namespace virel
