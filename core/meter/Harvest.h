#pragma once
// The harvest ("Собрать архив в журнал", and /harvest without a window): the whole archive read
// at the file export's pace and kept in the journal in one transaction, only the records it does
// not hold yet. It does not end the running measurement: a scheduled harvest must not cut an
// examination short.
#include <cstddef>
#include <optional>
#include <string>

#include "core/DateTimeFormat.h"
#include "core/Regional.h"
#include "core/export/ArchiveReading.h"
#include "core/meter/Exchange.h"
#include "core/meter/FaceView.h"
#include "core/meter/MeterActions.h"
#include "core/meter/RecordJournal.h"

namespace virel {

struct THarvestResult {
    enum class Outcome {
        Done,         // the records read are in the journal (or held, see `held`)
        NoPort,       // the port could not be opened
        NothingRead,  // the meter answered no read
        TwoMeters,    // records of two meters: nothing kept
    };
    Outcome outcome = Outcome::Done;
    int meter = 0;
    int otherMeter = 0;        // TwoMeters
    std::size_t read = 0;      // records read
    std::size_t added = 0;     // of them new to the journal (kept in memory when held)
    std::size_t alerts = 0;    // of those, the records over an alert level
    bool held = false;         // the journal could not take them now: kept in memory
    // The meter's ring may have overwritten records between these two times before they were
    // read (MayHaveOverwritten).
    bool mayHaveOverwritten = false;
    // The newest time of its own of this meter's records the journal held before, and the
    // oldest of the records read; records without a valid time of their own are left out.
    std::optional<DateTime> newestJournaled;
    std::optional<DateTime> oldestRead;
};

// Records may have been overwritten only when every record read was new (nothing read overlaps
// what the journal held of this meter) and the oldest read is later than the newest held, to
// the minute the journal keeps: an archive older than the journal, or one the journal reaches
// into, lost nothing in between.
bool MayHaveOverwritten(const THarvestResult& result);

// The status line of a harvest (and the summary line of /harvest).
std::string HarvestSummary(const THarvestResult& result, const std::string& port);
// The warning of records that may have been overwritten, with both times; empty when none.
std::string HarvestGapWarning(const THarvestResult& result, const RegionalFormats& formats);

class TJournalHarvest {
public:
    TJournalHarvest(IFaceView& view, TMeterActions& actions, TExchange& exchange, FaceState& state,
                    IRecordJournal& journal, const RegionalFormats& formats)
        : view_(view),
          exchange_(exchange),
          state_(state),
          journal_(journal),
          formats_(formats),
          reading_(view, actions, exchange, state, TReadingPace::Quick, TRecordSource::Harvest) {}

    // Reads and keeps, holding the port's lock for the whole read (a port whose lock another
    // program holds beyond the busy port's wait ends it as NoPort). Errors of the reading (Esc)
    // leave with nothing kept. A request while an export runs does nothing (nothing read).
    THarvestResult Harvest(const TLineSettings& line);
    // A meter that does not answer the first record ends the harvest at once (NothingRead)
    // instead of after all 256 have failed: for the harvest without a window.
    void GiveUpOnSilentMeter(bool on) { reading_.StopAtSilentStart(on); }
    // The action in the window: Harvest, its summary in the status bar and the warning in a box.
    void HarvestExecute(const TLineSettings& line);

private:
    IFaceView& view_;
    TExchange& exchange_;
    FaceState& state_;
    IRecordJournal& journal_;
    const RegionalFormats& formats_;
    TArchiveReading reading_;
};

}  // namespace virel
