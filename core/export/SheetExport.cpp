#include "core/export/SheetExport.h"

#include <string>

#include "core/export/ArchiveSheet.h"
#include "core/DateTimeFormat.h"
#include "core/meter/DeviceTexts.h"

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

void TSheetExport::ReadToExcelExecute(const TPrintSettings& settings) {
    // Reached again through the message pass between records: the running export owns the
    // port, the gauge and the progress window, so a second one would only disturb it.
    if (state_.ExportRunning) return;
    const TExportRunning running(state_);

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
    if (!SetUp(*sheet, settings)) {
        view_.SetStatusText(texts::kStatusNoSpreadsheet);
        return;
    }
    reading_.ReadRecords(settings.line, [&](int n, const MeasurementRecord& record) {
        WriteRow(*sheet, n, record);
    });
}

bool TSheetExport::SetUp(ISpreadsheet& sheet, const TPrintSettings& settings) {
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
        // Ends the running measurement to learn the device number; after a failed read the
        // title names the meter whose record the fields still show, and the export goes on.
        const TReadResult ended = reading_.EndMeasurement(settings);
        const auto& shown = ended.record ? ended.record : state_.LastRecord;
        const std::string device = shown ? std::to_string(shown->deviceNumber) : std::string();
        const DateTime today = FromMilliseconds(clock_.LocalNowMs());
        sheet.SetCellValue(kTitleRow, kTitleColumn, ArchiveTitle(device, today, formats_));
        sheet.SetCellFontSize(kTitleRow, kTitleColumn, kTitleFontSize);
        const auto& headers = ArchiveHeaders();
        for (int column = 1; column <= kArchiveColumns; ++column) {
            sheet.SetCellValue(kHeaderRow, column, headers[static_cast<std::size_t>(column - 1)]);
        }
        return true;
    } catch (...) {
        // Esc during the end of measurement lands here too: nothing has been read yet.
        return false;
    }
}

void TSheetExport::WriteRow(ISpreadsheet& sheet, int n, const MeasurementRecord& record) {
    const int row = n + kFirstRecordRow;
    const TArchiveRow texts = ArchiveRowTexts(record, formats_);
    // Column D only where the meter reported an error: the others leave it as it was.
    for (int column = 1; column <= kArchiveColumns; ++column) {
        const std::string& text = texts[static_cast<std::size_t>(column - 1)];
        if (column == kDeviceErrorColumn && text.empty()) continue;
        sheet.SetCellValue(row, column, text);
    }
}

}  // namespace virel
