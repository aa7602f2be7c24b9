// The six actions: started from buttons, menus and shortcuts, from any control of the main
// window and from the progress window, but not while a modal box is open; the timer; closing.
#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "WindowTestSupport.h"
#include "core/Errors.h"

namespace virel::app::test {
namespace {

class Actions : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;
    TRecordingOperations& ops = program.operations;

    void Click(HWND button) {
        SendMessageW(button, BM_CLICK, 0, 0);
        Pump(program.application);
    }
    void Command(int id) {
        SendMessageW(face.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        Pump(program.application);
    }
};

TEST_F(Actions, ButtonsRunTheirActions) {
    Click(face.BitBtn1());
    EXPECT_EQ(ops.print, 1);
    Click(face.BitBtn3());
    EXPECT_EQ(ops.clear, 1);
    Click(face.BitBtn4());
    EXPECT_EQ(ops.readArcN, 1);
    Click(face.BitBtn2());
    EXPECT_EQ(ops.readToExcel, 1);
    EXPECT_EQ(ops.Total(), 4);
    // Ticking a check box runs nothing.
    Click(face.CB_PrintOnDevice());
    Click(face.CheckBox1());
    EXPECT_EQ(ops.Total(), 4);
    Click(face.BitBtn1());
    EXPECT_TRUE(ops.lastPrint.printOnDevice) << "the action is given the box as ticked";
}

TEST_F(Actions, MenuEntriesRunTheirActionsAndSetTimeDoesNothing) {
    Command(kActReadToExcel);  // Excel1 and Excel2
    EXPECT_EQ(ops.readToExcel, 1);
    Command(kActSaveToFile);  // in both menus, no button
    EXPECT_EQ(ops.saveToFile, 1);
    Command(kActHarvest);  // in both menus, no button
    EXPECT_EQ(ops.harvest, 1);
    Command(kActJournal);  // in both menus, no button
    EXPECT_EQ(ops.journal, 1);
    Command(kSetTime);  // N2 and N7
    EXPECT_EQ(ops.Total(), 4);
    EXPECT_TRUE(program.boxes.empty());
    EXPECT_FALSE(program.application.Terminated());
}

TEST_F(Actions, ShortcutsWorkFromEditFieldsComboBoxesAndButtons) {
    for (HWND control : {face.LE_Dose(), face.SpE_Num().Handle(), face.RxSpE_AutoTime().Handle(),
                         face.CB_Spead(), face.BitBtn3()}) {
        SetFocus(control);
        const std::wstring before = Text(control);
        PressKey(program.application, GetFocus(), 'P', true);
        PressKey(program.application, GetFocus(), 'R', true);
        PressKey(program.application, GetFocus(), 'S', true);
        EXPECT_EQ(Text(control), before) << "the key must not reach the control";
    }
    EXPECT_EQ(ops.print, 5);
    EXPECT_EQ(ops.readToExcel, 5);
    EXPECT_EQ(ops.saveToFile, 5);
    EXPECT_EQ(ops.clear + ops.readArcN, 0) << "reset and archive record have no shortcut";
}

// While the file export reads, nothing that talks to the meter can be started: not the buttons
// (disabled, so their Alt letters do not reach them either), the menu entries nor the shortcuts.
TEST_F(Actions, MeterActionsSwitchedOffDoNothingFromAnyWayIn) {
    face.SetMeterActionsEnabled(false);
    for (HWND button : {face.BitBtn1(), face.BitBtn2(), face.BitBtn3(), face.BitBtn4()}) {
        EXPECT_FALSE(IsWindowEnabled(button));
        Click(button);
    }
    for (int id : {int{kActPrint}, int{kActClear}, int{kActReadArcN}, int{kActReadToExcel},
                   int{kActSaveToFile}, int{kActHarvest}}) {
        Command(id);
    }
    SetFocus(face.LE_Dose());
    PressKey(program.application, GetFocus(), 'P', true);
    PressKey(program.application, GetFocus(), 'R', true);
    PressKey(program.application, GetFocus(), 'S', true);
    PressKey(program.application, GetFocus(), 'H', true);
    EXPECT_EQ(ops.Total(), 0);
    // The journal's window only reads the journal: it opens while an export reads.
    PressKey(program.application, GetFocus(), 'J', true);
    EXPECT_EQ(ops.journal, 1);
    ops.journal = 0;
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoW(face.PopupMenu1(), kActSaveToFile, FALSE, &item));
    EXPECT_TRUE(item.fState & MFS_GRAYED);

    face.SetMeterActionsEnabled(true);
    for (HWND button : {face.BitBtn1(), face.BitBtn2(), face.BitBtn3(), face.BitBtn4()}) {
        EXPECT_TRUE(IsWindowEnabled(button));
    }
    PressKey(program.application, GetFocus(), 'P', true);
    Command(kActSaveToFile);
    EXPECT_EQ(ops.print, 1);
    EXPECT_EQ(ops.saveToFile, 1);
    ASSERT_TRUE(GetMenuItemInfoW(face.PopupMenu1(), kActSaveToFile, FALSE, &item));
    EXPECT_FALSE(item.fState & MFS_GRAYED);
}

TEST_F(Actions, LettersWithoutControlAndControlTAreNoShortcuts) {
    SetFocus(face.CB_ComPort());
    PressKey(program.application, GetFocus(), 'P');
    PressKey(program.application, GetFocus(), 'X');
    SetFocus(face.SpE_Num().Handle());
    PressKey(program.application, GetFocus(), 'T', true);
    EXPECT_EQ(face.SpE_Num().Text(), L"0");
    EXPECT_EQ(ops.Total(), 0);
    EXPECT_TRUE(program.boxes.empty());
    EXPECT_FALSE(program.application.Terminated());
}

TEST_F(Actions, EnterAndEscInAFieldDoNothing) {
    // The main window has no default and no cancel button.
    for (HWND field : {face.SpE_Num().Handle(), face.LE_Dose(), face.CheckBox1()}) {
        SetFocus(field);
        PressKey(program.application, field, VK_RETURN);
        PressKey(program.application, field, VK_ESCAPE);
        EXPECT_EQ(FocusedControl(), field);
    }
    EXPECT_EQ(face.SpE_Num().Text(), L"0");
    EXPECT_EQ(ops.Total(), 0);
    EXPECT_TRUE(program.boxes.empty());
    EXPECT_FALSE(program.application.Terminated());
}

TEST_F(Actions, ControlXClosesTheProgramFromAnyControl) {
    for (const bool inCombo : {false, true}) {
        SCOPED_TRACE(inCombo ? "combo box" : "spin edit");
        TTestProgram again;
        int asked = 0;
        again.face->OnCloseQuery = [&](bool&) { ++asked; };
        const HWND target = inCombo ? GetWindow(again.face->CB_ComPort(), GW_CHILD)
                                    : again.face->SpE_Num().Handle();
        SetFocus(target);
        PressKey(again.application, target, 'X', true);
        EXPECT_EQ(asked, 1);
        EXPECT_TRUE(again.application.Terminated());
        // Not hidden first: the window stays on screen until it is destroyed.
        EXPECT_TRUE(IsWindowVisible(again.face->Handle()));
    }
}

TEST_F(Actions, ShortcutsWorkWhileTheProgressWindowIsActive) {
    program.progressBar->Show();
    Pump(program.application);
    ASSERT_EQ(GetActiveWindow(), program.progressBar->Handle());
    PressKey(program.application, program.progressBar->Handle(), 'P', true);
    EXPECT_EQ(ops.print, 1);
    EXPECT_TRUE(IsWindowVisible(program.progressBar->Handle()));
}

TEST_F(Actions, ExitMenuAndCloseBoxAskTheCloseQueryThenEnd) {
    int asked = 0;
    face.OnCloseQuery = [&](bool& canClose) {
        ++asked;
        EXPECT_TRUE(canClose);
    };
    Command(kActExit);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(program.application.Terminated());

    TTestProgram again;
    again.face->OnCloseQuery = [&](bool&) { ++asked; };
    SendMessageW(again.face->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump(again.application);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(again.application.Terminated());
    EXPECT_TRUE(IsWindow(again.face->Handle())) << "destroyed only after the loop";
}

TEST_F(Actions, ACloseQueryThatRefusesKeepsTheProgramRunning) {
    face.OnCloseQuery = [](bool& canClose) { canClose = false; };
    PostMessageW(face.Handle(), WM_CLOSE, 0, 0);
    Pump(program.application);
    EXPECT_FALSE(program.application.Terminated());
}

TEST_F(Actions, ACloseDuringTheExportsMessagePassTakesEffectAfterTheExport) {
    bool finished = false;
    bool terminatedInside = false;
    ops.onReadToExcel = [&] {
        PostMessageW(face.Handle(), WM_CLOSE, 0, 0);
        face.ProcessMessages();
        terminatedInside = program.application.Terminated();
        // The export goes on with its records; the window is still there.
        face.SetStatusText("record 1");
        face.ProcessMessages();
        finished = IsWindow(face.Handle()) != 0;
    };
    PostMessageW(face.Handle(), WM_COMMAND, kActReadToExcel, 0);
    program.application.Run();  // returns once the export is over and the close took effect
    EXPECT_TRUE(terminatedInside);
    EXPECT_TRUE(finished);
    EXPECT_EQ(face.StatusText(), "record 1");
}

TEST_F(Actions, EveryButtonAndShortcutWorksDuringTheExportsMessagePass) {
    ops.onReadToExcel = [&] {
        PostMessageW(face.BitBtn3(), BM_CLICK, 0, 0);
        face.ProcessMessages();
        EXPECT_EQ(ops.clear, 1);
        SetModifiers(true, false);
        PostMessageW(face.LE_Dose(), WM_KEYDOWN, 'P', 1);
        face.ProcessMessages();
        SetModifiers(false, false);
        EXPECT_EQ(ops.print, 1);
    };
    Command(kActReadToExcel);
    EXPECT_EQ(ops.readToExcel, 1);
}

TEST_F(Actions, AltWithTheUnderlinedLetterPressesTheButton) {
    SetFocus(face.LE_Dose());
    // Alt+З: "&Завершение измерения".
    PostMessageW(face.LE_Dose(), WM_SYSCHAR, L'з', 1 << 29);
    Pump(program.application);
    EXPECT_EQ(ops.print, 1);
    // Alt+С: "&Сброс" (BitBtn3).
    PostMessageW(face.LE_Dose(), WM_SYSCHAR, L'с', 1 << 29);
    Pump(program.application);
    EXPECT_EQ(ops.clear, 1);
}

TEST_F(Actions, TimerTicksEverySecondFromCreation) {
    SendMessageW(face.Handle(), WM_TIMER, 1, 0);
    EXPECT_EQ(ops.timer, 1);
    // One real tick, with a generous margin.
    const DWORD start = GetTickCount();
    while (ops.timer < 2 && GetTickCount() - start < 5000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        Pump(program.application);
    }
    EXPECT_EQ(ops.timer, 2);
    EXPECT_GE(GetTickCount() - start, 500u);
}

TEST_F(Actions, EventsFireAroundShowAndDestroy) {
    TTestProgram hidden(false);
    bool visibleDuringShow = true;
    int shown = 0, destroyed = 0;
    hidden.face->OnShow = [&] {
        ++shown;
        visibleDuringShow = IsWindowVisible(hidden.face->Handle()) != 0;
    };
    hidden.face->OnDestroy = [&] { ++destroyed; };
    hidden.face->Show();
    hidden.face->Show();  // already visible: no second restore
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(visibleDuringShow) << "the placement is restored before the window appears";
    EXPECT_TRUE(IsWindowVisible(hidden.face->Handle()));
    EXPECT_EQ(FocusedControl(), hidden.face->CB_ComPort());
    hidden.face.reset();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(Actions, AFailingShowHandlerIsReportedAndTheWindowStillAppears) {
    TTestProgram hidden(false);
    hidden.face->OnShow = [] { throw Exception("Invalid data type for 'Left'"); };
    hidden.face->Show();
    EXPECT_TRUE(IsWindowVisible(hidden.face->Handle()));
    ASSERT_EQ(hidden.boxes.size(), 1u);
    EXPECT_EQ(hidden.boxes[0].text, L"Invalid data type for 'Left'") << "ends below '.'";
}

}  // namespace
}  // namespace virel::app::test
