#include "core/meter/DeviceOperations.h"

#include <string>

#include "core/meter/PortChoice.h"

namespace virel {

TLineSettings LineOfChoices(const TFaceChoices& choices, IFaceView& view) {
    const TLineChoice line = LineSettingsFromTexts(choices.portText, choices.speedText);
    if (line.speedFellBack) view.SetSpeedText(std::to_string(line.line.speed));
    return line.line;
}

TPrintSettings TDeviceOperations::PrintSettingsOf(const TFaceChoices& choices) {
    return {LineOfChoices(choices, view_), choices.printOnDevice};
}

void TDeviceOperations::PrintExecute(const TFaceChoices& choices) {
    actions.PrintExecute(PrintSettingsOf(choices));
}

void TDeviceOperations::ClearExecute(const TFaceChoices& choices) {
    actions.ClearExecute(LineOfChoices(choices, view_));
}

void TDeviceOperations::ReadArcNExecute(const TFaceChoices& choices,
                                        const std::string& numberText) {
    actions.ReadArcNExecute(LineOfChoices(choices, view_), numberText);
}

void TDeviceOperations::ReadToExcelExecute(const TFaceChoices& choices) {
    sheetExport.ReadToExcelExecute(PrintSettingsOf(choices));
}

void TDeviceOperations::SaveToFileExecute(const TFaceChoices& choices) {
    fileExport.SaveToFileExecute(PrintSettingsOf(choices));
}

void TDeviceOperations::HarvestExecute(const TFaceChoices& choices) {
    harvest.HarvestExecute(LineOfChoices(choices, view_));
}

bool TDeviceOperations::TimerTimer(const TPeriodicChoice& choice, const TFaceChoices& choices) {
    // The speed box is corrected only when a print really goes on the line: not every second
    // while the operator may be typing into it.
    const TLineChoice line = LineSettingsFromTexts(choices.portText, choices.speedText);
    const bool printed = periodic.TimerTimer(choice, {line.line, choices.printOnDevice});
    if (printed && line.speedFellBack) view_.SetSpeedText(std::to_string(line.line.speed));
    return printed;
}

}  // namespace virel
