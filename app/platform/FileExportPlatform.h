#pragma once
// The file export's Windows side: the standard save dialog (the last folder used is kept with
// the main window's other settings in the registry), the file written under a temporary name
// in the chosen folder and renamed over the chosen name when complete, and the message box
// when that fails.
#include <windows.h>
// after windows.h
#include <commdlg.h>

#include <functional>
#include <string>

#include "app/frame/Application.h"
#include "core/Regional.h"
#include "core/export/FileExport.h"
#include "core/export/ReportBook.h"
#include "storage/Settings.h"

namespace virel::app {

// Shows the save dialog for `dialog`; true when the operator chose a file. Replaceable so that
// tests can answer it.
using TSaveDialogFunction = std::function<bool(OPENFILENAMEW& dialog)>;

class TFileExportPlatform : public IFileExportPlatform {
public:
    // `stored`: the program's settings, where the last folder is kept. The dialog and the
    // boxes belong to the application's main window. `beforeDialog` runs before every dialog:
    // the Explorer-style dialog needs COM on this thread, which the program makes only when
    // first needed.
    TFileExportPlatform(TApplication& application, const RegionalFormats& formats, TSettings stored,
                        std::function<void()> beforeDialog = {});

    std::optional<TArchiveFileChoice> ChooseFile(const std::string& name) override;
    std::optional<std::string> Write(const TArchiveFileChoice& choice,
                                     const TArchiveSheet& sheet) override;
    bool AskForAnotherName(const std::string& path, const std::string& reason) override;

    void SetSaveDialogFunction(TSaveDialogFunction function) { dialog_ = std::move(function); }

    // The folder the dialog opens in: the last one used while it still exists, else the
    // user's Documents folder. Ends without a backslash.
    std::wstring InitialFolder() const;

private:
    void StoreFolder(const std::string& folder);

    TApplication& application_;
    const RegionalFormats& formats_;
    TSettings stored_;
    std::function<void()> beforeDialog_;
    TSaveDialogFunction dialog_;
};

// Writes `sheet` as `type` to `path` (UTF-16): first under a temporary name in the same folder,
// renamed over `path` only when complete, so that an existing file stays as it was until then.
// The program writes that file itself for both types (an xlsx workbook is made by the library
// in the system's temporary folder first), so that a refusal comes with the system's reason.
// Nothing on success; else the reason, the system's text where it gave one.
std::optional<std::string> WriteArchiveFile(const std::wstring& path, TArchiveFileType type,
                                            const TArchiveSheet& sheet,
                                            const RegionalFormats& formats);

// A period report's tables, written the same way.
[[nodiscard]] std::optional<std::string> WriteReportFile(const std::wstring& path,
                                                         TArchiveFileType type, const TBook& book);

// Any other file the program writes for the operator (the catalogue's CSV), the same way.
[[nodiscard]] std::optional<std::string> WriteBytesFile(const std::wstring& path,
                                                        const std::string& bytes);
// The whole file into `bytes`; nothing on success, else the system's reason.
[[nodiscard]] std::optional<std::string> ReadBytesFile(const std::wstring& path, std::string& bytes);

}  // namespace virel::app
