// Exceptions that escape a handler reach the operator in a message box, and the program goes on.
#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "WindowTestSupport.h"
#include "core/Errors.h"

namespace virel::app::test {
namespace {

class ErrorReport : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;
};

// The full-stop rule itself is ErrorReportText's (tests/core); here the box shows its result.
TEST_F(ErrorReport, ShowsTheMessageWithAFullStopTheTitleAndTheStopIcon) {
    program.operations.onPrint = [] { throw EProtocolCancel(); };
    SendMessageW(face.BitBtn1(), BM_CLICK, 0, 0);
    ASSERT_EQ(program.boxes.size(), 1u);
    EXPECT_EQ(program.boxes[0].text, L"Отменено пользователем.");
    EXPECT_EQ(program.boxes[0].caption, kWantAppTitle);
    EXPECT_EQ(program.boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(program.boxes[0].owner, face.Handle());
}

TEST_F(ErrorReport, EveryEntryReportsAndTheProgramGoesOn) {
    program.operations.onTimer = [] { throw std::runtime_error("timer failed"); };
    SendMessageW(face.Handle(), WM_TIMER, 1, 0);
    program.operations.onPrint = [] { throw 42; };  // not even an exception object
    SetFocus(face.LE_Dose());
    PressKey(program.application, face.LE_Dose(), 'P', true);
    ASSERT_EQ(program.boxes.size(), 2u);
    EXPECT_EQ(program.boxes[0].text, L"timer failed.");
    EXPECT_EQ(program.boxes[1].text, std::wstring(kUnknownError) + L".");
    // The window works as before.
    program.operations.onPrint = nullptr;
    SendMessageW(face.BitBtn1(), BM_CLICK, 0, 0);
    EXPECT_EQ(program.operations.print, 2);
    EXPECT_EQ(program.boxes.size(), 2u);
}

TEST_F(ErrorReport, WhatTheFailedHandlerChangedStaysChanged) {
    program.operations.onPrint = [&] {
        face.SetStatusText("Отменено пользователем");
        throw EProtocolCancel();
    };
    SendMessageW(face.BitBtn1(), BM_CLICK, 0, 0);
    EXPECT_EQ(face.StatusText(), "Отменено пользователем");
}

TEST_F(ErrorReport, TheBoxBelongsToTheActiveWindowAndTheOthersAreDisabled) {
    program.progressBar->Show();
    Pump(program.application);
    HWND owner = nullptr;
    bool faceEnabled = true;
    program.application.SetMessageBoxFunction(
        [&](HWND boxOwner, const std::wstring&, const std::wstring&, UINT) {
            owner = boxOwner;  // the message box itself disables its owner
            faceEnabled = IsWindowEnabled(program.face->Handle()) != 0;
            return IDOK;
        });
    program.application.ShowErrorText("x");
    EXPECT_EQ(owner, program.progressBar->Handle());
    EXPECT_FALSE(faceEnabled) << "no shortcut or button may run while the box is open";
    EXPECT_TRUE(IsWindowEnabled(program.face->Handle()));
}

// The system's own box, closed with OK by a timer unless a key closed it first.
bool g_closedByTimer = false;
LPARAM g_escFlags = 0;  // the key message's flags: repeat count 1, scan code, bit 30 repeat
void CALLBACK CloseBox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_closedByTimer = true;
    PostMessageW(GetActiveWindow(), WM_COMMAND, IDOK, 0);
}
void CALLBACK PressEscInTheBox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostMessageW(GetActiveWindow(), WM_KEYDOWN, VK_ESCAPE, g_escFlags);
}
int SystemBoxWithEscAfter(HWND owner, const std::wstring& text, const std::wstring& caption,
                          UINT flags) {
    g_closedByTimer = false;
    const UINT_PTR closer = SetTimer(nullptr, 0, 1000, CloseBox);
    SetTimer(nullptr, 0, 200, PressEscInTheBox);
    const int result = MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
    KillTimer(nullptr, closer);
    return result;
}

TEST_F(ErrorReport, AnEscHeldSinceBeforeTheBoxDoesNotCloseItButAFreshPressDoes) {
    constexpr LPARAM kPressed = 0x00010001;
    constexpr LPARAM kRepeated = 0x40010001;  // held down since before
    program.application.SetMessageBoxFunction(
        [&](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
            return SystemBoxWithEscAfter(owner, text, caption, flags);
        });

    // Held since before the box opened: the keyboard repeats it into the open box. (An Esc
    // pressed before and waiting in the queue is the export's end-to-end case: the real
    // keyboard is shared by every test program running at the same time.)
    g_escFlags = kRepeated;
    program.application.ShowErrorText("x");
    EXPECT_TRUE(g_closedByTimer) << "a held key closed the box";

    // A new press while the box is open answers it, as in every box.
    g_escFlags = kPressed;
    program.application.ShowErrorText("x");
    EXPECT_FALSE(g_closedByTimer);
}

}  // namespace
}  // namespace virel::app::test
