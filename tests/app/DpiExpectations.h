#pragma once
// The program's windows at 144 dpi (150 %), as worked out by hand from their design at 96:
// every edge times 1.5, a half rounded away from zero, and the 8 point font 16 pixels high.
// Shared by the case that moves the windows to a 144 dpi monitor and by the one that starts
// them on a system set to 144 dpi.
#include <windows.h>

#include "app/windows/AboutBox.h"
#include "app/windows/Face.h"
#include "app/windows/ProgressBar.h"

namespace virel::app::test {

void ExpectMainWindowAt144(TFace& face);
void ExpectAboutBoxAt144(const TAboutBox& about);
void ExpectProgressWindowAt144(TFProgressBar& progress);

// The character height of the font `control` shows its text in.
LONG FontHeightOf(HWND control);

}  // namespace virel::app::test
