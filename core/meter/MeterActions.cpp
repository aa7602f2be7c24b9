#include "core/meter/MeterActions.h"

#include "core/meter/DeviceTexts.h"
#include "core/Errors.h"
#include "core/NumberText.h"

namespace virel {

namespace {

constexpr std::size_t kClearReplySize = 3;

// Runs body and closes the progress window afterwards when asked to, also when body throws.
template <typename Body>
void ClosingProgress(IFaceView& view, bool close, Body body) {
    try {
        body();
    } catch (...) {
        if (close) view.CloseProgress();
        throw;
    }
    if (close) view.CloseProgress();
}

}  // namespace

std::optional<std::int32_t> TryStrToInt(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == n) return std::nullopt;  // no digits at all
    std::uint64_t value = 0;
    const unsigned base = hex ? 16 : 10;
    // Hexadecimal may fill all 32 bits; decimal must fit the signed range (magnitude 2^31
    // allowed for the negative end).
    const std::uint64_t limit = hex ? 0xFFFF'FFFFull : (negative ? 0x8000'0000ull : 0x7FFF'FFFFull);
    for (; i < n; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
        value = value * base + static_cast<unsigned>(digit);
        if (value > limit) return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::int32_t StrToInt(const std::string& text) {
    const auto value = TryStrToInt(text);
    if (value) return *value;
    const std::string pattern = texts::kErrorNotInteger;
    const std::size_t at = pattern.find("%s");
    throw Exception(pattern.substr(0, at) + text + pattern.substr(at + 2));
}

void TMeterActions::ResetGauge() {
    view_.GaugeSetProgress(0);
    view_.GaugeSetMaxValue(1);
}

TMeterActions::TReply TMeterActions::Transact(const TLineSettings& line,
                                              const std::string& command) {
    TReply reply;
    try {
        reply.opened = exchange_.OpenComPort(line);
    } catch (const EProtocolCancel&) {
        // Esc while waiting for a port another program held: nothing was opened.
        view_.SetStatusText(texts::kStatusCancelled);
        throw;
    }
    // At the quick pace nobody waits for a port that is not there: the export stops at once.
    if (!reply.opened && exchange_.QuickReplySize() != 0) {
        exchange_.CloseComPort();
        return reply;
    }
    try {
        reply.bytes = exchange_.SendCommand(command);
    } catch (const EProtocolCancel&) {
        // A port left open after Esc would have its polling swallow the meter's bytes until
        // the next action; close it before the cancellation goes on.
        exchange_.CloseComPort();
        view_.SetStatusText(texts::kStatusCancelled);
        throw;
    } catch (...) {
        exchange_.CloseComPort();
        throw;
    }
    exchange_.CloseComPort();
    return reply;
}

namespace {

TReadFault FaultOf(TReplyFault fault, bool opened) {
    switch (fault) {
        case TReplyFault::None:
            return TReadFault::None;
        case TReplyFault::NoReply:
            return opened ? TReadFault::NoReply : TReadFault::PortUnavailable;
        case TReplyFault::WrongSize:
            return TReadFault::WrongSize;
        case TReplyFault::BadChecksum:
            return TReadFault::BadChecksum;
    }
    return TReadFault::NoReply;
}

}  // namespace

TReadResult TMeterActions::AcceptRecord(const TReply& reply, bool setGauge,
                                        TRecordSource source) {
    TDecodedReply decoded = DecodeReply(reply.bytes);
    if (!decoded.record) {
        // A record with a wrong checksum is no success: the fields keep the record they show.
        view_.SetStatusText(decoded.fault == TReplyFault::BadChecksum ? texts::kStatusBadChecksum
                                                                      : texts::kStatusReadFailed);
        return {std::nullopt, FaultOf(decoded.fault, reply.opened)};
    }
    const MeasurementRecord& record = *decoded.record;
    view_.ShowRecord(TextsOf(record, formats_));
    journal_.Keep(record, source);
    if (setGauge) view_.GaugeSetProgress(1);
    state_.LastRecord = record;
    state_.LastReadOk = true;
    // The meter's own error and an invalid time stamp stay visible instead of the success text.
    const std::string remark = RecordRemark(record);
    view_.SetStatusText(remark.empty() ? texts::kStatusReadOk : remark);
    return {std::move(decoded.record), TReadFault::None};
}

TReadResult TMeterActions::PrintExecute(const TPrintSettings& settings) {
    state_.LastReadOk = false;
    view_.SetStatusText(texts::kStatusRequest);
    const bool ownProgress = !state_.BatchReading;
    if (ownProgress) ResetGauge();
    TReadResult result;
    ClosingProgress(view_, ownProgress, [&] {
        const std::string& command = settings.printOnDevice ? commands::kRpr : commands::kFpr;
        result = AcceptRecord(Transact(settings.line, command), ownProgress, TRecordSource::Print);
    });
    if (result.record) journal_.NoteClock(*result.record);
    return result;
}

bool TMeterActions::ClearExecute(const TLineSettings& line) {
    view_.SetStatusText(texts::kStatusClearing);
    const bool ownProgress = !state_.BatchReading;
    if (ownProgress) ResetGauge();
    bool cleared = false;
    ClosingProgress(view_, ownProgress, [&] {
        const TReply reply = Transact(line, commands::kRes);
        if (reply.bytes.size() != kClearReplySize) {
            view_.SetStatusText(texts::kStatusClearFailed);
            return;
        }
        if (ownProgress) view_.GaugeSetProgress(1);
        view_.SetStatusText(texts::kStatusClearOk);
        cleared = true;
    });
    return cleared;
}

TReadResult TMeterActions::ReadArcNExecute(const TLineSettings& line,
                                           const std::string& numberText) {
    return ReadArchive(line, [&numberText] { return StrToInt(numberText); }, TRecordSource::Record);
}

TReadResult TMeterActions::ReadArchiveRecord(const TLineSettings& line, int number,
                                             TRecordSource source) {
    return ReadArchive(line, [number] { return static_cast<std::int32_t>(number); }, source);
}

TReadResult TMeterActions::ReadArchive(const TLineSettings& line,
                                       const std::function<std::int32_t()>& number,
                                       TRecordSource source) {
    state_.LastReadOk = false;
    // Names the measurement the fields show.
    const std::string shown =
        state_.LastRecord ? TextsOf(*state_.LastRecord, formats_).measureNumber : std::string();
    view_.SetStatusText(texts::kStatusRequestRecord + shown);
    // During an archive export the gauge and the progress window belong to the export.
    const bool ownProgress = !state_.BatchReading;
    if (ownProgress) ResetGauge();
    TReadResult result;
    ClosingProgress(view_, ownProgress, [&] {
        // Checked before the port is opened: a bad number never reaches the line, and one
        // outside the archive would otherwise wrap round to another record.
        const std::int32_t n = number();
        if (n < 0 || n >= kArchiveRecords) throw Exception(texts::kErrorRecordNumberRange);
        const auto command = commands::Rd(static_cast<std::uint8_t>(n & 0xFF));
        result = AcceptRecord(Transact(line, command), ownProgress, source);
    });
    return result;
}

}  // namespace virel
