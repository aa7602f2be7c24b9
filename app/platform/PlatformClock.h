#pragma once
// The Windows source of the exchange's time.
#include "core/meter/DeviceSeams.h"

namespace virel::app {

// GetLocalTime: the local date and time with millisecond resolution.
class TPlatformClock : public IClock {
public:
    std::int64_t LocalNowMs() override;
};

}  // namespace virel::app
