#include "core/meter/PeriodicPrint.h"

#include "core/meter/DeviceTexts.h"
#include "core/meter/MeasurementRecord.h"

namespace virel {

std::string TPeriodicPrint::LogLine(const RecordTexts& texts) {
    return texts.time + " " + texts.devNumber + " " + texts.measureNumber + " " + texts.dose;
}

bool TPeriodicPrint::TimerTimer(const TPeriodicChoice& choice, const TPrintSettings& settings) {
    // Wraps instead of overflowing (after 68 years of ticks).
    state_.TimerTicks =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(state_.TimerTicks) + 1u);
    if (!choice.on) return false;
    std::int64_t interval = choice.interval;
    if (interval < kMinPrintInterval) interval = kMinPrintInterval;
    if (state_.TimerTicks % interval != 0) return false;
    // The export owns the port, the gauge and the progress window between its records.
    if (state_.ExportRunning) return false;
    try {
        Print(settings);
    } catch (const std::exception& e) {
        if (reportOpen_) return true;
        reportOpen_ = true;
        struct Closed {
            bool& open;
            ~Closed() { open = false; }
        } closed{reportOpen_};
        view_.ReportError(e.what());
    }
    return true;
}

void TPeriodicPrint::Print(const TPrintSettings& settings) {
    const TReadResult result = actions_.PrintExecute(settings);
    if (!result.record) return;
    const MeasurementRecord& record = *result.record;
    const std::string line = LogLine(TextsOf(record, formats_));
    // The record's own remark (the meter's error, an invalid time) must not be lost behind
    // what became of the line: the log line keeps its format, so the status is where the
    // operator sees it.
    const std::string remark = RecordRemark(record);
    const auto status = [&remark](const std::string& text) {
        return remark.empty() ? text : remark + ". " + text;
    };
    bool written = false;
    try {
        written = log_.AppendLine(line);
    } catch (...) {
        view_.SetStatusText(status(texts::kStatusLogFailed));  // stays when no box can tell more
        throw;
    }
    view_.SetStatusText(
        status(written ? texts::kStatusLogWritten + line : texts::kStatusLogFailed));
}

}  // namespace virel
