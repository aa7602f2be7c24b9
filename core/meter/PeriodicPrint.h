#pragma once
// The periodic end of measurement: every N-th tick of the main window's one-second timer runs
// the end-of-measurement action and logs the record it read.
#include <cstdint>

#include "core/Regional.h"
#include "core/meter/FaceView.h"
#include "core/meter/LogFile.h"
#include "core/meter/MeasurementRecord.h"
#include "core/meter/MeterActions.h"

namespace virel {

// An interval below this (possible while the operator is still typing) counts as this.
inline constexpr std::int64_t kMinPrintInterval = 5;

class TPeriodicPrint {
public:
    TPeriodicPrint(IFaceView& view, TMeterActions& actions, FaceState& state, TLogFile& log,
                   const RegionalFormats& formats)
        : view_(view), actions_(actions), state_(state), log_(log), formats_(formats) {}

    // One timer tick (TimerTimer); true when a print was due and ran (on `settings`). An error
    // of the action (Esc) or of writing the log goes to the view's error report; while that box
    // is open (its modal loop lets the timer tick on), later ticks go on printing but open no
    // second box: a lasting write error would otherwise fill the screen with boxes. Their lines
    // stay kept by the log.
    bool TimerTimer(const TPeriodicChoice& choice, const TPrintSettings& settings);

    // The log line of a record: its four texts as the fields show them, time first.
    static std::string LogLine(const RecordTexts& texts);

private:
    void Print(const TPrintSettings& settings);

    bool reportOpen_ = false;
    IFaceView& view_;
    TMeterActions& actions_;
    FaceState& state_;
    TLogFile& log_;
    const RegionalFormats& formats_;
};

}  // namespace virel
