// The windows moved to a monitor of another dpi: WM_DPICHANGED, sent here as the system sends
// it, lays them out at the new dpi, and back at 96 they are exactly as designed again. The
// rounding is the system's MulDiv.
#include <gtest/gtest.h>

#include <climits>

#include "DpiExpectations.h"
#include "WindowTestSupport.h"
#include "core/widgets/DpiScale.h"
#include "win/Dpi.h"

namespace virel::app::test {
namespace {

TEST(DpiArithmetic, MulDivAgreesWithTheSystemsMulDiv) {
    int compared = 0;
    for (int number = -700; number <= 700; number += 7) {
        for (int numerator : {96, 120, 144, 168, 192, 240, 288, 72, -144, 0}) {
            for (int denominator : {96, 72, 3, 2, -96, 7, 0}) {
                ASSERT_EQ(dpi::MulDiv(number, numerator, denominator),
                          ::MulDiv(number, numerator, denominator))
                    << number << " * " << numerator << " / " << denominator;
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 201 * 10 * 7);
    for (const auto& [a, b, c] : {std::tuple{INT_MAX, 2, 1}, std::tuple{INT_MAX, INT_MAX, INT_MAX},
                                  std::tuple{INT_MIN, 1, 1}, std::tuple{INT_MIN + 1, 1, 1},
                                  std::tuple{INT_MAX, 3, 2}, std::tuple{-INT_MAX, 3, 3}}) {
        EXPECT_EQ(dpi::MulDiv(a, b, c), ::MulDiv(a, b, c)) << a << " * " << b << " / " << c;
    }
}

// What the system does when a window is dragged onto a monitor of `dpi`: it suggests the
// window's rectangle scaled by the ratio of the dpis, where it is, and sends WM_DPICHANGED.
void MoveToMonitorOf(const TCustomWindow& window, int dpi) {
    RECT suggested{};
    GetWindowRect(window.Handle(), &suggested);
    suggested.right =
        suggested.left + ::MulDiv(suggested.right - suggested.left, dpi, window.Dpi());
    suggested.bottom =
        suggested.top + ::MulDiv(suggested.bottom - suggested.top, dpi, window.Dpi());
    SendMessageW(window.Handle(), win::kWmDpiChanged, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
}

class DpiChange : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;
};

TEST_F(DpiChange, TheMainWindowIsLaidOutAt144AndBackAt96AsDesigned) {
    ASSERT_EQ(face.Dpi(), 96) << "the test prefix is at 96 dpi";
    RECT before{};
    GetWindowRect(face.Handle(), &before);
    MoveToMonitorOf(face, 144);
    ExpectMainWindowAt144(face);
    RECT after{};
    GetWindowRect(face.Handle(), &after);
    EXPECT_EQ(after.left, before.left) << "the window stays where the system puts it";
    EXPECT_EQ(after.top, before.top);

    MoveToMonitorOf(face, 96);
    EXPECT_EQ(face.Dpi(), 96);
    const SIZE client = ClientSize(face.Handle());
    EXPECT_EQ(client.cx, 384);
    EXPECT_EQ(client.cy, 421);
    const std::pair<HWND, RECT> places[] = {
        {face.GroupBox1(), {8, 8, 169, 89}},
        {face.CB_ComPort(), {8, 16, 153, 37}},
        {face.CB_Spead(), {8, 48, 153, 69}},
        {face.Image1(), {184, 8, 369, 89}},
        {face.RxSpE_AutoTime().Handle(), {16, 48, 97, 69}},
        {face.LE_Dose(), {16, 152, 153, 173}},
        {face.EditLabel(face.LE_Dose()), {16, 136, 0, 149}},
        {face.BitBtn1(), {8, 16, 185, 41}},
        {face.SpE_Num().Handle(), {136, 114, 185, 135}},
        {face.CheckBox1(), {8, 376, 377, 393}},
        {face.StatusBar(), {0, 402, 384, 421}},
    };
    for (const auto& [control, want] : places) {
        const RECT got = BoundsInParent(control);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        if (want.right) {
            EXPECT_EQ(got.right, want.right);
        }
        EXPECT_EQ(got.bottom, want.bottom);
    }
    RECT button{};
    GetWindowRect(face.SpE_Num().ButtonHandle(), &button);
    EXPECT_EQ(button.right - button.left, TSpinEdit::kButtonWidth);
    for (HWND control : {face.CB_ComPort(), face.LE_Dose(), face.BitBtn1(), face.Label3(),
                         face.StatusBar(), face.ToolTips()}) {
        EXPECT_EQ(FontHeightOf(control), -11);
    }
}

TEST_F(DpiChange, AButtonsGlyphGrowsWithTheDpi) {
    MoveToMonitorOf(face, 144);
    // BitBtn1 at 144 is 266 x 38: the glyph is 24 x 24, 8 pixels (7.5) from the left edge and
    // centred, (38 - 24) / 2 = 7 from the top. The arrow's shaft, rows 7 and 8 of the 16 x 16
    // glyph and its left edge, covers rows 11 to 13 and columns 8 and 9 now.
    const RECT bounds = BoundsInParent(face.BitBtn1());
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    ASSERT_EQ(height, 38);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = face.BitBtn1();
    item.hDC = dc;
    item.rcItem = RECT{0, 0, width, height};
    item.itemAction = ODA_DRAWENTIRE;
    SendMessageW(face.Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(GetPixel(dc, 8, 7 + 12), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 9, 7 + 12), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(dc, 7, 7 + 12), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 8, 7), GetSysColor(COLOR_BTNFACE)) << "olive stays transparent";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(DpiChange, TheAboutBoxAndTheProgressWindowFollowTheirMonitorToo) {
    MoveToMonitorOf(*program.aboutBox, 144);
    ExpectAboutBoxAt144(*program.aboutBox);
    MoveToMonitorOf(*program.progressBar, 144);
    ExpectProgressWindowAt144(*program.progressBar);

    MoveToMonitorOf(*program.aboutBox, 96);
    EXPECT_EQ(ClientSize(program.aboutBox->Handle()).cx, 298);
    EXPECT_EQ(ClientSize(program.aboutBox->Handle()).cy, 213);
    const RECT ok = BoundsInParent(program.aboutBox->OKButton());
    EXPECT_EQ(ok.left, 111);
    EXPECT_EQ(ok.bottom, 205);
    MoveToMonitorOf(*program.progressBar, 96);
    EXPECT_EQ(ClientSize(program.progressBar->Handle()).cx, 578);
    EXPECT_EQ(ClientSize(program.progressBar->Handle()).cy, 68);
    const RECT gauge = BoundsInParent(program.progressBar->Gauge().Handle());
    EXPECT_EQ(gauge.right, 569);
    EXPECT_EQ(gauge.bottom, 60);
}

}  // namespace
}  // namespace virel::app::test
