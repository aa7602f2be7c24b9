#include "core/ArchiveExport.h"

#include <string>

#include "core/ArchiveFile.h"
#include "core/DateTimeFormat.h"
#include "core/DeviceTexts.h"

namespace virel {

namespace {

// Automation references go when the export returns, whichever way it returns.
class ReleaseOnExit {
public:
    explicit ReleaseOnExit(ISpreadsheet& sheet) : sheet_(sheet) {}
    ReleaseOnExit(const ReleaseOnExit&) = delete;
    ReleaseOnExit& operator=(const ReleaseOnExit&) = delete;
    ~ReleaseOnExit() {
        try {
            sheet_.Release();
        } catch (...) {
            // Releasing a reference to a server that has gone away is not the operator's concern.
        }
    }

private:
    ISpreadsheet& sheet_;
};

}  // namespace

void TArchiveExport::ReadToExcelExecute() {
    // Reached again through the message pass between records: the running export owns the
    // port, the gauge and the progress window, so a second one would only disturb it.
    if (state_.ExportRunning) return;
    state_.ExportRunning = true;
    struct ClearRunning {
        FaceState& state;
        ~ClearRunning() { state.ExportRunning = false; }
    } clearRunning{state_};

    view_.SetStatusText(texts::kStatusReading);
    std::unique_ptr<ISpreadsheet> sheet;
    try {
        if (factory_) sheet = factory_();
    } catch (...) {
        sheet.reset();
    }
    if (!sheet) {
        view_.SetStatusText(texts::kStatusNoSpreadsheet);
        return;
    }
    ReleaseOnExit release(*sheet);
    if (!SetUp(*sheet)) {
        view_.SetStatusText(texts::kStatusNoSpreadsheet);
        return;
    }
    state_.BatchReading = true;
    try {
        view_.GaugeSetProgress(0);
        view_.GaugeSetMaxValue(kArchiveRecords - 1);
        view_.ShowProgress();
        ReadRecords(*sheet);
    } catch (...) {
        view_.CloseProgress();
        state_.BatchReading = false;
        throw;
    }
    view_.CloseProgress();
    state_.BatchReading = false;
}

bool TArchiveExport::SetUp(ISpreadsheet& sheet) {
    bool attached = false;
    try {
        attached = sheet.AttachRunning();
    } catch (...) {
        attached = false;  // no running instance usable: start a new one, no message
    }
    try {
        if (!attached) sheet.CreateNew();
        sheet.AddWorkbook();
        view_.BringToForeground();
        view_.SetArchiveNumberText("0");
        // Ends the running measurement to learn the device number; a failed read leaves the
        // previous number in the field and the export goes on.
        actions_.PrintExecute();
        const DateTime today = FromMilliseconds(clock_.LocalNowMs());
        const std::string title = texts::kArchiveTitle + view_.FieldText(Field::DevNumber) +
                                  texts::kArchiveTitleOn + DateToText(today, formats_);
        sheet.SetCellValue(1, 2, title);
        sheet.SetCellFontSize(1, 2, kTitleFontSize);
        const auto& headers = ArchiveHeaders();
        for (int column = 1; column <= kArchiveColumns; ++column) {
            sheet.SetCellValue(2, column, headers[static_cast<std::size_t>(column - 1)]);
        }
        return true;
    } catch (...) {
        // Esc during the end of measurement lands here too: nothing has been read yet.
        return false;
    }
}

void TArchiveExport::ReadRecords(ISpreadsheet& sheet) {
    for (int n = 0; n < kArchiveRecords; ++n) {
        const std::string number = std::to_string(n);
        view_.SetArchiveNumberText(number);
        view_.ProcessMessages();
        // The operator may have typed into the record number field during the message pass;
        // row n must receive record n.
        if (view_.ArchiveNumberText() != number) view_.SetArchiveNumberText(number);
        state_.LastReadOk = false;
        actions_.ReadArcNExecute();
        if (state_.LastReadOk) {
            const int row = n + kFirstRecordRow;
            sheet.SetCellValue(row, 1, view_.FieldText(Field::Time));
            sheet.SetCellValue(row, 2, view_.FieldText(Field::MeasureNumber));
            sheet.SetCellValue(row, 3, view_.FieldText(Field::Dose));
            // Without it the row would pass for a good record.
            const auto error =
                state_.LastRecord ? DeviceErrorCell(*state_.LastRecord) : std::nullopt;
            if (error) sheet.SetCellValue(row, kDeviceErrorColumn, std::to_string(*error));
        } else {
            view_.SetStatusText(texts::kStatusRecordFailed + number);
        }
        view_.GaugeSetProgress(n);
    }
}

}  // namespace virel
