#pragma once
// The archive export: records 0..255 read one by one into a new workbook of the spreadsheet
// program, one row each below a title and a header row.
#include <functional>
#include <memory>

#include "core/DeviceActions.h"
#include "core/Exchange.h"
#include "core/FaceView.h"
#include "core/Regional.h"
#include "core/Spreadsheet.h"

namespace virel {

// Makes a fresh automation client for one export (nothing is connected yet).
using SpreadsheetFactory = std::function<std::unique_ptr<ISpreadsheet>()>;

inline constexpr int kFirstRecordRow = 3;  // record n goes to row n + 3
inline constexpr int kTitleFontSize = 14;

class TArchiveExport {
public:
    TArchiveExport(IFaceView& view, TDeviceActions& actions, FaceState& state, IClock& clock,
                   const RegionalFormats& formats, SpreadsheetFactory factory)
        : view_(view),
          actions_(actions),
          state_(state),
          clock_(clock),
          formats_(formats),
          factory_(std::move(factory)) {}

    // actReadToExcelExecute. A set-up failure ends with a status text; an error while reading
    // (Esc, a failed automation call) ends the export and goes to the caller's error report.
    // A request while an export runs (from the message pass between records) does nothing.
    void ReadToExcelExecute();

private:
    // Steps up to the header row; false when the spreadsheet cannot be used.
    bool SetUp(ISpreadsheet& sheet);
    void ReadRecords(ISpreadsheet& sheet);

    IFaceView& view_;
    TDeviceActions& actions_;
    FaceState& state_;
    IClock& clock_;
    const RegionalFormats& formats_;
    SpreadsheetFactory factory_;
};

}  // namespace virel
