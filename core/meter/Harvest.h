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
    int otherMeter = 0;      // TwoMeters
    std::size_t read = 0;    // records read
    std::size_t added = 0;   // of them new to the journal
    std::size_t alerts = 0;  // of those, the records over an alert level
    bool held = false;       // the journal could not take them now: kept in memory
    // Every record read was new although the journal held records of this meter: the meter's
    // ring may have overwritten records between these two times before they were read.
    bool mayHaveOverwritten = false;
    std::optional<DateTime> newestJournaled;
    std::optional<DateTime> oldestRead;
};

// The status line of a harvest (and the summary line of /harvest).
std::string HarvestSummary(const THarvestResult& result, const std::string& port);
// The warning of records that may have been overwritten, with both times; empty when none.
std::string HarvestGapWarning(const THarvestResult& result, const RegionalFormats& formats);

class TJournalHarvest {
public:
    TJournalHarvest(IFaceView& view, TMeterActions& actions, TExchange& exchange, FaceState& state,
                    IRecordJournal& journal, const RegionalFormats& formats)
        : view_(view),
          state_(state),
          journal_(journal),
          formats_(formats),
          reading_(view, actions, exchange, state, TReadingPace::Quick, TRecordSource::Harvest) {}

    // Reads and keeps. Errors of the reading (Esc) leave with nothing kept. A request while an
    // export runs does nothing (nothing read).
    THarvestResult Harvest(const TLineSettings& line);
    // A meter that does not answer the first record ends the harvest at once (NothingRead)
    // instead of after all 256 have failed: for the harvest without a window.
    void GiveUpOnSilentMeter(bool on) { reading_.StopAtSilentStart(on); }
    // The action in the window: Harvest, its summary in the status bar and the warning in a box.
    void HarvestExecute(const TLineSettings& line);

private:
    IFaceView& view_;
    FaceState& state_;
    IRecordJournal& journal_;
    const RegionalFormats& formats_;
    TArchiveReading reading_;
};

}  // namespace virel
