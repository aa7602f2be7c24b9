#pragma once
// The program's three windows made as main.cpp makes them, in the test process, with the error
// report captured instead of shown, and helpers that type keys and pump messages.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AboutBox.h"
#include "app/Application.h"
#include "app/Face.h"
#include "app/ProgressBar.h"
#include "app/RegionalSettings.h"
#include "app/Texts.h"

namespace virel::app::test {

struct TShownBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
};

// Counts what the main window asks of its device operations; an action can be given a body.
class TRecordingOperations : public IFaceOperations {
public:
    int print = 0, clear = 0, readArcN = 0, readToExcel = 0, saveToFile = 0, timer = 0;
    std::function<void()> onPrint, onReadToExcel, onTimer;

    void PrintExecute() override {
        ++print;
        if (onPrint) onPrint();
    }
    void ClearExecute() override { ++clear; }
    void ReadArcNExecute() override { ++readArcN; }
    void ReadToExcelExecute() override {
        ++readToExcel;
        if (onReadToExcel) onReadToExcel();
    }
    void SaveArchiveToFileExecute() override { ++saveToFile; }
    void TimerTimer() override {
        ++timer;
        if (onTimer) onTimer();
    }
    int Total() const { return print + clear + readArcN + readToExcel + saveToFile; }
};

class TTestProgram {
public:
    explicit TTestProgram(bool show = true);
    ~TTestProgram();

    TApplication application;
    std::unique_ptr<TFace> face;
    std::unique_ptr<TAboutBox> aboutBox;
    std::unique_ptr<TFProgressBar> progressBar;
    TRecordingOperations operations;
    std::vector<TShownBox> boxes;  // every error report shown
};

// Handles every pending message as the program's loop would.
void Pump(TApplication& application);
// Sets the modifier keys as the thread's keyboard state reports them.
void SetModifiers(bool control, bool shift, bool alt = false);
// Posts a key press (down and up) to `target` with the given modifiers held, and pumps.
void PressKey(TApplication& application, HWND target, UINT key, bool control = false,
              bool shift = false);
// Runs `whileOpen` from inside the modal loop that `open` starts (a thread timer fires there).
void WhileModal(const std::function<void()>& open, const std::function<void()>& whileOpen);

std::wstring Text(HWND window);
// Bounds in the client coordinates of the window's parent.
RECT BoundsInParent(HWND window);
SIZE ClientSize(HWND window);
// The control that holds the keyboard focus (a combo box, not its inner edit).
HWND FocusedControl();
// The tooltip of `control` in the main window's tooltip window; empty when it has none.
std::wstring ToolTipOf(const TFace& face, HWND control);

}  // namespace virel::app::test
