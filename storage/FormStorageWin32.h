#pragma once
// A window's settings storage on Windows: the window wrapper with its storage component, the
// registry and ini stores, and the events the window hands to it. The main window's own wiring
// is app/FaceStorage.h.
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

// Points a window's own event slots at the storage's events (app/FaceStorage.h shows how).
void ConnectFormEvents(TFormEvents& events, std::function<void()>& onShow,
                       std::function<void(bool& canClose)>& onCloseQuery,
                       std::function<void()>& onDestroy);

// Opens registry stores (TRegStore) and ini stores (TIniStore).
TStoreFactory Win32StoreFactory();

// Fills ApplicationInfo().exePath from the running program file.
void InitStorageApplicationInfo();

}  // namespace virel
