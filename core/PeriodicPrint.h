#pragma once
// The periodic end of measurement: every N-th tick of the main window's one-second timer runs
// the end-of-measurement action and logs the record it read.
#include <cstdint>

#include "core/DeviceActions.h"
#include "core/FaceView.h"
#include "core/LogFile.h"

namespace virel {

// An interval below this (possible while the operator is still typing) counts as this.
inline constexpr std::int64_t kMinPrintInterval = 5;

class TPeriodicPrint {
public:
    TPeriodicPrint(IFaceView& view, TDeviceActions& actions, FaceState& state, TLogFile& log)
        : view_(view), actions_(actions), state_(state), log_(log) {}

    // One timer tick (TimerTimer). Exceptions of the action (Esc) and of writing the log go to
    // the caller's error report.
    void TimerTimer();

    // The log line of the record the four fields hold.
    static std::string LogLine(const IFaceView& view);

private:
    IFaceView& view_;
    TDeviceActions& actions_;
    FaceState& state_;
    TLogFile& log_;
};

}  // namespace virel
