#include "core/FileExport.h"

#include "core/DateTimeFormat.h"
#include "core/DeviceTexts.h"

namespace virel {

void TFileExport::SaveToFileExecute() {
    if (!files_ || state_.ExportRunning) return;
    const DateTime today = FromMilliseconds(clock_.LocalNowMs());
    const auto choice = files_->ChooseFile(DefaultArchiveFileName(today));
    if (!choice) return;

    const TExportRunning running(state_);

    view_.SetStatusText(texts::kStatusReading);
    TArchiveSheet sheet;
    // The device number for the title; a failed read leaves the previous one.
    sheet.title = ArchiveTitle(reading_.ReadDeviceNumber(), today, formats_);
    // Cancelled or failed: the error leaves here, nothing is written, an existing file stays
    // as it was.
    reading_.ReadRecords([&sheet](int n, const MeasurementRecord& record) {
        sheet.records[static_cast<std::size_t>(n)] = record;
    });
    Save(*choice, sheet);
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
