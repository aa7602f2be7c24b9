#pragma once
// The main window's three single device actions: end of measurement (actPrintExecute), reset
// (actClearExecute) and reading one archive record (actReadArcNExecute), and the process-wide
// flags they share with the periodic print and the archive export.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/meter/Exchange.h"
#include "core/meter/FaceView.h"
#include "core/meter/MeasurementRecord.h"
#include "core/meter/PortChoice.h"
#include "core/meter/RecordJournal.h"
#include "core/Regional.h"

namespace virel {

// The main window unit's module-level variables (one instance for the life of the process).
struct FaceState {
    std::int32_t TimerTicks = 1;  // counts the one-second timer's ticks
    bool BatchReading = false;    // an archive export is reading records
    bool LastReadOk = false;      // the last FPR/RPR/RD action accepted a record
    bool ExportRunning = false;   // an archive export runs (set-up included): no nested export,
                                  // no periodic print in its message passes
    // The last record accepted, as decoded: the one the four fields show.
    std::optional<MeasurementRecord> LastRecord;
};

// Integer text as the record number field is read: leading spaces, an optional sign, then
// decimal digits, or hexadecimal digits after "$", "0x" or "0X"; nothing may follow, not even
// spaces. Decimal must fit a signed 32-bit integer; hexadecimal may use all 32 bits (so
// "$FFFFFFFF" is -1). Nothing for any other text.
std::optional<std::int32_t> TryStrToInt(const std::string& text);
// The same, throwing virel::Exception "'<text>' is not a valid integer value".
std::int32_t StrToInt(const std::string& text);

// What a reading action ended with: the record it accepted and showed, or why there is none.
enum class TReadFault {
    None,
    PortUnavailable,  // the port could not be opened: nothing went out
    NoReply,          // the meter did not answer
    WrongSize,        // the answer was not a record
    BadChecksum,      // a record whose sum does not match, ignored
};
struct TReadResult {
    std::optional<MeasurementRecord> record;
    TReadFault fault = TReadFault::None;
    explicit operator bool() const { return record.has_value(); }
};

// An end of measurement as the window asks for it: the line, and whether the meter prints too
// (CB_PrintOnDevice).
struct TPrintSettings {
    TLineSettings line;
    bool printOnDevice = false;
};

class TMeterActions {
public:
    // Every record accepted is kept in `journal` in the step that shows it.
    TMeterActions(IFaceView& view, TExchange& exchange, const RegionalFormats& formats,
                  FaceState& state, IRecordJournal& journal)
        : view_(view), exchange_(exchange), formats_(formats), state_(state), journal_(journal) {}

    // Each action talks on `line`, given when it starts. While an archive export reads its
    // records (BatchReading), the gauge and the progress window belong to it: an action run
    // between two records leaves them alone. Esc ends an action with the cancellation text and
    // EProtocolCancel, the port closed.
    TReadResult PrintExecute(const TPrintSettings& settings);  // FPR, or RPR
    bool ClearExecute(const TLineSettings& line);  // RES; true when the meter confirmed
    // RD with the number typed in SpE_Num: a text that is no number, or a number outside the
    // archive, throws virel::Exception before anything goes on the line.
    TReadResult ReadArcNExecute(const TLineSettings& line, const std::string& numberText);
    // RD for the record an archive export or the harvest asks for (0..255), kept as `source`.
    TReadResult ReadArchiveRecord(const TLineSettings& line, int number, TRecordSource source);

private:
    struct TReply {
        bool opened = false;
        std::string bytes;
    };
    // Open, exchange, close; the port is closed also when the exchange is cancelled.
    TReply Transact(const TLineSettings& line, const std::string& command);
    // Shows a record with a matching checksum, sets LastReadOk and hands the record back; the
    // failure text for anything else.
    TReadResult AcceptRecord(const TReply& reply, bool setGauge, TRecordSource source);
    // RD with the number `number` gives, asked for after the status text and the gauge reset.
    TReadResult ReadArchive(const TLineSettings& line, const std::function<std::int32_t()>& number,
                            TRecordSource source);
    void ResetGauge();

    IFaceView& view_;
    TExchange& exchange_;
    const RegionalFormats& formats_;
    FaceState& state_;
    IRecordJournal& journal_;
};

}  // namespace virel
