#include "core/export/FileExport.h"

#include <cstdio>

#include "core/meter/DeviceTexts.h"

namespace virel {

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        char c = text[text.size() - ending.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ending[i]) return false;
    }
    return true;
}

}  // namespace

TArchiveFileChoice ArchiveFileChoiceFor(const std::string& path, TArchiveFileType chosenType) {
    if (EndsWithNoCase(path, ".xlsx")) return {path, TArchiveFileType::Xlsx};
    if (EndsWithNoCase(path, ".csv")) return {path, TArchiveFileType::Csv};
    const char* ending = chosenType == TArchiveFileType::Csv ? ".csv" : ".xlsx";
    return {path + ending, chosenType};
}

std::string DefaultArchiveFileName(const DateTime& today) {
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%04d", today.day % 100, today.month % 100,
                  today.year % 10000);
    return texts::kArchiveFileName + std::string(date);
}

namespace {

// The other meter actions wait while the file export reads.
class TMeterActionsLocked {
public:
    explicit TMeterActionsLocked(IFaceView& view) : view_(view) {
        view_.SetMeterActionsEnabled(false);
    }
    ~TMeterActionsLocked() { view_.SetMeterActionsEnabled(true); }
    TMeterActionsLocked(const TMeterActionsLocked&) = delete;
    TMeterActionsLocked& operator=(const TMeterActionsLocked&) = delete;

private:
    IFaceView& view_;
};

std::string MixedMetersText(int first, int second) {
    std::string text = texts::kErrorMixedMeters;
    text.replace(text.find("%1"), 2, std::to_string(first));
    text.replace(text.find("%2"), 2, std::to_string(second));
    return text;
}

}  // namespace

void TFileExport::SaveToFileExecute(const TPrintSettings& settings) {
    if (state_.ExportRunning) return;
    const DateTime today = FromMilliseconds(clock_.LocalNowMs());
    const auto choice = platform_.ChooseFile(DefaultArchiveFileName(today));
    if (!choice) return;

    const TExportRunning running(state_);
    TArchiveSheet sheet;
    int missing = 0;
    try {
        const TMeterActionsLocked locked(view_);
        if (!Read(settings, sheet, missing)) return;
    } catch (...) {
        // Cancelled or failed: nothing is written, an existing file stays as it was, and the
        // status says so before the box tells why.
        view_.SetStatusText(texts::kStatusFileNotSaved);
        throw;
    }
    // The title names the meter whose archive this is, not the one the window showed last.
    std::string device;
    for (const auto& record : sheet.records) {
        if (record) {
            device = std::to_string(record->deviceNumber);
            break;
        }
    }
    sheet.title = ArchiveTitle(device, today, formats_);
    Save(*choice, sheet, missing);
}

bool TFileExport::Read(const TPrintSettings& settings, TArchiveSheet& sheet, int& missing) {
    view_.SetStatusText(texts::kStatusReading);
    // Ends the running measurement first, as the spreadsheet export does.
    if (reading_.EndMeasurement(settings).fault == TReadFault::PortUnavailable) {
        view_.SetStatusText(texts::kStatusFileNoPort + settings.line.port.Text());
        return false;
    }
    std::optional<int> meter;
    std::optional<int> otherMeter;
    const TArchiveReadCount count =
        reading_.ReadRecords(settings.line, [&](int n, const MeasurementRecord& record) {
            sheet.records[static_cast<std::size_t>(n)] = record;
            if (!meter) meter = record.deviceNumber;
            if (record.deviceNumber != *meter && !otherMeter) otherMeter = record.deviceNumber;
        });
    if (otherMeter) {
        view_.SetStatusText(texts::kStatusFileNotSaved);
        view_.ReportError(MixedMetersText(*meter, *otherMeter));
        return false;
    }
    if (count.read == 0) {
        view_.SetStatusText(texts::kStatusFileNothingRead);
        return false;
    }
    missing = count.failed;
    return true;
}

std::optional<std::string> WriteSheetAskingAgain(IFileExportPlatform& platform,
                                                 TArchiveFileChoice choice,
                                                 const TArchiveSheet& sheet) {
    // The records stay in memory until a file holds them or the operator gives up.
    for (;;) {
        const auto failure = platform.Write(choice, sheet);
        if (!failure) return choice.path;
        if (!platform.AskForAnotherName(choice.path, *failure)) return std::nullopt;
        std::string name = choice.path;
        const auto slash = name.find_last_of("\\/");
        if (slash != std::string::npos) name.erase(0, slash + 1);
        const auto dot = name.find_last_of('.');
        if (dot != std::string::npos && dot > 0) name.erase(dot);
        const auto next = platform.ChooseFile(name);
        if (!next) return std::nullopt;
        choice = *next;
    }
}

void TFileExport::Save(TArchiveFileChoice choice, const TArchiveSheet& sheet, int missing) {
    const auto written = WriteSheetAskingAgain(platform_, std::move(choice), sheet);
    if (!written) {
        view_.SetStatusText(texts::kStatusFileNotSaved);
        return;
    }
    std::string status = texts::kStatusFileSaved + *written;
    if (missing > 0) {
        status += texts::kStatusFileRecordsMissing + std::to_string(missing) +
                  texts::kStatusFileRecordsOf + std::to_string(kArchiveRecords);
    }
    view_.SetStatusText(status);
}

}  // namespace virel
