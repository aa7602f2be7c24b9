#pragma once
// The archive export: records 0..255 read one by one into a new workbook of the spreadsheet
// program, one row each below a title and a header row.
#include <functional>
#include <memory>

#include "core/ArchiveReading.h"
#include "core/Exchange.h"
#include "core/FaceView.h"
#include "core/MeterActions.h"
#include "core/Regional.h"
#include "core/Spreadsheet.h"

namespace virel {

// Makes a fresh automation client for one export (nothing is connected yet).
using SpreadsheetFactory = std::function<std::unique_ptr<ISpreadsheet>()>;

inline constexpr int kFirstRecordRow = 3;  // record n goes to row n + 3
inline constexpr int kTitleFontSize = 14;

class TArchiveExport {
public:
    TArchiveExport(IFaceView& view, TMeterActions& actions, TExchange& exchange, FaceState& state,
                   IClock& clock, const RegionalFormats& formats, SpreadsheetFactory factory)
        : view_(view),
          state_(state),
          clock_(clock),
          formats_(formats),
          factory_(std::move(factory)),
          reading_(view, actions, exchange, state, formats, TReadingPace::Usual) {}

    // actReadToExcelExecute. A set-up failure ends with a status text; an error while reading
    // (Esc, a failed automation call) ends the export and goes to the caller's error report.
    // A request while an export runs (from the message pass between records) does nothing.
    void ReadToExcelExecute();

private:
    // Steps up to the header row; false when the spreadsheet cannot be used.
    bool SetUp(ISpreadsheet& sheet);
    // Row n + 3: the time, measurement number and dose as the fields show them, and the
    // meter's error in column D where there is one.
    void WriteRow(ISpreadsheet& sheet, int n, const MeasurementRecord& record);

    IFaceView& view_;
    FaceState& state_;
    IClock& clock_;
    const RegionalFormats& formats_;
    SpreadsheetFactory factory_;
    TArchiveReading reading_;
};

}  // namespace virel
