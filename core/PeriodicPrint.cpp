#include "core/PeriodicPrint.h"

#include "core/DeviceTexts.h"

namespace virel {

std::string TPeriodicPrint::LogLine(const IFaceView& view) {
    return view.FieldText(Field::Time) + " " + view.FieldText(Field::DevNumber) + " " +
           view.FieldText(Field::MeasureNumber) + " " + view.FieldText(Field::Dose);
}

void TPeriodicPrint::TimerTimer() {
    // Wraps instead of overflowing (after 68 years of ticks).
    state_.TimerTicks =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(state_.TimerTicks) + 1u);
    if (!view_.ReadToFile()) return;
    std::int64_t interval = view_.AutoTimeValue();
    if (interval < kMinPrintInterval) interval = kMinPrintInterval;
    if (state_.TimerTicks % interval != 0) return;
    // The export owns the port, the gauge and the progress window between its records.
    if (state_.ExportRunning) return;
    actions_.PrintExecute();
    if (!state_.LastReadOk) return;
    const std::string line = LogLine(view_);
    if (!log_.AppendLine(line)) {
        view_.SetStatusText(texts::kStatusLogFailed);
        return;
    }
    view_.SetStatusText(texts::kStatusLogWritten + line);
}

}  // namespace virel
