#include "core/meter/Harvest.h"

#include "core/meter/DeviceTexts.h"

namespace virel {

namespace {

// Keeps the batch for the life of a harvest: discarded unless the harvest ends it.
class TBatch {
public:
    explicit TBatch(IRecordJournal& journal) : journal_(journal) { journal_.BeginBatch(); }
    ~TBatch() {
        if (open_) journal_.DiscardBatch();
    }
    TBatch(const TBatch&) = delete;
    TBatch& operator=(const TBatch&) = delete;
    TBatchResult End() {
        open_ = false;
        return journal_.EndBatch();
    }

private:
    IRecordJournal& journal_;
    bool open_ = true;
};

// While the archive is read, nothing else talks to the meter.
class TActionsOff {
public:
    explicit TActionsOff(IFaceView& view) : view_(view) { view_.SetMeterActionsEnabled(false); }
    ~TActionsOff() { view_.SetMeterActionsEnabled(true); }
    TActionsOff(const TActionsOff&) = delete;
    TActionsOff& operator=(const TActionsOff&) = delete;

private:
    IFaceView& view_;
};

bool Earlier(const DateTime& a, const DateTime& b) {
    return ToMilliseconds(a) < ToMilliseconds(b);
}

std::int64_t MinuteOf(const DateTime& time) {
    return ToMilliseconds(time) / 60'000;
}

std::string Replaced(std::string text, const char* mark, const std::string& value) {
    const auto at = text.find(mark);
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

}  // namespace

bool MayHaveOverwritten(const THarvestResult& result) {
    if (result.outcome != THarvestResult::Outcome::Done || result.read == 0) return false;
    if (!result.newestJournaled || !result.oldestRead) return false;
    return result.added == result.read &&
           MinuteOf(*result.oldestRead) > MinuteOf(*result.newestJournaled);
}

std::string HarvestSummary(const THarvestResult& result, const std::string& port) {
    switch (result.outcome) {
        case THarvestResult::Outcome::NoPort:
            return texts::kHarvestNoPort + port;
        case THarvestResult::Outcome::NothingRead:
            return texts::kHarvestNothingRead;
        case THarvestResult::Outcome::TwoMeters:
            return Replaced(Replaced(texts::kHarvestTwoMeters, "%1", std::to_string(result.meter)),
                            "%2", std::to_string(result.otherMeter));
        case THarvestResult::Outcome::Done:
            break;
    }
    std::string text = texts::kHarvestAdded + std::to_string(result.added) +
                       texts::kHarvestAddedOf + std::to_string(kArchiveRecords);
    const std::size_t missing = static_cast<std::size_t>(kArchiveRecords) - result.read;
    if (missing > 0) {
        text += texts::kStatusFileRecordsMissing + std::to_string(missing) +
                texts::kStatusFileRecordsOf + std::to_string(kArchiveRecords);
    }
    if (result.held) text += texts::kHarvestHeld;
    return text;
}

std::string HarvestGapWarning(const THarvestResult& result, const RegionalFormats& formats) {
    if (!result.mayHaveOverwritten) return {};
    std::string text = Replaced(texts::kHarvestGap, "%1", std::to_string(result.meter));
    text =
        Replaced(text, "%2",
                 result.newestJournaled ? DateTimeToText(*result.newestJournaled, formats) : "?");
    return Replaced(text, "%3",
                    result.oldestRead ? DateTimeToText(*result.oldestRead, formats) : "?");
}

THarvestResult TJournalHarvest::Harvest(const TLineSettings& line) {
    THarvestResult result;
    if (state_.ExportRunning) {
        result.outcome = THarvestResult::Outcome::NothingRead;
        return result;
    }
    const TExportRunning running(state_);
    const TActionsOff off(view_);
    view_.SetStatusText(texts::kStatusReading);
    const TPortHold hold(exchange_, line);
    if (!hold) {
        result.outcome = THarvestResult::Outcome::NoPort;
        return result;
    }
    TBatch batch(journal_);

    std::optional<int> meter;
    std::optional<int> otherMeter;
    const TArchiveReadCount count =
        reading_.ReadRecords(line, [&](int, const MeasurementRecord& record) {
            if (!meter) meter = record.deviceNumber;
            if (record.deviceNumber != *meter && !otherMeter) otherMeter = record.deviceNumber;
            if (record.TimeIsValid() &&
                (!result.oldestRead || Earlier(record.time, *result.oldestRead)))
                result.oldestRead = record.time;
        });
    result.read = static_cast<std::size_t>(count.read);
    if (count.portUnavailable) {
        result.outcome = THarvestResult::Outcome::NoPort;
        return result;
    }
    if (otherMeter) {
        result.outcome = THarvestResult::Outcome::TwoMeters;
        result.meter = *meter;
        result.otherMeter = *otherMeter;
        return result;
    }
    if (count.read == 0) {
        result.outcome = THarvestResult::Outcome::NothingRead;
        return result;
    }
    result.meter = *meter;
    // Asked before the batch is written: what the journal held of this meter until now.
    result.newestJournaled = journal_.NewestTimeOf(result.meter);
    const TBatchResult kept = batch.End();
    result.added = kept.added;
    result.alerts = kept.alerts;
    result.held = kept.held;
    result.mayHaveOverwritten = MayHaveOverwritten(result);
    return result;
}

void TJournalHarvest::HarvestExecute(const TLineSettings& line) {
    if (state_.ExportRunning) return;
    THarvestResult result;
    try {
        result = Harvest(line);
    } catch (...) {
        view_.SetStatusText(texts::kHarvestNotDone);
        throw;
    }
    view_.SetStatusText(HarvestSummary(result, line.port.Text()));
    if (result.outcome == THarvestResult::Outcome::TwoMeters) {
        view_.ReportError(HarvestSummary(result, line.port.Text()));
        return;
    }
    const std::string gap = HarvestGapWarning(result, formats_);
    if (!gap.empty()) view_.ReportError(gap);
}

}  // namespace virel
