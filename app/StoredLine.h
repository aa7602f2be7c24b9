#pragma once
// The line the main window last stored: its port box's text and its speed box's item, read as
// the window's settings storage reads them ("CB_ComPort.Text" and "CB_Spead.ItemIndex" in the
// section TFace; app/FaceStorage) and never written. The scheduled harvest talks on this line
// unless its command line names another.
#include "core/meter/PortChoice.h"
#include "storage/Settings.h"

namespace virel::app {

// From any settings. What the window shows when a value is missing or does not fit is what
// this gives: the port box's first item COM1 and the first speed, 4800.
TLineSettings StoredLineSettings(const TSettings& settings);

// From the program's settings; the window's defaults when the key is not there (it is not made).
TLineSettings ReadStoredLineSettings();

}  // namespace virel::app
