#pragma once
// The main window's device operations put together: the exchange, the three single actions,
// the periodic print with its log file and the archive export, sharing the module-level flags.
#include <string>

#include "core/ArchiveExport.h"
#include "core/Exchange.h"
#include "core/FaceView.h"
#include "core/FileExport.h"
#include "core/LogFile.h"
#include "core/MeterActions.h"
#include "core/PeriodicPrint.h"
#include "core/Regional.h"

namespace virel {

class TFaceOperations : public IFaceOperations {
public:
    // programDir ends in a backslash (or is ".\"); the log file is programDir +
    // "VIREL1_Service.txt". Every reference must outlive this object.
    TFaceOperations(IFaceView& view, IDeviceLink& link, IClock& clock, IKeyState& keys,
                    ILogFileSystem& logFiles, SpreadsheetFactory spreadsheetFactory,
                    RegionalFormats formats, const std::string& programDir);
    TFaceOperations(const TFaceOperations&) = delete;
    TFaceOperations& operator=(const TFaceOperations&) = delete;

    void PrintExecute() override;
    void ClearExecute() override;
    void ReadArcNExecute() override;
    void ReadToExcelExecute() override;
    void SaveArchiveToFileExecute() override;
    void TimerTimer() override;

    // The save dialog and file system of the file export (it does nothing until they are set).
    void SetArchiveFiles(IArchiveFiles* files) { fileExport_.SetFiles(files); }

    // The regional formats are read at start-up; a change announced by Windows may replace
    // them (the dose keeps its "." regardless).
    void SetRegionalFormats(const RegionalFormats& formats) { formats_ = formats; }

    const FaceState& State() const { return state_; }
    const TLogFile& LogFile() const { return log_; }
    // When the program ends: the log's lines still unwritten go to `otherPath` if the log
    // still refuses them (see TLogFile::SaveKeptLines).
    KeptLinesAtExit SaveKeptLines(const std::string& otherPath) {
        return log_.SaveKeptLines(otherPath);
    }

private:
    RegionalFormats formats_;
    FaceState state_;
    TExchange exchange_;
    TMeterActions actions_;
    TLogFile log_;
    TPeriodicPrint periodic_;
    TArchiveExport export_;
    TFileExport fileExport_;
};

}  // namespace virel
