#pragma once
// The file export ("Сохранить архив в файл..."): records 0..255 read as for the spreadsheet, at
// the quick reply pace, then written whole as xlsx or CSV to the file the operator chose.
// Nothing needs a spreadsheet program.
#include <optional>
#include <string>

#include "core/export/ArchiveReading.h"
#include "core/export/ArchiveSheet.h"
#include "core/DateTimeFormat.h"
#include "core/meter/DeviceSeams.h"
#include "core/meter/FaceView.h"
#include "core/meter/MeterActions.h"
#include "core/Regional.h"

namespace virel {

enum class TArchiveFileType { Xlsx, Csv };

// The file the operator chose. The path is UTF-8.
struct TArchiveFileChoice {
    std::string path;
    TArchiveFileType type = TArchiveFileType::Xlsx;
};

// The type a chosen name gets: an ".xlsx" or ".csv" ending (any case) decides; otherwise the
// type chosen in the dialog, whose ending is appended.
TArchiveFileChoice ArchiveFileChoiceFor(const std::string& path, TArchiveFileType chosenType);

// "Архив ВИРЕЛ1 dd.MM.yyyy" (no ending): the name the save dialog proposes.
std::string DefaultArchiveFileName(const DateTime& today);

// The file export's platform side: the dialog that picks the file, the file system and the
// operator's answers.
class IFileExportPlatform {
public:
    virtual ~IFileExportPlatform() = default;
    // The standard save dialog, proposing `name` (no ending) in the last folder used; nothing
    // when the operator cancels it.
    [[nodiscard]] virtual std::optional<TArchiveFileChoice> ChooseFile(const std::string& name) = 0;
    // Writes the whole file or nothing: under a temporary name in the same folder, renamed
    // over choice.path when complete. Nothing on success, else the reason (the system's text).
    [[nodiscard]] virtual std::optional<std::string> Write(const TArchiveFileChoice& choice,
                                             const TArchiveSheet& sheet) = 0;
    // Tells the operator that `path` could not be written and why; true when they want to
    // choose another name.
    [[nodiscard]] virtual bool AskForAnotherName(const std::string& path, const std::string& reason) = 0;
};

// Writes `sheet` to the chosen file; when it cannot be written, asks the operator for another
// name, again until a file takes it or they give up. The path written; nothing when none was.
// The file export and the dose journal's export share it.
[[nodiscard]] std::optional<std::string> WriteSheetAskingAgain(IFileExportPlatform& platform,
                                                               TArchiveFileChoice choice,
                                                               const TArchiveSheet& sheet);

class TFileExport {
public:
    TFileExport(IFaceView& view, TMeterActions& actions, TExchange& exchange, FaceState& state,
                IClock& clock, const RegionalFormats& formats, IFileExportPlatform& platform)
        : view_(view),
          state_(state),
          clock_(clock),
          formats_(formats),
          platform_(platform),
          reading_(view, actions, exchange, state, TReadingPace::Quick) {}

    // The action "Save the archive to a file": the dialog, the reading (progress window, Esc
    // and errors as in the spreadsheet export: they end it with nothing written), the file.
    // While it reads, the other meter actions do nothing. The title names the meter whose
    // records were read; a port that does not open, no record read, or records of two meters
    // leave the file unwritten, and records not read are counted in the status. A request while
    // an export runs does nothing.
    void SaveToFileExecute(const TPrintSettings& settings);

private:
    // The records read into `sheet`; false when the export stopped (its status or box given).
    bool Read(const TPrintSettings& settings, TArchiveSheet& sheet, int& missing);
    void Save(TArchiveFileChoice choice, const TArchiveSheet& sheet, int missing);

    IFaceView& view_;
    FaceState& state_;
    IClock& clock_;
    const RegionalFormats& formats_;
    IFileExportPlatform& platform_;
    TArchiveReading reading_;
};

}  // namespace virel
