#pragma once
// The main window's device side put together: one exchange on one line, the three single
// actions, the periodic print with its log file, the two archive exports and the harvest into
// the journal, sharing the process-wide flags (FaceState). Whole objects, each built once with
// what it needs; the window runs them through its commands (IFaceCommands), which this is.
#include <string>

#include "core/Regional.h"
#include "core/export/FileExport.h"
#include "core/export/SheetExport.h"
#include "core/meter/DeviceSeams.h"
#include "core/meter/Exchange.h"
#include "core/meter/FaceView.h"
#include "core/meter/Harvest.h"
#include "core/meter/LogFile.h"
#include "core/meter/MeterActions.h"
#include "core/meter/PeriodicPrint.h"
#include "core/meter/RecordJournal.h"

namespace virel {

// The line the window's boxes give an action: a speed box naming no known speed shows the
// default first, so that what goes on the line is what the box shows.
TLineSettings LineOfChoices(const TFaceChoices& choices, IFaceView& view);

struct TDeviceOperations final : IFaceCommands {
    // logPath: the log file's full path. Every reference must outlive this object; the formats
    // are read where they are used, so a change Windows announces reaches every text written
    // after it.
    TDeviceOperations(IFaceView& view, IDeviceLink& link, IClock& clock, IKeyState& keys,
                      IPortLock& portLock, ILogFileSystem& logFiles, const std::string& logPath,
                      SpreadsheetFactory spreadsheetFactory, IFileExportPlatform& files,
                      IRecordJournal& journal, const RegionalFormats& formats)
        : exchange(link, clock, keys, portLock),
          actions(view, exchange, formats, state, journal),
          log(logFiles, logPath),
          periodic(view, actions, state, log, formats),
          sheetExport(view, actions, exchange, state, clock, formats,
                      std::move(spreadsheetFactory)),
          fileExport(view, actions, exchange, state, clock, formats, files),
          harvest(view, actions, exchange, state, journal, formats),
          view_(view) {}
    TDeviceOperations(const TDeviceOperations&) = delete;
    TDeviceOperations& operator=(const TDeviceOperations&) = delete;

    // IFaceCommands: each action on the line the window's choices give as it starts.
    void PrintExecute(const TFaceChoices& choices) override;
    void ClearExecute(const TFaceChoices& choices) override;
    void ReadArcNExecute(const TFaceChoices& choices, const std::string& numberText) override;
    void ReadToExcelExecute(const TFaceChoices& choices) override;
    void SaveToFileExecute(const TFaceChoices& choices) override;
    void HarvestExecute(const TFaceChoices& choices) override;
    bool TimerTimer(const TPeriodicChoice& choice, const TFaceChoices& choices) override;

    FaceState state;
    TExchange exchange;
    TMeterActions actions;
    TLogFile log;
    TPeriodicPrint periodic;
    TSheetExport sheetExport;
    TFileExport fileExport;
    TJournalHarvest harvest;

private:
    TPrintSettings PrintSettingsOf(const TFaceChoices& choices);

    IFaceView& view_;
};

}  // namespace virel
