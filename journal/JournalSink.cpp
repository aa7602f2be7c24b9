#include "journal/JournalSink.h"

#include <cstdio>

namespace virel {

DateTime TJournalSink::Now() {
    return FromMilliseconds(clock_.LocalNowMs());
}

void TJournalSink::Keep(const MeasurementRecord& record, TRecordSource source) {
    TJournalRecord row = JournalRecordOf(record, source, Now());
    if (batchOpen_) {
        batch_.push_back(std::move(row));
        return;
    }
    Captured(journal_.Capture({std::move(row)}, RecordAlertLevel()));
}

void TJournalSink::Captured(TCaptureResult result) {
    last_ = std::move(result);
    if (last_.outcome != TCaptureOutcome::Written) return;
    if (last_.added + last_.addedHeld > 0) waker_.Wake();
    if (last_.alerts > 0) alerts_.AlertsRaised(last_.alerts);
}

void TJournalSink::BeginBatch() {
    batchOpen_ = true;
    batch_.clear();
}

TBatchResult TJournalSink::EndBatch() {
    batchOpen_ = false;
    Captured(journal_.Capture(batch_, RecordAlertLevel()));
    batch_.clear();
    TBatchResult result;
    // Held: the new ones among them are kept in memory, and counted as new all the same. A
    // batch the journal had whole needed no writing: nothing of it is held. Alerts are raised
    // only when the records are written.
    const bool held = last_.outcome == TCaptureOutcome::Held;
    result.held = held && last_.heldNew > 0;
    result.added = held ? last_.heldNew : last_.added;
    result.alerts = held ? 0 : last_.alerts;
    return result;
}

void TJournalSink::DiscardBatch() {
    batchOpen_ = false;
    batch_.clear();
}

void TJournalSink::NoteClock(const MeasurementRecord& record) {
    const DateTime now = Now();
    const auto minutes = ClockDifferenceMinutes(record, now);
    if (!minutes) return;
    // A note that cannot be written now is only a note: the next end of measurement tells again.
    static_cast<void>(clockNotes_.Note(record.deviceNumber, *minutes, now));
}

std::optional<DateTime> TJournalSink::NewestTimeOf(int device) {
    try {
        // Only the meter's own clock compares with the times it sends: a record whose time was
        // invalid has only the PC's.
        const auto newest = records_.NewestMeasuredOfMeter(device);
        if (!newest) return std::nullopt;
        return JournalMinute(*newest);
    } catch (const EJournal&) {
        // A journal that cannot be asked warns of no gap: the harvest itself still goes on.
        return std::nullopt;
    }
}

std::optional<DateTime> JournalMinute(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char end = 0;
    if (text.size() != 16 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &year, &month, &day,
                                         &hour, &minute, &end) != 5) {
        return std::nullopt;
    }
    const DateTime value{year, month, day, hour, minute, 0, 0};
    if (!IsValidDateTime(value)) return std::nullopt;
    return value;
}

}  // namespace virel
