#pragma once
// The line the main window last stored: its port box's text and its speed box's item, read as
// the window's settings storage reads them ("CB_ComPort.Text" and "CB_Spead.ItemIndex" in the
// section TFace; app/FaceStorage) and never written. The scheduled harvest talks on this line
// unless its command line names another.
#include "core/meter/PortChoice.h"
#include "storage/SectionStore.h"

namespace virel::app {

// From any section store. What the window shows when a value is missing or does not fit is
// what this gives: the port box's first item COM1 and the first speed, 4800.
TLineSettings StoredLineSettings(TSectionStore& store);

// From the registry key where the main window keeps its values (HKEY_CURRENT_USER, Software,
// the program's base name); the window's defaults when the key is not there (it is not made).
TLineSettings ReadStoredLineSettings();

}  // namespace virel::app
