#include "core/ArchiveReading.h"

#include "core/DeviceTexts.h"

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

std::string ArchiveTitle(const std::string& deviceNumber, const DateTime& today,
                         const RegionalFormats& formats) {
    return texts::kArchiveTitle + deviceNumber + texts::kArchiveTitleOn +
           DateToText(today, formats);
}

std::string TArchiveReading::ReadDeviceNumber() {
    view_.SetArchiveNumberText("0");
    AtPace([this] { return actions_.PrintExecute(); });
    return state_.LastRecord ? TextsOf(*state_.LastRecord, formats_).devNumber : std::string();
}

void TArchiveReading::ReadRecords(const RowWriter& writeRow) {
    state_.BatchReading = true;
    try {
        view_.GaugeSetProgress(0);
        view_.GaugeSetMaxValue(kArchiveRecords - 1);
        view_.ShowProgress();
        ReadLoop(writeRow);
    } catch (...) {
        view_.CloseProgress();
        state_.BatchReading = false;
        throw;
    }
    view_.CloseProgress();
    state_.BatchReading = false;
}

void TArchiveReading::ReadLoop(const RowWriter& writeRow) {
    for (int n = 0; n < kArchiveRecords; ++n) {
        const std::string number = std::to_string(n);
        view_.SetArchiveNumberText(number);
        view_.ProcessMessages();
        // The operator may have typed into the record number field during the message pass:
        // the field shows the record read, and row n receives record n.
        if (view_.ArchiveNumberText() != number) view_.SetArchiveNumberText(number);
        const auto record = AtPace([&] { return actions_.ReadArchiveRecord(n); });
        if (record) {
            writeRow(n, *record);
        } else {
            view_.SetStatusText(texts::kStatusRecordFailed + number);
        }
        view_.GaugeSetProgress(n);
    }
}

}  // namespace virel
