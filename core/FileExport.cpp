#include "core/FileExport.h"

#include <cstdio>

#include "core/DeviceTexts.h"

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

void TFileExport::SaveToFileExecute(const TPrintSettings& settings) {
    if (state_.ExportRunning) return;
    const DateTime today = FromMilliseconds(clock_.LocalNowMs());
    const auto choice = platform_.ChooseFile(DefaultArchiveFileName(today));
    if (!choice) return;

    const TExportRunning running(state_);

    view_.SetStatusText(texts::kStatusReading);
    TArchiveSheet sheet;
    // The device number for the title; a failed read leaves the one the fields show.
    const TReadResult ended = reading_.EndMeasurement(settings);
    const auto& shown = ended.record ? ended.record : state_.LastRecord;
    sheet.title =
        ArchiveTitle(shown ? std::to_string(shown->deviceNumber) : std::string(), today, formats_);
    // Cancelled or failed: the error leaves here, nothing is written, an existing file stays
    // as it was.
    reading_.ReadRecords(settings.line, [&sheet](int n, const MeasurementRecord& record) {
        sheet.records[static_cast<std::size_t>(n)] = record;
    });
    Save(*choice, sheet);
}

void TFileExport::Save(TArchiveFileChoice choice, const TArchiveSheet& sheet) {
    // The records read stay in memory until a file holds them or the operator gives up.
    for (;;) {
        const auto failure = platform_.Write(choice, sheet);
        if (!failure) {
            view_.SetStatusText(texts::kStatusFileSaved + choice.path);
            return;
        }
        if (!platform_.AskForAnotherName(choice.path, *failure)) break;
        std::string name = choice.path;
        const auto slash = name.find_last_of("\\/");
        if (slash != std::string::npos) name.erase(0, slash + 1);
        const auto dot = name.find_last_of('.');
        if (dot != std::string::npos && dot > 0) name.erase(dot);
        const auto next = platform_.ChooseFile(name);
        if (!next) break;
        choice = *next;
    }
    view_.SetStatusText(texts::kStatusFileNotSaved);
}

}  // namespace virel
