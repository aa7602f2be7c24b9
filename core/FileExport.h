#pragma once
// The archive export into a file: records 0..255 read as for the spreadsheet, at the quick
// reply pace, then written whole as xlsx or CSV to the file the operator chose. Nothing
// needs a spreadsheet program.
#include <optional>
#include <string>

#include "core/ArchiveFile.h"
#include "core/ArchiveReading.h"
#include "core/Exchange.h"
#include "core/FaceView.h"
#include "core/MeterActions.h"
#include "core/Regional.h"

namespace virel {

// The platform's side: the save dialog, the file system and the operator's answers.
class IArchiveFiles {
public:
    virtual ~IArchiveFiles() = default;
    // The standard save dialog, proposing `name` (no ending) in the last folder used; nothing
    // when the operator cancels it.
    virtual std::optional<TArchiveFileChoice> ChooseFile(const std::string& name) = 0;
    // Writes the whole file or nothing: under a temporary name in the same folder, renamed
    // over choice.path when complete. Nothing on success, else the reason (the system's text).
    virtual std::optional<std::string> Write(const TArchiveFileChoice& choice,
                                             const TArchiveSheet& sheet) = 0;
    // Tells the operator that `path` could not be written and why; true when they want to
    // choose another name.
    virtual bool AskForAnotherName(const std::string& path, const std::string& reason) = 0;
};

class TFileExport {
public:
    TFileExport(IFaceView& view, TMeterActions& actions, TExchange& exchange, FaceState& state,
                IClock& clock, const RegionalFormats& formats)
        : view_(view),
          state_(state),
          clock_(clock),
          formats_(formats),
          reading_(view, actions, exchange, state, formats, TReadingPace::Quick) {}

    // Until set, the action does nothing. The object must outlive this one.
    void SetFiles(IArchiveFiles* files) { files_ = files; }

    // The action "Save the archive to a file": the dialog, the reading (progress window, Esc
    // and errors as in the spreadsheet export: they end it with nothing written), the file.
    // A request while an export runs does nothing.
    void SaveToFileExecute();

private:
    void Save(TArchiveFileChoice choice, const TArchiveSheet& sheet);

    IFaceView& view_;
    FaceState& state_;
    IClock& clock_;
    const RegionalFormats& formats_;
    TArchiveReading reading_;
    IArchiveFiles* files_ = nullptr;
};

}  // namespace virel
