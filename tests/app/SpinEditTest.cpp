// The integer spin edit as a real window: typed characters, focus changes, arrow keys and mouse
// presses on its spin button, driven by window messages.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <vector>

#include "app/controls/SpinEdit.h"

namespace virel::app {
namespace {

constexpr int kNumId = 101;
constexpr int kTimeId = 102;
constexpr int kOtherId = 103;

// Top-level window that records what its children tell it.
struct TParentLog {
    std::map<int, int> changes;  // EN_CHANGE per control id
    std::vector<int> commands;   // WM_COMMAND ids that came from no control of its own
};

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* log = reinterpret_cast<TParentLog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COMMAND && log) {
        const int id = LOWORD(wp);
        if (HIWORD(wp) == EN_CHANGE && (id == kNumId || id == kTimeId || id == kOtherId)) {
            ++log->changes[id];
        } else if (id == IDOK || id == IDCANCEL) {
            log->commands.push_back(id);
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Lets messages (timers included) run for the given real time.
void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    PumpMessages();
}

// The button's repeat timer in virtual time: Elapse fires every tick that falls due.
class TFakeRepeatTimer : public ISpinRepeatTimer {
public:
    void Start(int ms, std::function<void()> tick) override {
        period_ = ms;
        due_ = now_ + ms;
        tick_ = std::move(tick);
    }
    void Stop() override { tick_ = nullptr; }
    bool Running() const { return tick_ != nullptr; }

    void Elapse(int ms) {
        const int end = now_ + ms;
        while (tick_ && due_ <= end) {
            now_ = due_;
            due_ += period_;
            const auto tick = tick_;  // a tick may restart the timer
            tick();
        }
        now_ = end;
    }

private:
    int now_ = 0;
    int due_ = 0;
    int period_ = 0;
    std::function<void()> tick_;
};

class SpinEditWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VirelSpinEditTestParent";
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        RegisterClassExW(&wc);  // fails harmlessly when already registered
        parent_ = CreateWindowExW(0, wc.lpszClassName, L"spin", WS_OVERLAPPEDWINDOW, 10, 10, 400,
                                  300, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent_, nullptr);
        SetWindowLongPtrW(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&log_));

        // The two fields of the main window, with their ranges and first texts.
        ASSERT_TRUE(num_.Create(parent_, kNumId, 136, 114, 49, 21));
        num_.SetMinValue(0);
        num_.SetMaxValue(255);
        num_.SetText(L"0");
        ASSERT_TRUE(time_.Create(parent_, kTimeId, 16, 48, 81, 21));
        time_.SetMinValue(5);
        time_.SetMaxValue(1000000000);
        time_.SetValue(60);
        other_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 200, 200, 80, 21, parent_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kOtherId)),
                                 wc.hInstance, nullptr);
        ASSERT_NE(other_, nullptr);
        // Kept hidden: focus and messages work the same, and Wine takes seconds to hide a
        // shown top-level window when there is no window manager.
        SetFocus(other_);
        PumpMessages();

        TSpinEdit::SetBeepHook([this] { ++beeps_; });
        log_ = {};
    }

    void TearDown() override {
        TSpinEdit::SetBeepHook(nullptr);
        if (parent_) DestroyWindow(parent_);
        PumpMessages();
    }

    static void Type(HWND edit, const std::wstring& chars) {
        for (wchar_t c : chars) SendMessageW(edit, WM_CHAR, c, 1);
    }
    static void Key(HWND edit, UINT vk) {
        SendMessageW(edit, WM_KEYDOWN, vk, 1);
        SendMessageW(edit, WM_KEYUP, vk, 0xC0000001);
    }
    static void Clear(HWND edit) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    }
    void Leave() {
        SetFocus(other_);
        PumpMessages();
    }
    void Enter(const TSpinEdit& field) {
        SetFocus(field.Handle());
        PumpMessages();
    }
    // Client point of the spin button in the upper-left or lower-right corner region.
    static LPARAM UpperLeft(HWND button) {
        RECT rc;
        GetClientRect(button, &rc);
        return MAKELPARAM(rc.right / 4, rc.bottom / 4);
    }
    static LPARAM LowerRight(HWND button) {
        RECT rc;
        GetClientRect(button, &rc);
        return MAKELPARAM(rc.right - 1 - rc.right / 4, rc.bottom - 1 - rc.bottom / 4);
    }

    HWND parent_ = nullptr;
    HWND other_ = nullptr;
    TFakeRepeatTimer timer_;  // outlives the fields that may use it
    TSpinEdit num_;
    TSpinEdit time_;
    TParentLog log_;
    int beeps_ = 0;
};

TEST_F(SpinEditWindow, KeepsTheGivenBoundsWithTheButtonInsideTheRightEdge) {
    RECT rc;
    GetWindowRect(num_.Handle(), &rc);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 136);
    EXPECT_EQ(rc.top, 114);
    EXPECT_EQ(rc.right - rc.left, 49);
    EXPECT_EQ(rc.bottom - rc.top, 21);
    EXPECT_EQ(GetDlgCtrlID(num_.Handle()), kNumId);

    const HWND button = num_.ButtonHandle();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(GetParent(button), num_.Handle());
    RECT client, br;
    GetClientRect(num_.Handle(), &client);
    GetWindowRect(button, &br);
    MapWindowPoints(nullptr, num_.Handle(), reinterpret_cast<POINT*>(&br), 2);
    EXPECT_EQ(br.right, client.right);
    EXPECT_EQ(br.right - br.left, TSpinEdit::kButtonWidth);
    EXPECT_EQ(br.top, 0);
    EXPECT_EQ(br.bottom, client.bottom);
    // The text stays clear of the button.
    const LRESULT margins = SendMessageW(num_.Handle(), EM_GETMARGINS, 0, 0);
    EXPECT_GT(HIWORD(margins), TSpinEdit::kButtonWidth - 1);
}

TEST_F(SpinEditWindow, LettersAreDroppedWithABeepDigitsAndSignsAreTaken) {
    Enter(num_);
    Type(num_.Handle(), L"abc");
    EXPECT_EQ(num_.Text(), L"0");
    EXPECT_EQ(beeps_, 3);
    Clear(num_.Handle());
    Type(num_.Handle(), L"-+12.,х ");
    EXPECT_EQ(num_.Text(), L"-+12");
    EXPECT_EQ(beeps_, 7);
    EXPECT_TRUE(num_.Modified());
    // Backspace is a control character: taken, no beep.
    Type(num_.Handle(), L"\b\b");
    EXPECT_EQ(num_.Text(), L"-+");
    EXPECT_EQ(beeps_, 7);
}

// The corrections themselves are SpinEditMath's; here they happen when the field is left.
TEST_F(SpinEditWindow, LeavingTheFieldLimitsANumberAndKeepsATextThatIsNone) {
    Enter(num_);
    Clear(num_.Handle());
    Type(num_.Handle(), L"300");
    EXPECT_EQ(num_.Text(), L"300");  // not checked while typing
    EXPECT_EQ(num_.Value(), 300);
    Leave();
    EXPECT_EQ(num_.Text(), L"255");
    EXPECT_TRUE(num_.Modified());

    Enter(time_);
    Clear(time_.Handle());
    Type(time_.Handle(), L"-");
    Leave();
    EXPECT_EQ(time_.Text(), L"-");
    EXPECT_EQ(time_.IntValue(), 5);  // reads as the lower bound
}

TEST_F(SpinEditWindow, ArrowKeysStepAndNotifyTheParent) {
    Enter(num_);
    Clear(num_.Handle());
    Leave();
    Enter(num_);
    log_ = {};
    Key(num_.Handle(), VK_UP);
    EXPECT_EQ(num_.Text(), L"1");  // a cleared field reads as 0
    EXPECT_TRUE(num_.Modified());
    EXPECT_EQ(log_.changes[kNumId], 1);
    Key(num_.Handle(), VK_UP);
    Key(num_.Handle(), VK_UP);
    Key(num_.Handle(), VK_DOWN);
    EXPECT_EQ(num_.Text(), L"2");
    EXPECT_EQ(log_.changes[kNumId], 4);
    DWORD start = 0, end = 0;
    SendMessageW(num_.Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u) << "caret after the number";
    EXPECT_EQ(end, 1u);
    EXPECT_EQ(beeps_, 0);
}

TEST_F(SpinEditWindow, AStepAtTheBoundChangesNothing) {
    time_.SetValue(5);
    Enter(time_);
    log_ = {};
    Key(time_.Handle(), VK_DOWN);
    EXPECT_EQ(time_.Text(), L"5");
    EXPECT_FALSE(time_.Modified());
    EXPECT_EQ(log_.changes[kTimeId], 0);
}

TEST_F(SpinEditWindow, EnterAndEscGoToTheWindowAndAreNotInserted) {
    Enter(num_);
    Clear(num_.Handle());
    Type(num_.Handle(), L"12");
    for (UINT vk : {VK_RETURN, VK_ESCAPE}) {
        // What the message loop makes of the key: WM_KEYDOWN, then WM_CHAR from TranslateMessage.
        MSG msg{num_.Handle(), WM_KEYDOWN, vk, 1, 0, {}};
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        PumpMessages();
    }
    EXPECT_EQ(num_.Text(), L"12");
    EXPECT_EQ(beeps_, 0);
    EXPECT_EQ(log_.commands, (std::vector<int>{IDOK, IDCANCEL}));

    std::vector<UINT> handled;
    num_.SetDialogKeyHandler([&](UINT key) { handled.push_back(key); });
    Key(num_.Handle(), VK_ESCAPE);
    Type(num_.Handle(), L"\x1b\r");
    EXPECT_EQ(handled, (std::vector<UINT>{VK_ESCAPE}));
    EXPECT_EQ(log_.commands.size(), 2u);
    EXPECT_EQ(num_.Text(), L"12");
    EXPECT_EQ(beeps_, 0);
}

TEST_F(SpinEditWindow, MousePressFocusesAndStepsByHalf) {
    ASSERT_EQ(GetFocus(), other_);
    const HWND button = time_.ButtonHandle();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, UpperLeft(button));
    EXPECT_EQ(GetFocus(), time_.Handle());
    EXPECT_EQ(time_.Text(), L"61");  // at once, before any timer
    SendMessageW(button, WM_LBUTTONUP, 0, UpperLeft(button));
    EXPECT_TRUE(time_.Modified());
    EXPECT_EQ(log_.changes[kTimeId], 1);

    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, LowerRight(button));
    SendMessageW(button, WM_LBUTTONUP, 0, LowerRight(button));
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, LowerRight(button));
    SendMessageW(button, WM_LBUTTONUP, 0, LowerRight(button));
    EXPECT_EQ(time_.Text(), L"59");
    EXPECT_EQ(log_.changes[kTimeId], 3);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SpinEditWindow, PressingTheButtonLimitsATextTypedBeyondTheRange) {
    // The press moves the focus from the other field, whose correction runs first.
    Enter(num_);
    Clear(num_.Handle());
    Type(num_.Handle(), L"300");
    const HWND button = time_.ButtonHandle();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, LowerRight(button));
    SendMessageW(button, WM_LBUTTONUP, 0, LowerRight(button));
    EXPECT_EQ(num_.Text(), L"255");
    EXPECT_EQ(time_.Text(), L"59");
}

TEST_F(SpinEditWindow, HeldButtonStepsAtOnceThenAfter400MsThenEvery100Ms) {
    time_.SetRepeatTimer(&timer_);
    const HWND button = time_.ButtonHandle();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, UpperLeft(button));
    EXPECT_EQ(time_.IntValue(), 61);
    timer_.Elapse(399);
    EXPECT_EQ(time_.IntValue(), 61);
    timer_.Elapse(1);
    EXPECT_EQ(time_.IntValue(), 62);
    timer_.Elapse(99);
    EXPECT_EQ(time_.IntValue(), 62);
    timer_.Elapse(1);
    EXPECT_EQ(time_.IntValue(), 63);
    timer_.Elapse(1000);
    EXPECT_EQ(time_.IntValue(), 73);
    SendMessageW(button, WM_LBUTTONUP, 0, UpperLeft(button));
    EXPECT_FALSE(timer_.Running());
    timer_.Elapse(1000);
    EXPECT_EQ(time_.IntValue(), 73);
    EXPECT_EQ(log_.changes[kTimeId], 13);
    EXPECT_EQ(GetCapture(), nullptr);

    // A new press starts the schedule again with the long first delay.
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, LowerRight(button));
    timer_.Elapse(399);
    EXPECT_EQ(time_.IntValue(), 72);
    timer_.Elapse(1);
    EXPECT_EQ(time_.IntValue(), 71);
    time_.SetRepeatTimer(nullptr);  // ends the press as well
    EXPECT_FALSE(timer_.Running());
}

TEST_F(SpinEditWindow, LostCaptureEndsTheRepeat) {
    num_.SetRepeatTimer(&timer_);
    const HWND button = num_.ButtonHandle();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, UpperLeft(button));
    EXPECT_EQ(GetCapture(), button);
    ReleaseCapture();
    PumpMessages();
    EXPECT_FALSE(timer_.Running());
    timer_.Elapse(1000);
    EXPECT_EQ(num_.Text(), L"1");
}

// The Windows timer itself, in real time: margins wide enough for a loaded machine.
TEST_F(SpinEditWindow, HeldButtonRepeatsInRealTimeUntilReleased) {
    const HWND button = time_.ButtonHandle();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, UpperLeft(button));
    PumpFor(1000);  // steps at 0, 400, 500, ..., 1000 would make 8
    const long long held = time_.IntValue() - 60;
    EXPECT_GE(held, 2);
    EXPECT_LE(held, 8);
    SendMessageW(button, WM_LBUTTONUP, 0, UpperLeft(button));
    const long long released = time_.IntValue();
    PumpFor(300);
    EXPECT_EQ(time_.IntValue(), released) << "no step after the release";
}

TEST_F(SpinEditWindow, DisabledFieldIgnoresTheButton) {
    EnableWindow(num_.Handle(), FALSE);
    const HWND button = num_.ButtonHandle();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, UpperLeft(button));
    SendMessageW(button, WM_LBUTTONUP, 0, UpperLeft(button));
    EXPECT_EQ(num_.Text(), L"0");
    EXPECT_NE(GetFocus(), num_.Handle());
}

TEST_F(SpinEditWindow, ProgramWritesAreLimitedAndNotModifications) {
    Enter(time_);
    Type(time_.Handle(), L"7");
    EXPECT_TRUE(time_.Modified());
    time_.SetValue(1e12);
    EXPECT_EQ(time_.Text(), L"1000000000");
    EXPECT_FALSE(time_.Modified());
    time_.SetValue(std::nan(""));
    EXPECT_EQ(time_.Text(), L"1000000000");
    time_.SetText(L"abc");
    EXPECT_EQ(time_.Value(), 5);
    EXPECT_EQ(time_.IntValue(), 5);
    time_.SetMinValue(7);
    EXPECT_EQ(time_.Text(), L"abc") << "a new bound does not touch the text";
    EXPECT_EQ(time_.Value(), 7);
}

TEST_F(SpinEditWindow, FontChangeKeepsTheButtonClearOfTheText) {
    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(num_.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    const LRESULT margins = SendMessageW(num_.Handle(), EM_GETMARGINS, 0, 0);
    EXPECT_GT(HIWORD(margins), TSpinEdit::kButtonWidth - 1);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(num_.Handle(), WM_GETFONT, 0, 0)), font);
}

TEST(SpinEditLifetime, WindowAndObjectMayEndInEitherOrder) {
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 100, 50, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    HWND edit = nullptr;
    {
        TSpinEdit field;
        ASSERT_TRUE(field.Create(parent, 1, 0, 0, 60, 21));
        EXPECT_FALSE(field.Create(parent, 2, 0, 0, 60, 21)) << "one window per object";
        edit = field.Handle();
        EXPECT_TRUE(IsWindow(edit));
    }
    EXPECT_FALSE(IsWindow(edit)) << "the object takes its window with it";

    TSpinEdit field;
    ASSERT_TRUE(field.Create(parent, 3, 0, 0, 60, 21));
    DestroyWindow(parent);
    EXPECT_EQ(field.Handle(), nullptr);
    EXPECT_EQ(field.ButtonHandle(), nullptr);
    EXPECT_EQ(field.Text(), L"");
    field.SetValue(3);  // harmless without a window
    EXPECT_EQ(field.Value(), 0);
}

}  // namespace
}  // namespace virel::app
