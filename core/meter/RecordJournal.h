#pragma once
// Where the records the meter sends are kept beyond its own 256: the dose journal. The actions
// hand it every record they accept, in the step that shows it. It never throws: what it cannot
// write now it holds and writes later, and says so through its own window and messages.
#include <cstddef>
#include <optional>

#include "core/DateTimeFormat.h"
#include "core/meter/MeasurementRecord.h"

namespace virel {

// Which reading brought a record in.
enum class TRecordSource {
    Print,    // an end of measurement (FPR or RPR), pressed or periodic
    Record,   // one archive record (RD)
    Export,   // either archive export
    Harvest,  // the archive collected into the journal
};

// What a batch of records became.
struct TBatchResult {
    std::size_t added = 0;   // records new to the journal (also when held: those are kept)
    bool held = false;       // the journal could not take them now: kept in memory
    std::size_t alerts = 0;  // of the records written, those over an alert level
};

class IRecordJournal {
public:
    virtual ~IRecordJournal() = default;
    // A record accepted and shown: kept in a transaction of its own, or, between BeginBatch and
    // EndBatch, with the batch.
    virtual void Keep(const MeasurementRecord& record, TRecordSource source) = 0;
    // The records kept until EndBatch go in one transaction; DiscardBatch drops them.
    virtual void BeginBatch() = 0;
    [[nodiscard]] virtual TBatchResult EndBatch() = 0;
    virtual void DiscardBatch() = 0;
    // An end of measurement's record: the journal keeps how far the meter's clock is off the
    // PC's when that is more than a few minutes.
    virtual void NoteClock(const MeasurementRecord& record) = 0;
    // The meter's newest journaled time of its own (the meter's clock); records whose time is
    // invalid are left out. None when the journal holds no such record of it.
    [[nodiscard]] virtual std::optional<DateTime> NewestTimeOf(int device) = 0;
};

// No journal: the records are shown and logged as before, and kept nowhere else.
class TNoJournal final : public IRecordJournal {
public:
    void Keep(const MeasurementRecord&, TRecordSource) override {}
    void BeginBatch() override {}
    TBatchResult EndBatch() override { return {}; }
    void DiscardBatch() override {}
    void NoteClock(const MeasurementRecord&) override {}
    std::optional<DateTime> NewestTimeOf(int) override { return std::nullopt; }
};

}  // namespace virel
