#pragma once
// The main window "ВИРЕЛ1 Сервис": its controls, menus, the six actions with their shortcuts,
// the one-second timer, and the record display. The device operations behind the actions and
// the timer are the commands it is built with (IFaceCommands, core/meter/FaceView.h), each
// given the window's choices as values; the operations show their results through IFaceView.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controls/Controls.h"
#include "app/controls/FaceControls.h"
#include "app/controls/Gauge.h"
#include "app/controls/SpinEdit.h"
#include "app/frame/Window.h"
#include "core/meter/FaceView.h"
#include "win/Scopes.h"

namespace virel::app {

class TAboutBox;
class TFProgressBar;
class TFace;

// Builds the device side for the window under construction, which the operations see as their
// view (and their serial component as its owner), and gives its commands; they must outlive the
// window. Called once, from TFace's constructor.
using TFaceCommandsFactory = std::function<IFaceCommands&(TFace& face)>;

// Window events that the settings storage takes over (keeping the handler it found there).
using TNotifyEvent = std::function<void()>;
using TCloseQueryEvent = std::function<void(bool& canClose)>;

// Command identifiers of the actions (menus, buttons and shortcuts send these).
enum TActionId : int {
    kActAbout = 101,
    kActReadToExcel,
    kActExit,
    kActPrint,
    kActClear,
    kActReadArcN,
    kSetTime,  // N2, N7 and Ctrl+T: no operation behind them
    kActSaveToFile,
    kActHarvest,
    kActJournal,
};

class TFace : public TCustomWindow, public IFaceView {
public:
    // At 96 dpi; scaled, as every position and size, to the dpi of the window's monitor.
    static constexpr int kClientWidth = 384;
    static constexpr int kClientHeight = 421;
    static constexpr UINT kTimerInterval = 1000;

    // The about box and the progress window must outlive the window; their own windows are
    // created after this one, which owns them. `openJournal` opens the window "Журнал доз", or
    // brings it to the front.
    TFace(TApplication& application, TAboutBox& aboutBox, TFProgressBar& progressBar,
          const TFaceCommandsFactory& makeCommands, std::function<void()> openJournal);
    ~TFace() override;

    // Creates the window with every control, hidden, and starts the timer. It becomes the
    // application's main window: its shortcuts work from all of the program's windows.
    HWND Create();
    // Shows the window: OnShow first (the storage restores the placement while the window is
    // still invisible), then the window appears with the focus on CB_ComPort.
    void Show();
    // Asks OnCloseQuery, then tells the application to end (the close box does the same).
    void Close();

    TNotifyEvent OnShow;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;
    // Windows announced a change of its settings (WM_SETTINGCHANGE), regional formats included.
    TNotifyEvent OnSettingChange;

    // The actions and the timer.
    void actAboutExecute();
    void actReadToExcelExecute();
    void actSaveToFileExecute();
    void actHarvestExecute();
    void actJournalExecute();
    void actExitExecute();
    void actPrintExecute();
    void actClearExecute();
    void actReadArcNExecute();
    void TimerTimer();
    // Runs the action behind a command identifier (TActionId); unknown ones do nothing.
    void ExecuteAction(int id);

    // What the actions are given: the port and speed boxes' texts and CB_PrintOnDevice.
    TFaceChoices Choices() const;

    // IFaceView.
    void SetStatusText(const std::string& text) override;
    void SetSpeedText(const std::string& text) override;
    std::string StatusText() const;
    void ShowRecord(const RecordTexts& texts) override;
    std::string ArchiveNumberText() const override;
    void SetArchiveNumberText(const std::string& text) override;
    void SetMeterActionsEnabled(bool enabled) override;
    void GaugeSetProgress(int progress) override;
    void GaugeSetMaxValue(int maxValue) override;
    void ShowProgress() override;
    void CloseProgress() override;
    void ProcessMessages() override;
    void BringToForeground() override;
    void ReportError(const std::string& message) override;

    // The four controls the settings storage keeps, with the values it reads and writes.
    TFaceStoredControls StoredControls();

    // CB_ComPort's list: COM1..COM4 and the other ports present (by default those Windows
    // lists), built anew at creation and each time the list drops down. The text stays.
    void SetPresentPorts(std::function<std::vector<std::string>()> presentPorts);
    void RefreshPortList();

    // The controls, by their names.
    HWND GroupBox1() const { return groupBox1_; }
    HWND GroupBox2() const { return groupBox2_; }
    HWND GroupBox3() const { return groupBox3_; }
    HWND GroupBox4() const { return groupBox4_; }
    HWND CB_ComPort() const { return comPort_.Handle(); }
    HWND CB_Spead() const { return speed_.Handle(); }
    HWND Image1() const { return image_.Handle(); }
    HWND CB_ReadToFile() const { return readToFile_.Handle(); }
    TSpinEdit& RxSpE_AutoTime() { return autoTime_; }
    const TSpinEdit& RxSpE_AutoTime() const { return autoTime_; }
    HWND Label3() const { return label3_; }
    HWND LE_DevNumber() const { return devNumber_; }
    HWND LE_MeasureNumber() const { return measureNumber_; }
    HWND LE_Time() const { return time_; }
    HWND LE_Dose() const { return dose_; }
    HWND BitBtn1() const { return bitBtn1_.Handle(); }
    HWND BitBtn2() const { return bitBtn2_.Handle(); }
    HWND BitBtn3() const { return bitBtn3_.Handle(); }
    HWND BitBtn4() const { return bitBtn4_.Handle(); }
    HWND CB_PrintOnDevice() const { return printOnDevice_.Handle(); }
    TSpinEdit& SpE_Num() { return archiveNumber_; }
    const TSpinEdit& SpE_Num() const { return archiveNumber_; }
    HWND CheckBox1() const { return checkBox1_; }
    HWND StatusBar() const { return statusBar_; }
    // The label above a labelled edit.
    HWND EditLabel(HWND labelledEdit) const;
    HMENU MainMenu1() const { return GetMenu(Handle()); }
    HMENU PopupMenu1() const { return popupMenu_.Get(); }
    HACCEL Shortcuts() const { return shortcuts_.Get(); }
    HWND ToolTips() const { return toolTips_.Handle(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    // The group boxes with their controls, and the hints.
    void CreatePortGroup();
    void CreateServiceGroup();
    void CreateCurrentGroup();
    void CreateLastGroup();
    void AddToolTips();
    void CreateMenus();
    HWND CreateLabeledEdit(HWND parent, const wchar_t* label, int x, int y, int id,
                           HWND& labelHandle);
    // A spin edit with the program's font, kept at its design bounds at every dpi.
    void CreateSpinEdit(TSpinEdit& field, TBounds design, HWND parent, int id);
    void OnCommand(int id, int code, HWND control);
    void ShowPopupMenu(LPARAM position);
    // A menu entry without a button shows its hint in the status bar while it is highlighted.
    void ShowMenuHint(UINT item, UINT flags);
    // Parts of WindowProc. An owner-drawn button: false when the item is none of them.
    bool DrawButton(const DRAWITEMSTRUCT& item) const;
    // The colours of a read-only field (its brush), nothing for any other static control.
    HBRUSH FieldColors(HWND control, HDC dc) const;
    // The focus goes back to the control that had it; true when it was set here.
    bool OnActivate(bool active);
    void OnDestroyWindow();

    TAboutBox& aboutBox_;
    TFProgressBar& progressBar_;
    std::function<std::vector<std::string>()> presentPorts_;

    win::TBitmap logo_;
    win::TBitmap glyph_;
    TImage image_;
    win::TMenu popupMenu_;
    win::TAccelerators shortcuts_;
    TToolTips toolTips_;
    TSpinEdit autoTime_;
    TSpinEditValue autoTimeValue_{autoTime_};
    TSpinEdit archiveNumber_;
    TBitBtn bitBtn1_, bitBtn2_, bitBtn3_, bitBtn4_;

    HWND groupBox1_ = nullptr, groupBox2_ = nullptr, groupBox3_ = nullptr, groupBox4_ = nullptr;
    TPortComboBox comPort_;
    TSpeedComboBox speed_;
    TCheckBox readToFile_, printOnDevice_;
    HWND label3_ = nullptr;
    HWND devNumber_ = nullptr, measureNumber_ = nullptr, time_ = nullptr, dose_ = nullptr;
    HWND devNumberLabel_ = nullptr, measureNumberLabel_ = nullptr, timeLabel_ = nullptr,
         doseLabel_ = nullptr;
    HWND checkBox1_ = nullptr, statusBar_ = nullptr;
    HWND focused_ = nullptr;  // the control that gets the focus back when the window does
    bool menuHintShown_ = false;
    bool meterActionsEnabled_ = true;
    std::wstring statusBeforeHint_;
    std::function<void()> openJournal_;
    // Last: the factory may keep a reference to the window as it stands when it is called.
    IFaceCommands& commands_;
};

}  // namespace virel::app
