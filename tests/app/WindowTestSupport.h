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

#include "app/frame/Application.h"
#include "app/platform/RegionalSettings.h"
#include "app/windows/AboutBox.h"
#include "app/windows/Face.h"
#include "app/windows/ProgressBar.h"
#include "app/windows/Texts.h"
#include "core/meter/DeviceOperations.h"

namespace virel::app::test {

struct TShownBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
};

// Counts what the main window asks of its device operations (and how often it opens the
// journal's window) and keeps the last choices it gave them, resolved into the line as the
// device side resolves them (a speed box naming no known speed shows the default in the
// window); an action can be given a body.
class TRecordingOperations final : public IFaceCommands {
public:
    int print = 0, clear = 0, readArcN = 0, readToExcel = 0, saveToFile = 0, harvest = 0,
        journal = 0, timer = 0;
    std::function<void()> onPrint, onReadToExcel, onTimer;
    TPrintSettings lastPrint;
    TLineSettings lastLine;
    std::string lastNumberText;
    TPeriodicChoice lastTick;
    IFaceView* view = nullptr;  // the window the commands were made for

    void PrintExecute(const TFaceChoices& choices) override {
        ++print;
        lastPrint = PrintOf(choices);
        if (onPrint) onPrint();
    }
    void ClearExecute(const TFaceChoices& choices) override {
        ++clear;
        lastLine = LineOfChoices(choices, *view);
    }
    void ReadArcNExecute(const TFaceChoices& choices, const std::string& number) override {
        ++readArcN;
        lastLine = LineOfChoices(choices, *view);
        lastNumberText = number;
    }
    void ReadToExcelExecute(const TFaceChoices& choices) override {
        ++readToExcel;
        lastPrint = PrintOf(choices);
        if (onReadToExcel) onReadToExcel();
    }
    void SaveToFileExecute(const TFaceChoices& choices) override {
        ++saveToFile;
        lastPrint = PrintOf(choices);
    }
    void HarvestExecute(const TFaceChoices& choices) override {
        ++harvest;
        lastLine = LineOfChoices(choices, *view);
    }
    // No print is due at these ticks: the speed box stays as typed.
    bool TimerTimer(const TPeriodicChoice& choice, const TFaceChoices& choices) override {
        ++timer;
        lastTick = choice;
        lastPrint = {LineSettingsFromTexts(choices.portText, choices.speedText).line,
                     choices.printOnDevice};
        if (onTimer) onTimer();
        return false;
    }
    int Total() const {
        return print + clear + readArcN + readToExcel + saveToFile + harvest + journal;
    }

private:
    TPrintSettings PrintOf(const TFaceChoices& choices) {
        return {LineOfChoices(choices, *view), choices.printOnDevice};
    }
};

class TTestProgram {
public:
    explicit TTestProgram(bool show = true);
    ~TTestProgram();

    TApplication application;
    TRecordingOperations operations;
    std::unique_ptr<TAboutBox> aboutBox;
    std::unique_ptr<TFProgressBar> progressBar;
    std::unique_ptr<TFace> face;
    std::vector<TShownBox> boxes;  // every error report shown
};

// The line the window's choices give, as the device side resolves them.
TLineSettings LineOf(TFace& face);

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
