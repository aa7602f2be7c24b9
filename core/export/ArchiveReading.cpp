#include "core/export/ArchiveReading.h"

#include "core/meter/DeviceTexts.h"

namespace virel {

namespace {

// The quick pace for the exchanges inside its lifetime.
class QuickReplies {
public:
    QuickReplies(TExchange& exchange, bool on) : exchange_(exchange), on_(on) {
        if (on_) exchange_.SetQuickReplySize(static_cast<std::uint32_t>(kRecordSize));
    }
    ~QuickReplies() {
        if (on_) exchange_.SetQuickReplySize(0);
    }
    QuickReplies(const QuickReplies&) = delete;
    QuickReplies& operator=(const QuickReplies&) = delete;

private:
    TExchange& exchange_;
    bool on_;
};

}  // namespace

template <typename Read>
auto TArchiveReading::AtPace(Read read) {
    QuickReplies quick(exchange_, pace_ == TReadingPace::Quick);
    return read();
}

TReadResult TArchiveReading::EndMeasurement(const TPrintSettings& settings) {
    view_.SetArchiveNumberText("0");
    return AtPace([&] { return actions_.PrintExecute(settings); });
}

TArchiveReadCount TArchiveReading::ReadRecords(const TLineSettings& line,
                                               const RowWriter& writeRow) {
    state_.BatchReading = true;
    TArchiveReadCount count;
    try {
        view_.GaugeSetProgress(0);
        view_.GaugeSetMaxValue(kArchiveRecords - 1);
        view_.ShowProgress();
        count = ReadLoop(line, writeRow);
    } catch (...) {
        view_.CloseProgress();
        state_.BatchReading = false;
        throw;
    }
    view_.CloseProgress();
    state_.BatchReading = false;
    return count;
}

TArchiveReadCount TArchiveReading::ReadLoop(const TLineSettings& line, const RowWriter& writeRow) {
    TArchiveReadCount count;
    for (int n = 0; n < kArchiveRecords; ++n) {
        const std::string number = std::to_string(n);
        view_.SetArchiveNumberText(number);
        view_.ProcessMessages();
        // The operator may have typed into the record number field during the message pass:
        // the field shows the record read, and row n receives record n.
        if (view_.ArchiveNumberText() != number) view_.SetArchiveNumberText(number);
        const TReadResult result = AtPace([&] { return actions_.ReadArchiveRecord(line, n, source_); });
        if (result.record) {
            writeRow(n, *result.record);
            ++count.read;
        } else if (result.fault == TReadFault::PortUnavailable && count.read == 0 &&
                   pace_ == TReadingPace::Quick) {
            // The quick exports stop at once on a port that does not open; the spreadsheet
            // export keeps its own record-by-record account of each failure.
            count.portUnavailable = true;
            view_.GaugeSetProgress(n);
            return count;
        } else if (result.fault == TReadFault::NoReply && n == 0 && stopAtSilentStart_ &&
                   pace_ == TReadingPace::Quick) {
            count.silentStart = true;
            ++count.failed;
            view_.GaugeSetProgress(n);
            return count;
        } else {
            view_.SetStatusText(texts::kStatusRecordFailed + number);
            ++count.failed;
        }
        view_.GaugeSetProgress(n);
    }
    return count;
}

}  // namespace virel
