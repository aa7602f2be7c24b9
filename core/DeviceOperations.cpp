#include "core/DeviceOperations.h"

#include <utility>

#include "core/DeviceTexts.h"

namespace virel {

TDeviceOperations::TDeviceOperations(IFaceView& view, IDeviceLink& link, IClock& clock,
                                     IKeyState& keys, ILogFileSystem& logFiles,
                                     SpreadsheetFactory spreadsheetFactory, RegionalFormats formats,
                                     const std::string& programDir)
    : formats_(std::move(formats)),
      exchange_(view, link, clock, keys),
      actions_(view, exchange_, formats_, state_),
      log_(logFiles, programDir + texts::kLogFileName),
      periodic_(view, actions_, state_, log_, formats_),
      export_(view, actions_, exchange_, state_, clock, formats_, std::move(spreadsheetFactory)),
      fileExport_(view, actions_, exchange_, state_, clock, formats_) {}

void TDeviceOperations::PrintExecute() {
    actions_.PrintExecute();
}
void TDeviceOperations::ClearExecute() {
    actions_.ClearExecute();
}
void TDeviceOperations::ReadArcNExecute() {
    actions_.ReadArcNExecute();
}
void TDeviceOperations::ReadToExcelExecute() {
    export_.ReadToExcelExecute();
}
void TDeviceOperations::SaveArchiveToFileExecute() {
    fileExport_.SaveToFileExecute();
}
void TDeviceOperations::TimerTimer() {
    periodic_.TimerTimer();
}

}  // namespace virel
