#pragma once
// The main window's seam with its device side, both ways: what the window's actions and timer
// ask of the device operations (IFaceCommands, which TDeviceOperations implements) and what
// the operations show in the window (IFaceView, which TFace implements). The operations (the
// meter actions, the periodic print, the archive exports, the harvest) only see this, so they
// are tested natively with a fake window. What an operation needs from the window (the boxes'
// choices, the record number typed) it is given as values when it starts; the one thing read
// back is the record number field during an export's message pass (see TArchiveReading).
#include <cstdint>
#include <string>

#include "core/meter/MeasurementRecord.h"

namespace virel {

// What the main window's controls hold as an action starts, as the operator left them: the
// port and speed boxes' texts (what they mean is the device side's to decide: PortChoice) and
// CB_PrintOnDevice.
struct TFaceChoices {
    std::string portText;
    std::string speedText;
    bool printOnDevice = false;
};

// The periodic print's switch (CB_ReadToFile) and interval in ticks (RxSpE_AutoTime's integer
// value) as the window shows them at a tick.
struct TPeriodicChoice {
    bool on = false;
    std::int64_t interval = 60;
};

// What the main window's actions and its one-second timer run, each given the window's choices
// as it starts.
class IFaceCommands {
public:
    virtual ~IFaceCommands() = default;
    virtual void PrintExecute(const TFaceChoices& choices) = 0;  // actPrintExecute
    virtual void ClearExecute(const TFaceChoices& choices) = 0;  // actClearExecute
    // With the text typed in SpE_Num.
    virtual void ReadArcNExecute(const TFaceChoices& choices, const std::string& numberText) = 0;
    virtual void ReadToExcelExecute(const TFaceChoices& choices) = 0;
    virtual void SaveToFileExecute(const TFaceChoices& choices) = 0;  // the file export
    virtual void HarvestExecute(const TFaceChoices& choices) = 0;  // the archive into the journal
    // One tick; true when a print was due and ran.
    virtual bool TimerTimer(const TPeriodicChoice& choice, const TFaceChoices& choices) = 0;
};

class IFaceView {
public:
    virtual ~IFaceView() = default;

    // Status bar (one simple text panel). Texts are UTF-8.
    virtual void SetStatusText(const std::string& text) = 0;

    // CB_Spead: the speed an action goes on the line with, when the box named none it knows.
    virtual void SetSpeedText(const std::string& text) = 0;

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
