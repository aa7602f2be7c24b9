#pragma once
// FormStorage1 of the main window: the window's position and four control values in the
// registry (HKEY_CURRENT_USER\Software\<exe base name>\TFace), restored when the window is
// first shown and written when it closes.
//
// Wiring it into the main window (app/main.cpp, right after face->Create(), before Show()):
//
//   std::unique_ptr<virel::TWin32FormStorage> formStorage;  // declared before `face`: it must
//                                                          // outlive the window's WM_DESTROY
//   ...
//   virel::SetStorageErrorReport([&application](const std::exception& e) {
//       application.ShowErrorText(e.what());  // registry errors go to the error box
//   });
//   virel::TFaceStoredControls c;
//   c.portCombo = face->CB_ComPort();          // "CB_ComPort.Text"
//   c.speedCombo = face->CB_Spead();           // "CB_Spead.ItemIndex"
//   c.printCheck = face->CB_PrintOnDevice();   // "CB_PrintOnDevice.Checked"
//   c.autoTimeEdit = face->RxSpE_AutoTime().Handle();   // "RxSpE_AutoTime.Value":
//   c.getAutoTimeValue = [f = face.get()] { return (long double)f->AutoTimeSetting(); };
//   c.setAutoTimeValue = [f = face.get()](long double v) { f->SetAutoTimeSetting((double)v); };
//   c.windowEvents = {face->OnShow, face->OnCloseQuery, face->OnDestroy};  // kept and chained
//   formStorage = virel::CreateFaceStorage(face->Handle(), std::move(c));
//   virel::ConnectFormEvents(formStorage->Events(), face->OnShow, face->OnCloseQuery,
//                            face->OnDestroy);
//
// From then on TFace::Show() (OnShow, before ShowWindow) restores the position and the four
// values while the window is still hidden; TFace::Close() (OnCloseQuery: close box, system
// menu, actExit, Ctrl+X) writes everything; WM_DESTROY (OnDestroy) writes only when the close
// did not. At the end: face.reset(), then formStorage.reset().
//
// A window without such event slots calls formStorage->Events().Show() just before its first
// ShowWindow, `if (formStorage->Events().CloseQuery()) <close>` on WM_CLOSE, and
// formStorage->Events().Destroy() on WM_DESTROY.
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
// without regard to case); a text that names no item is set with no item selected.
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
    // The window's own show, close-query and destroy handlers: the storage calls them after its
    // restore, before its save, and after its destroy-time save.
    TFormEvents windowEvents;
};

// FormStorage1 for the main window: section "TFace", Options [fpPosition], UseRegistry,
// StoredProps "CB_ComPort.Text", "RxSpE_AutoTime.Value", "CB_Spead.ItemIndex",
// "CB_PrintOnDevice.Checked", one unnamed StoredValues item; loaded (events taken over).
// Raises virel::Exception when a control has neither a handle nor its getter and setter.
std::unique_ptr<TWin32FormStorage> CreateFaceStorage(HWND face, TFaceStoredControls controls);

// Points a window's own event slots at the storage's events (see the wiring above).
void ConnectFormEvents(TFormEvents& events, std::function<void()>& onShow,
                       std::function<void(bool& canClose)>& onCloseQuery,
                       std::function<void()>& onDestroy);

// Opens registry stores (TRegStore) and ini stores (TIniStore).
TStoreFactory Win32StoreFactory();

// Fills ApplicationInfo().exePath from the running program file (done by CreateFaceStorage
// when it is still empty).
void InitStorageApplicationInfo();

}  // namespace virel
