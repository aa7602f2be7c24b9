#include "core/FaceOperations.h"

#include <utility>

#include "core/DeviceTexts.h"

namespace virel {

TFaceOperations::TFaceOperations(IFaceView& view, IDeviceLink& link, IClock& clock, IKeyState& keys,
                                 ILogFileSystem& logFiles, SpreadsheetFactory spreadsheetFactory,
                                 RegionalFormats formats, const std::string& programDir)
    : formats_(std::move(formats)),
      exchange_(view, link, clock, keys),
      actions_(view, exchange_, formats_, state_),
      log_(logFiles, programDir + texts::kLogFileName),
      periodic_(view, actions_, state_, log_, formats_),
      export_(view, actions_, exchange_, state_, clock, formats_, std::move(spreadsheetFactory)),
      fileExport_(view, actions_, exchange_, state_, clock, formats_) {}

void TFaceOperations::PrintExecute() {
    actions_.PrintExecute();
}
void TFaceOperations::ClearExecute() {
    actions_.ClearExecute();
}
void TFaceOperations::ReadArcNExecute() {
    actions_.ReadArcNExecute();
}
void TFaceOperations::ReadToExcelExecute() {
    export_.ReadToExcelExecute();
}
void TFaceOperations::SaveArchiveToFileExecute() {
    fileExport_.SaveToFileExecute();
}
void TFaceOperations::TimerTimer() {
    periodic_.TimerTimer();
}

}  // namespace virel
