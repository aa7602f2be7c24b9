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
    if (!SetUp(*sheet)) {
        view_.SetStatusText(texts::kStatusNoSpreadsheet);
        return;
    }
    reading_.ReadRecords(
        [&](int n, const MeasurementRecord& record) { WriteRow(*sheet, n, record); });
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
        // Ends the running measurement to learn the device number; a failed read leaves the
        // previous number and the export goes on.
        const std::string device = reading_.ReadDeviceNumber();
        const DateTime today = FromMilliseconds(clock_.LocalNowMs());
        sheet.SetCellValue(1, 2, ArchiveTitle(device, today, formats_));
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

void TArchiveExport::WriteRow(ISpreadsheet& sheet, int n, const MeasurementRecord& record) {
    const int row = n + kFirstRecordRow;
    const RecordTexts texts = TextsOf(record, formats_);
    sheet.SetCellValue(row, 1, texts.time);
    sheet.SetCellValue(row, 2, texts.measureNumber);
    sheet.SetCellValue(row, 3, texts.dose);
    // Without it the row would pass for a good record.
    if (const auto error = DeviceErrorCell(record))
        sheet.SetCellValue(row, kDeviceErrorColumn, std::to_string(*error));
}

}  // namespace virel
