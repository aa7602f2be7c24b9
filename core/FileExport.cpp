#include "core/FileExport.h"

#include "core/DateTimeFormat.h"
#include "core/DeviceTexts.h"

namespace virel {

namespace {

// The export's own exchanges take each record as soon as it is in; whatever runs in the
// message pass between two records (the operator's buttons) keeps the usual pace.
class QuickReplies {
public:
    explicit QuickReplies(TExchange& exchange) : exchange_(exchange) {
        exchange_.SetQuickReplySize(static_cast<std::uint32_t>(kRecordSize));
    }
    ~QuickReplies() { exchange_.SetQuickReplySize(0); }
    QuickReplies(const QuickReplies&) = delete;
    QuickReplies& operator=(const QuickReplies&) = delete;

private:
    TExchange& exchange_;
};

}  // namespace

void TFileExport::SaveToFileExecute() {
    if (!files_ || state_.ExportRunning) return;
    const DateTime today = FromMilliseconds(clock_.LocalNowMs());
    const auto choice = files_->ChooseFile(DefaultArchiveFileName(today));
    if (!choice) return;

    state_.ExportRunning = true;
    struct ClearRunning {
        FaceState& state;
        ~ClearRunning() { state.ExportRunning = false; }
    } clearRunning{state_};

    view_.SetStatusText(texts::kStatusReading);
    view_.SetArchiveNumberText("0");
    {
        // The device number for the title; a failed read leaves the previous one.
        QuickReplies quick(exchange_);
        actions_.PrintExecute();
    }
    TArchiveSheet sheet;
    sheet.title = texts::kArchiveTitle + view_.FieldText(Field::DevNumber) +
                  texts::kArchiveTitleOn + DateToText(today, formats_);

    state_.BatchReading = true;
    try {
        view_.GaugeSetProgress(0);
        view_.GaugeSetMaxValue(kArchiveRecords - 1);
        view_.ShowProgress();
        ReadRecords(sheet);
    } catch (...) {
        // Cancelled or failed: nothing is written, an existing file stays as it was.
        view_.CloseProgress();
        state_.BatchReading = false;
        throw;
    }
    view_.CloseProgress();
    state_.BatchReading = false;
    Save(*choice, sheet);
}

void TFileExport::ReadRecords(TArchiveSheet& sheet) {
    for (int n = 0; n < kArchiveRecords; ++n) {
        const std::string number = std::to_string(n);
        view_.SetArchiveNumberText(number);
        view_.ProcessMessages();
        // The operator may have typed into the record number field during the message pass.
        if (view_.ArchiveNumberText() != number) view_.SetArchiveNumberText(number);
        state_.LastReadOk = false;
        {
            QuickReplies quick(exchange_);
            actions_.ReadArcNExecute();
        }
        if (state_.LastReadOk && state_.LastRecord) {
            sheet.records[static_cast<std::size_t>(n)] = state_.LastRecord;
        } else {
            view_.SetStatusText(texts::kStatusRecordFailed + number);
        }
        view_.GaugeSetProgress(n);
    }
}

void TFileExport::Save(TArchiveFileChoice choice, const TArchiveSheet& sheet) {
    // The records read stay in memory until a file holds them or the operator gives up.
    for (;;) {
        const auto failure = files_->Write(choice, sheet);
        if (!failure) {
            view_.SetStatusText(texts::kStatusFileSaved + choice.path);
            return;
        }
        if (!files_->AskForAnotherName(choice.path, *failure)) break;
        std::string name = choice.path;
        const auto slash = name.find_last_of("\\/");
        if (slash != std::string::npos) name.erase(0, slash + 1);
        const auto dot = name.find_last_of('.');
        if (dot != std::string::npos && dot > 0) name.erase(dot);
        const auto next = files_->ChooseFile(name);
        if (!next) break;
        choice = *next;
    }
    view_.SetStatusText(texts::kStatusFileNotSaved);
}

}  // namespace virel
