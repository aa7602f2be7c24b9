#pragma once
// The main window's device side put together: one exchange on one line, the three single
// actions, the periodic print with its log file, the two archive exports and the harvest into
// the journal, sharing the process-wide flags (FaceState). Whole objects, each built once with what it needs; the window
// runs them through the commands the composition root binds (app/Program).
#include <string>

#include "core/meter/DeviceSeams.h"
#include "core/meter/Exchange.h"
#include "core/meter/FaceView.h"
#include "core/export/FileExport.h"
#include "core/meter/Harvest.h"
#include "core/meter/LogFile.h"
#include "core/meter/MeterActions.h"
#include "core/meter/PeriodicPrint.h"
#include "core/meter/RecordJournal.h"
#include "core/Regional.h"
#include "core/export/SheetExport.h"

namespace virel {

struct TDeviceOperations {
    // logPath: the log file's full path. Every reference must outlive this object; the formats
    // are read where they are used, so a change Windows announces reaches every text written
    // after it.
    TDeviceOperations(IFaceView& view, IDeviceLink& link, IClock& clock, IKeyState& keys,
                      ILogFileSystem& logFiles, const std::string& logPath,
                      SpreadsheetFactory spreadsheetFactory, IFileExportPlatform& files,
                      IRecordJournal& journal, const RegionalFormats& formats)
        : exchange(link, clock, keys),
          actions(view, exchange, formats, state, journal),
          log(logFiles, logPath),
          periodic(view, actions, state, log, formats),
          sheetExport(view, actions, exchange, state, clock, formats,
                      std::move(spreadsheetFactory)),
          fileExport(view, actions, exchange, state, clock, formats, files),
          harvest(view, actions, exchange, state, journal, formats) {}
    TDeviceOperations(const TDeviceOperations&) = delete;
    TDeviceOperations& operator=(const TDeviceOperations&) = delete;

    FaceState state;
    TExchange exchange;
    TMeterActions actions;
    TLogFile log;
    TPeriodicPrint periodic;
    TSheetExport sheetExport;
    TFileExport fileExport;
    TJournalHarvest harvest;
};

}  // namespace virel
