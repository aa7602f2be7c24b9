#pragma once
// What the device operations need from the main window. TFace implements it; the portable
// operations (exchange, record display, periodic print, archive export) only see this, so
// they are tested natively with a fake window.
#include <cstdint>
#include <string>

namespace virel {

// The four read-only fields that hold the last decoded record.
enum class Field { DevNumber, MeasureNumber, Time, Dose };

class IFaceView {
public:
    virtual ~IFaceView() = default;

    // Status bar (one simple text panel). Texts are UTF-8.
    virtual void SetStatusText(const std::string& text) = 0;
    virtual std::string StatusText() const = 0;

    // LE_DevNumber, LE_MeasureNumber, LE_Time, LE_Dose: the window only shows the record there;
    // the operations keep what they read themselves.
    virtual void SetFieldText(Field field, const std::string& text) = 0;

    virtual bool PrintOnDevice() const = 0;  // CB_PrintOnDevice checked
    virtual bool ReadToFile() const = 0;     // CB_ReadToFile checked

    // SpE_Num: the text as typed (the exchange converts it itself).
    virtual std::string ArchiveNumberText() const = 0;
    virtual void SetArchiveNumberText(const std::string& text) = 0;

    // RxSpE_AutoTime's integer value (its Value truncated; a non-number reads as the minimum).
    virtual std::int64_t AutoTimeValue() const = 0;

    // The texts CB_Spead and CB_ComPort show: the exchange uses the speed and the port they name
    // (core/PortChoice.h), whether chosen from the list or typed.
    virtual std::string SpeedText() const = 0;
    virtual std::string PortText() const = 0;
    // Shows a speed in CB_Spead, selecting its list item.
    virtual void SetSpeedText(const std::string& text) = 0;

    // Progress window FProgressBar and its Gauge.
    virtual void GaugeSetProgress(int progress) = 0;
    virtual void GaugeSetMaxValue(int maxValue) = 0;
    virtual void ShowProgress() = 0;
    virtual void CloseProgress() = 0;

    // Lets every pending window message be handled once (one pass of the message loop).
    virtual void ProcessMessages() = 0;
    // Brings the main window to the foreground.
    virtual void BringToForeground() = 0;
    // The program's error report: a modal box with the message (a full stop added where
    // needed); returns when the operator has closed it. Messages go on being handled meanwhile.
    virtual void ReportError(const std::string& message) = 0;
};

// The main window's device operations, run from its actions and its one-second timer.
class IFaceOperations {
public:
    virtual ~IFaceOperations() = default;
    virtual void PrintExecute() = 0;              // actPrintExecute
    virtual void ClearExecute() = 0;              // actClearExecute
    virtual void ReadArcNExecute() = 0;           // actReadArcNExecute
    virtual void ReadToExcelExecute() = 0;        // actReadToExcelExecute
    virtual void SaveArchiveToFileExecute() = 0;  // the archive into a file, no spreadsheet
    virtual void TimerTimer() = 0;                // one tick of the main window's Timer
};

}  // namespace virel
