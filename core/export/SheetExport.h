#pragma once
// The spreadsheet export ("Читать архив в Excel"): records 0..255 read one by one into a new
// workbook of the running spreadsheet program, one row each below a title and a header row.
#include <functional>
#include <memory>

#include "core/export/ArchiveReading.h"
#include "core/meter/DeviceSeams.h"
#include "core/meter/FaceView.h"
#include "core/meter/MeterActions.h"
#include "core/Regional.h"
#include "core/export/Spreadsheet.h"

namespace virel {

// Makes a fresh automation client for one export (nothing is connected yet).
using SpreadsheetFactory = std::function<std::unique_ptr<ISpreadsheet>()>;

class TSheetExport {
public:
    TSheetExport(IFaceView& view, TMeterActions& actions, TExchange& exchange, FaceState& state,
                 IClock& clock, const RegionalFormats& formats, SpreadsheetFactory factory)
        : view_(view),
          state_(state),
          clock_(clock),
          formats_(formats),
          factory_(std::move(factory)),
          reading_(view, actions, exchange, state, TReadingPace::Usual) {}

    // actReadToExcelExecute. A set-up failure ends with a status text; an error while reading
    // (Esc, a failed automation call) ends the export and goes to the caller's error report.
    // A request while an export runs (from the message pass between records) does nothing.
    void ReadToExcelExecute(const TPrintSettings& settings);

private:
    // Steps up to the header row; false when the spreadsheet cannot be used.
    bool SetUp(ISpreadsheet& sheet, const TPrintSettings& settings);
    void WriteRow(ISpreadsheet& sheet, int n, const MeasurementRecord& record);

    IFaceView& view_;
    FaceState& state_;
    IClock& clock_;
    const RegionalFormats& formats_;
    SpreadsheetFactory factory_;
    TArchiveReading reading_;
};

}  // namespace virel
