#pragma once
// The reading both archive exports share: the end of measurement that gives the title its
// device number, then records 0..255 one by one with the progress window, a message pass
// before each record (Esc, the operator's buttons, the timer) and a status text for each record
// that failed. What becomes of the records is the writer's affair.
#include <functional>
#include <string>

#include "core/meter/Exchange.h"
#include "core/meter/FaceView.h"
#include "core/meter/MeasurementRecord.h"
#include "core/meter/MeterActions.h"

namespace virel {

// How the export's own exchanges take their replies.
enum class TReadingPace {
    Usual,  // the three timed attempts in full, as the operator's actions
    Quick,  // each record as soon as it is in (whatever runs between records keeps the usual)
};

// ExportRunning for the life of an export, set-up included: no nested export, no periodic print
// in its message passes.
class TExportRunning {
public:
    explicit TExportRunning(FaceState& state) : state_(state) { state_.ExportRunning = true; }
    ~TExportRunning() { state_.ExportRunning = false; }
    TExportRunning(const TExportRunning&) = delete;
    TExportRunning& operator=(const TExportRunning&) = delete;

private:
    FaceState& state_;
};

// How the records went.
struct TArchiveReadCount {
    int read = 0;
    int failed = 0;
    bool portUnavailable = false;  // the port did not open for the first record: nothing read
    bool silentStart = false;      // StopAtSilentStart: no answer to the first record
};

class TArchiveReading {
public:
    // Receives record n as accepted.
    using RowWriter = std::function<void(int n, const MeasurementRecord& record)>;

    // The records read are kept in the journal as `source`.
    TArchiveReading(IFaceView& view, TMeterActions& actions, TExchange& exchange, FaceState& state,
                    TReadingPace pace, TRecordSource source = TRecordSource::Export)
        : view_(view),
          actions_(actions),
          exchange_(exchange),
          state_(state),
          pace_(pace),
          source_(source) {}

    // SpE_Num shows 0, then an end of measurement. An error of the read (Esc) goes to the
    // caller.
    TReadResult EndMeasurement(const TPrintSettings& settings);

    // Records 0..255 with BatchReading set and the progress window shown; SpE_Num shows the
    // number of each. A port that does not open for the first record ends the reading at once.
    // An error (Esc, a failing writer) ends the reading; the progress window closes and
    // BatchReading is cleared however it ends.
    TArchiveReadCount ReadRecords(const TLineSettings& line, const RowWriter& writeRow);

    // At the quick pace, a first record that gets no answer at all (all three sendings) ends
    // the reading too: the meter is off or not on this line, and the other 255 would take a
    // quarter of an hour to fail alike. For a harvest nobody watches; off by default.
    void StopAtSilentStart(bool on) { stopAtSilentStart_ = on; }

private:
    TArchiveReadCount ReadLoop(const TLineSettings& line, const RowWriter& writeRow);
    template <typename Read>
    auto AtPace(Read read);

    IFaceView& view_;
    TMeterActions& actions_;
    TExchange& exchange_;
    FaceState& state_;
    TReadingPace pace_;
    TRecordSource source_;
    bool stopAtSilentStart_ = false;
};

}  // namespace virel
