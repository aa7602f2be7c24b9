#pragma once
// What the device operations show in the main window. TFace implements it; the operations
// (the meter actions, the periodic print, the archive exports) only see this, so they are
// tested natively with a fake window. What an operation needs from the window (the line, the
// print choice, the record number typed) it is given as values when it starts; the one thing
// read back is the record number field during an export's message pass (see TArchiveReading).
#include <string>

#include "core/meter/MeasurementRecord.h"

namespace virel {

class IFaceView {
public:
    virtual ~IFaceView() = default;

    // Status bar (one simple text panel). Texts are UTF-8.
    virtual void SetStatusText(const std::string& text) = 0;

    // LE_DevNumber, LE_MeasureNumber, LE_Time, LE_Dose: a record accepted from the meter.
    virtual void ShowRecord(const RecordTexts& texts) = 0;

    // SpE_Num: the text as typed, and a number shown there.
    virtual std::string ArchiveNumberText() const = 0;
    virtual void SetArchiveNumberText(const std::string& text) = 0;

    // Progress window FProgressBar and its Gauge.
    virtual void GaugeSetProgress(int progress) = 0;
    virtual void GaugeSetMaxValue(int maxValue) = 0;
    virtual void ShowProgress() = 0;
    virtual void CloseProgress() = 0;

    // While the file export reads, the actions that talk to the meter (their buttons, menu entries
    // and keys) do nothing; cancelling (Esc, the progress window) still works.
    virtual void SetMeterActionsEnabled(bool enabled) = 0;

    // Lets every pending window message be handled once (one pass of the message loop).
    virtual void ProcessMessages() = 0;
    // Brings the main window to the foreground.
    virtual void BringToForeground() = 0;
    // The program's error report: a modal box with the message (a full stop added where
    // needed); returns when the operator has closed it. Messages go on being handled meanwhile.
    virtual void ReportError(const std::string& message) = 0;
};

}  // namespace virel
