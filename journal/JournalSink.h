#pragma once
// The journal as the device side hands it records (core/meter/RecordJournal.h): each record
// dated by the PC's clock and captured at once, or gathered into one transaction for a
// harvest. A capture that wrote rows tells the queue's waker: they wait for the registry now.
#include <vector>

#include "core/meter/DeviceSeams.h"
#include "core/meter/RecordJournal.h"
#include "journal/Journal.h"

namespace virel {

class TJournalSink final : public IRecordJournal {
public:
    // All must outlive the sink; the journal is opened by its owner.
    TJournalSink(TJournal& journal, IClock& clock, IQueueWaker& waker)
        : journal_(journal),
          clock_(clock),
          waker_(waker),
          records_(journal),
          clockNotes_(journal) {}

    void Keep(const MeasurementRecord& record, TRecordSource source) override;
    void BeginBatch() override;
    TBatchResult EndBatch() override;
    void DiscardBatch() override;
    void NoteClock(const MeasurementRecord& record) override;
    std::optional<DateTime> NewestTimeOf(int device) override;

    // What the last capture became (the window shows a journal that holds records in memory).
    const TCaptureResult& LastCapture() const { return last_; }

private:
    DateTime Now();
    void Captured(TCaptureResult result);

    TJournal& journal_;
    IClock& clock_;
    IQueueWaker& waker_;
    TJournalRecords records_;
    TClockNotes clockNotes_;
    bool batchOpen_ = false;
    std::vector<TJournalRecord> batch_;
    TCaptureResult last_;
};

// "YYYY-MM-DD HH:MM" as the journal writes the meter's time; none for anything else.
std::optional<DateTime> JournalMinute(const std::string& text);

}  // namespace virel
