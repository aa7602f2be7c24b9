#pragma once
// FormStorage1 of the main window: the window's position and four control values in the
// registry (HKEY_CURRENT_USER\Software\<exe base name>\TFace), restored when the window is
// first shown and written when it closes. The storage reads and writes the controls through
// the typed objects the window owns (app/FaceControls.h), as the window itself does.
//
// Wiring (app/Program.cpp, right after the window's Create(), before Show()):
//
//   formStorage = CreateFaceStorage(face.Handle(), face.StoredControls(),
//                                   {face.OnShow, face.OnCloseQuery, face.OnDestroy});
//   ConnectFormEvents(formStorage->Events(), face.OnShow, face.OnCloseQuery, face.OnDestroy);
//
// The storage is declared before the window: it must outlive the window's WM_DESTROY. From
// then on TFace::Show() (OnShow, before ShowWindow) restores the position and the four values
// while the window is still hidden; TFace::Close() (OnCloseQuery: close box, system menu,
// actExit, Ctrl+X) writes everything; WM_DESTROY (OnDestroy) writes only when the close did
// not. A window without such event slots calls formStorage->Events().Show() just before its
// first ShowWindow, `if (formStorage->Events().CloseQuery()) <close>` on WM_CLOSE, and
// formStorage->Events().Destroy() on WM_DESTROY.
#include <windows.h>

#include <memory>

#include "app/controls/FaceControls.h"
#include "storage/FormStorageWin32.h"

namespace virel::app {

// FormStorage1 for the main window: section "TFace", Options [fpPosition], UseRegistry,
// StoredProps "CB_ComPort.Text", "RxSpE_AutoTime.Value", "CB_Spead.ItemIndex",
// "CB_PrintOnDevice.Checked", one unnamed StoredValues item; loaded. windowEvents are the
// window's own show, close-query and destroy handlers: the storage calls them after its
// restore, before its save, and after its destroy-time save. Raises virel::Exception when a
// control has no value; the controls must outlive the storage.
std::unique_ptr<TWin32FormStorage> CreateFaceStorage(HWND face, const TFaceStoredControls& controls,
                                                     TFormEvents windowEvents);

}  // namespace virel::app
