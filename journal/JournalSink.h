#pragma once
// The journal as the device side hands it records (core/meter/RecordJournal.h): each record
// dated by the PC's clock and captured at once, or gathered into one transaction for a
// harvest. A capture that wrote rows tells the queue's waker: they wait for the registry now;
// one that raised alerts tells the alert's waker: the operator is to see them.
#include <atomic>
#include <cstddef>
#include <vector>

#include "core/meter/DeviceSeams.h"
#include "core/meter/RecordJournal.h"
#include "journal/Journal.h"

namespace virel {

// Told after a commit that raised alerts (a capture, a batch), with how many: the program
// shows the notice. Called on the capturing thread, after the transaction: it may read the
// alerts at once.
class IAlertWaker {
public:
    virtual ~IAlertWaker() = default;
    virtual void AlertsRaised(std::size_t count) = 0;
};

// Nobody to tell: a process without a window (the harvest: its summary line counts them).
class TNoAlertWaker final : public IAlertWaker {
public:
    void AlertsRaised(std::size_t) override {}
};

class TJournalSink final : public IRecordJournal {
public:
    // All must outlive the sink; the journal is opened by its owner. `recordAlertLevel`: the
    // journal's setting, Gy·cm² above which any record raises an alert (0: none).
    TJournalSink(TJournal& journal, IClock& clock, IQueueWaker& waker, IAlertWaker& alerts,
                 double recordAlertLevel)
        : journal_(journal),
          clock_(clock),
          waker_(waker),
          alerts_(alerts),
          recordAlertLevel_(recordAlertLevel),
          records_(journal),
          clockNotes_(journal) {}

    // The setting changed in the journal's window (its own thread): the next capture uses it.
    void SetRecordAlertLevel(double level) { recordAlertLevel_.store(level); }
    double RecordAlertLevel() const { return recordAlertLevel_.load(); }

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
    IAlertWaker& alerts_;
    std::atomic<double> recordAlertLevel_;
    TJournalRecords records_;
    TClockNotes clockNotes_;
    bool batchOpen_ = false;
    std::vector<TJournalRecord> batch_;
    TCaptureResult last_;
};

// "YYYY-MM-DD HH:MM" as the journal writes the meter's time; none for anything else.
std::optional<DateTime> JournalMinute(const std::string& text);

}  // namespace virel
