// The about box: its contents, modality, Enter and Esc, and where it appears.
#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "WindowTestSupport.h"

namespace virel::app::test {
namespace {

class AboutBox : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;
    TAboutBox& about = *program.aboutBox;
};

TEST_F(AboutBox, HiddenAtStartWithItsCaptionSizeAndFrame) {
    EXPECT_FALSE(IsWindowVisible(about.Handle()));
    EXPECT_EQ(Text(about.Handle()), kWantAboutBoxCaption);
    const SIZE client = ClientSize(about.Handle());
    EXPECT_EQ(client.cx, 298);
    EXPECT_EQ(client.cy, 213);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(about.Handle(), GWL_STYLE));
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
}

TEST_F(AboutBox, PanelPictureLabelsAndButton) {
    const auto at = [](HWND window, RECT want) {
        const RECT got = BoundsInParent(window);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        if (want.right) {
            EXPECT_EQ(got.right, want.right);
        }
        if (want.bottom) {
            EXPECT_EQ(got.bottom, want.bottom);
        }
    };
    at(about.Panel1(), {8, 8, 8 + 281, 8 + 161});
    EXPECT_EQ(GetParent(about.Panel1()), about.Handle());
    at(about.ProgramIcon(), {8, 8, 8 + 145, 8 + 65});
    at(about.ProductName(), {168, 16, 0, 0});
    at(about.Version(), {184, 48, 0, 0});
    at(about.Copyright(), {8, 88, 8 + 105, 88 + 26});
    at(about.Comments(), {8, 120, 8 + 260, 120 + 26});
    at(about.OKButton(), {111, 180, 111 + 75, 180 + 25});
    for (HWND child : {about.ProgramIcon(), about.ProductName(), about.Version(), about.Copyright(),
                       about.Comments()}) {
        EXPECT_EQ(GetParent(child), about.Panel1());
    }
    EXPECT_EQ(Text(about.ProductName()), kWantProductName);
    EXPECT_EQ(Text(about.Version()), kWantVersion);
    EXPECT_NE(Text(about.Copyright()).find(L"KESTA"), std::wstring::npos);
    EXPECT_NE(Text(about.Copyright()).find(L"\r\n"), std::wstring::npos) << "two lines";
    EXPECT_NE(Text(about.Comments()).find(L"ВИРЕЛ-1"), std::wstring::npos);
    EXPECT_EQ(Text(about.OKButton()), L"OK");
    EXPECT_EQ(GetWindowLongPtrW(about.OKButton(), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
}

TEST_F(AboutBox, ControlAOpensItModallyAndEnterClosesIt) {
    bool visible = false, faceEnabled = true;
    POINT topLeft{};
    WhileModal([&] { PressKey(program.application, face.LE_Dose(), 'A', true); },
               [&] {
                   visible = IsWindowVisible(about.Handle()) != 0;
                   faceEnabled = IsWindowEnabled(face.Handle()) != 0;
                   RECT bounds{};
                   GetWindowRect(about.Handle(), &bounds);
                   topLeft = POINT{bounds.left, bounds.top};
                   // Shortcuts do nothing while the box is open.
                   SetModifiers(true, false);
                   PostMessageW(about.OKButton(), WM_KEYDOWN, 'P', 1);
                   PostMessageW(face.LE_Dose(), WM_KEYDOWN, 'R', 1);
                   PostMessageW(about.OKButton(), WM_KEYDOWN, 'X', 1);
                   MSG message;
                   while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                       program.application.HandleMessage(message);
                   }
                   SetModifiers(false, false);
                   PostMessageW(about.OKButton(), WM_KEYDOWN, VK_RETURN, 1);
               });
    EXPECT_TRUE(visible);
    EXPECT_FALSE(faceEnabled) << "the main window accepts no input while the box is open";
    EXPECT_EQ(program.operations.Total(), 0);
    EXPECT_FALSE(program.application.Terminated());
    EXPECT_FALSE(IsWindowVisible(about.Handle()));
    EXPECT_TRUE(IsWindowEnabled(face.Handle()));
    // Centred on the screen.
    RECT bounds{};
    GetWindowRect(about.Handle(), &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    EXPECT_EQ(topLeft.x, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(topLeft.y, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
}

TEST_F(AboutBox, EscDoesNothingAndTheCloseBoxCloses) {
    bool stillOpenAfterEsc = false;
    WhileModal([&] { face.actAboutExecute(); },
               [&] {
                   PostMessageW(about.OKButton(), WM_KEYDOWN, VK_ESCAPE, 1);
                   MSG message;
                   while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                       program.application.HandleMessage(message);
                   }
                   stillOpenAfterEsc = IsWindowVisible(about.Handle()) != 0;
                   PostMessageW(about.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
               });
    EXPECT_TRUE(stillOpenAfterEsc);
    EXPECT_FALSE(IsWindowVisible(about.Handle()));
    EXPECT_TRUE(IsWindow(about.Handle())) << "closing hides the box; it is not destroyed";
}

TEST_F(AboutBox, MenuEntriesOpenItAndItReturnsWhereItWas) {
    WhileModal([&] { SendMessageW(face.Handle(), WM_COMMAND, kActAbout, 0); },
               [&] {
                   SetWindowPos(about.Handle(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
                   SendMessageW(about.OKButton(), BM_CLICK, 0, 0);
               });
    RECT shown{};
    WhileModal([&] { SendMessageW(face.Handle(), WM_COMMAND, kActAbout, 0); },
               [&] {
                   GetWindowRect(about.Handle(), &shown);
                   SendMessageW(about.OKButton(), BM_CLICK, 0, 0);
               });
    EXPECT_EQ(shown.left, 40);
    EXPECT_EQ(shown.top, 30);
}

TEST_F(AboutBox, TheTimerKeepsTickingWhileItIsOpen) {
    WhileModal([&] { face.actAboutExecute(); },
               [&] {
                   // Handled by the box's own loop, before the Enter that closes it.
                   PostMessageW(face.Handle(), WM_TIMER, 1, 0);
                   PostMessageW(about.OKButton(), WM_KEYDOWN, VK_RETURN, 1);
               });
    EXPECT_EQ(program.operations.timer, 1);
}

}  // namespace
}  // namespace virel::app::test
