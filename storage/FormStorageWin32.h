#pragma once
// FormStorage1 of the main window: the window's position and four control values in the
// registry (HKEY_CURRENT_USER\Software\<exe base name>\TFace), restored when the window is
// first shown and written when it closes.
//
// Wiring it into the main window (TFace):
//
//   #include "storage/FormStorageWin32.h"
//   std::unique_ptr<virel::TWin32FormStorage> formStorage_;      // member of the window
//
//   1. Start-up, once: route the storage's caught errors to the error report (message box):
//        virel::SetStorageErrorReport([](const std::exception& e) { ShowErrorBox(e); });
//   2. When the window and its controls exist (end of WM_CREATE), before it is shown:
//        virel::TFaceStoredControls c;
//        c.portCombo = hCB_ComPort;          // "CB_ComPort.Text": the combo box's text
//        c.speedCombo = hCB_Spead;           // "CB_Spead.ItemIndex": its selected item
//        c.printCheck = hCB_PrintOnDevice;   // "CB_PrintOnDevice.Checked"
//        c.autoTimeEdit = hRxSpE_AutoTime;   // "RxSpE_AutoTime.Value", through the spin edit:
//        c.getAutoTimeValue = [this] { return (long double)autoTime_.Value(); };
//        c.setAutoTimeValue = [this](long double v) { autoTime_.SetValue((double)v); };
//        formStorage_ = virel::CreateFaceStorage(hwnd, std::move(c));
//      (Any of the other getters/setters may be given too; they then replace the plain control
//      messages, e.g. when the combo box keeps extra state.)
//   3. Showing the window the first time, just before ShowWindow:
//        formStorage_->Events().Show();     // restores position and values while still hidden
//   4. WM_CLOSE (close box, system menu, actExit, Ctrl+X):
//        if (formStorage_->Events().CloseQuery()) DestroyWindow(hwnd);   // writes everything
//        return 0;
//   5. WM_DESTROY:
//        formStorage_->Events().Destroy();  // writes only if the close did not
//        formStorage_.reset();
//        PostQuitMessage(0);
//
// The window keeps its own show/close/destroy code where it was: put it into
// Events().onShow/onCloseQuery/onDestroy before step 2 and the storage calls it (the close
// handler may forbid closing through its bool&).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "storage/AppUtils.h"
#include "storage/FormWin32.h"
#include "storage/Placemnt.h"

namespace virel {

// A window with its storage component; the window wrapper outlives the component.
class TWin32FormStorage {
public:
    TWin32FormStorage(HWND hwnd, TWin32FormOptions options, std::string storageName);

    TWin32Form& Form() { return form_; }
    TFormStorage& Storage() { return storage_; }
    TFormEvents& Events() { return form_.Events(); }

private:
    TWin32Form form_;
    TFormStorage storage_;
};

// The four stored controls of the main window. A control given by its handle alone is read and
// set with the standard control messages (window text, CB_GETCURSEL/CB_SETCURSEL,
// BM_GETCHECK/BM_SETCHECK); the spin edit needs its getter and setter, as its value limits and
// rounding belong to it. Setting the port text selects the list item of that text (found
// without regard to case), so that the exchange, which takes the port from the selected item,
// uses the restored port; a text that names no item is set with no item selected.
struct TFaceStoredControls {
    HWND portCombo = nullptr;
    HWND autoTimeEdit = nullptr;
    HWND speedCombo = nullptr;
    HWND printCheck = nullptr;
    std::function<std::string()> getPortText;
    std::function<void(const std::string&)> setPortText;
    std::function<long double()> getAutoTimeValue;
    std::function<void(long double)> setAutoTimeValue;
    std::function<std::int32_t()> getSpeedIndex;
    std::function<void(std::int32_t)> setSpeedIndex;
    std::function<bool()> getPrintOnDevice;
    std::function<void(bool)> setPrintOnDevice;
};

// FormStorage1 for the main window: section "TFace", Options [fpPosition], UseRegistry,
// StoredProps "CB_ComPort.Text", "RxSpE_AutoTime.Value", "CB_Spead.ItemIndex",
// "CB_PrintOnDevice.Checked", one unnamed StoredValues item; loaded (events taken over).
// Raises virel::Exception when a control has neither a handle nor its getter and setter.
std::unique_ptr<TWin32FormStorage> CreateFaceStorage(HWND face, TFaceStoredControls controls);

// Opens registry stores (TRegStore) and ini stores (TIniStore).
TStoreFactory Win32StoreFactory();

// Fills ApplicationInfo().exePath from the running program file (done by CreateFaceStorage
// when it is still empty).
void InitStorageApplicationInfo();

}  // namespace virel
