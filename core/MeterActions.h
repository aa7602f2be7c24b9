#pragma once
// The main window's three single device actions: end of measurement (actPrintExecute), reset
// (actClearExecute) and reading one archive record (actReadArcNExecute), and the process-wide
// flags they share with the periodic print and the archive export.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/Exchange.h"
#include "core/FaceView.h"
#include "core/MeasurementRecord.h"
#include "core/Regional.h"

namespace virel {

// The meter's archive: records 0..255.
inline constexpr int kArchiveRecords = 256;

// The main window unit's module-level variables (one instance for the life of the process).
struct FaceState {
    std::int32_t TimerTicks = 1;  // counts the one-second timer's ticks
    bool BatchReading = false;    // an archive export is reading records
    bool LastReadOk = false;      // the last FPR/RPR/RD action accepted a record (its result)
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

class TMeterActions {
public:
    TMeterActions(IFaceView& view, TExchange& exchange, const RegionalFormats& formats,
                  FaceState& state)
        : view_(view), exchange_(exchange), formats_(formats), state_(state) {}

    // While an archive export reads its records (BatchReading), the gauge and the progress
    // window belong to it: an action run between two records leaves them alone. The reading
    // actions hand back the record they accepted and showed (nothing when they accepted none).
    std::optional<MeasurementRecord> PrintExecute();     // FPR, or RPR when "print on the device"
                                                         // is ticked
    void ClearExecute();                                 // RES
    std::optional<MeasurementRecord> ReadArcNExecute();  // RD with the number typed in SpE_Num
    // RD for the record the archive export asks for, as ReadArcNExecute with that number in
    // SpE_Num (0..255).
    std::optional<MeasurementRecord> ReadArchiveRecord(int number);

private:
    // Open, exchange, close; the port is closed also when the exchange is cancelled.
    std::string Transact(const std::string& command);
    // Shows a 15-byte reply with a matching checksum, sets LastReadOk and hands the record
    // back; the failure text for any other length.
    std::optional<MeasurementRecord> AcceptRecord(const std::string& reply, bool setGauge);
    // RD with the number `number` gives, asked for after the status text and the gauge reset.
    std::optional<MeasurementRecord> ReadArchive(const std::function<std::int32_t()>& number);
    void ResetGauge();

    IFaceView& view_;
    TExchange& exchange_;
    const RegionalFormats& formats_;
    FaceState& state_;
};

}  // namespace virel
