#include "DpiExpectations.h"

#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "WindowTestSupport.h"

namespace virel::app::test {

namespace {

struct TPlace {
    const char* name;
    HWND control;
    RECT bounds;  // left, top, right, bottom in the parent's client area
};

void ExpectPlaces(std::initializer_list<TPlace> places) {
    for (const TPlace& place : places) {
        SCOPED_TRACE(place.name);
        const RECT bounds = BoundsInParent(place.control);
        EXPECT_EQ(bounds.left, place.bounds.left);
        EXPECT_EQ(bounds.top, place.bounds.top);
        EXPECT_EQ(bounds.right, place.bounds.right);
        EXPECT_EQ(bounds.bottom, place.bounds.bottom);
    }
}

}  // namespace

LONG FontHeightOf(HWND control) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW info{};
    if (!font || !GetObjectW(font, sizeof(info), &info)) return 0;
    EXPECT_STREQ(info.lfFaceName, kWantFontName);
    EXPECT_EQ(info.lfCharSet, RUSSIAN_CHARSET);
    return info.lfHeight;
}

void ExpectMainWindowAt144(TFace& face) {
    EXPECT_EQ(face.Dpi(), 144);
    const SIZE client = ClientSize(face.Handle());
    EXPECT_EQ(client.cx, 576);  // 384
    EXPECT_EQ(client.cy, 632);  // 421: 631.5
    ExpectPlaces({
        // 8, 8, 161 x 81: right 169 -> 253.5, bottom 89 -> 133.5
        {"GroupBox1", face.GroupBox1(), {12, 12, 254, 134}},
        // 8, 16, 145 x 21 closed: 153 -> 229.5, 37 -> 55.5
        {"CB_ComPort", face.CB_ComPort(), {12, 24, 230, 56}},
        {"CB_Spead", face.CB_Spead(), {12, 72, 230, 104}},
        // 184, 8, 185 x 81: 369 -> 553.5
        {"Image1", face.Image1(), {276, 12, 554, 134}},
        {"GroupBox4", face.GroupBox4(), {12, 144, 566, 266}},
        {"CB_ReadToFile", face.CB_ReadToFile(), {24, 36, 506, 62}},
        {"RxSpE_AutoTime", face.RxSpE_AutoTime().Handle(), {24, 72, 146, 104}},
        {"Label3", face.Label3(), {168, 72, 458, 92}},
        {"GroupBox2", face.GroupBox2(), {12, 276, 266, 554}},
        {"LE_DevNumber", face.LE_DevNumber(), {24, 48, 230, 80}},
        // 16, 152, 137 x 21: 173 -> 259.5
        {"LE_Dose", face.LE_Dose(), {24, 228, 230, 260}},
        {"GroupBox3", face.GroupBox3(), {276, 276, 566, 554}},
        // 8, 16, 177 x 25: 185 -> 277.5, 41 -> 61.5
        {"BitBtn1", face.BitBtn1(), {12, 24, 278, 62}},
        {"BitBtn4", face.BitBtn4(), {12, 168, 194, 206}},
        // 136, 114, 49 x 21: 114 -> 171, 185 -> 277.5, 135 -> 202.5
        {"SpE_Num", face.SpE_Num().Handle(), {204, 171, 278, 203}},
        {"BitBtn2", face.BitBtn2(), {12, 228, 278, 266}},
        // 8, 376, 369 x 17: 377 -> 565.5, 393 -> 589.5
        {"CheckBox1", face.CheckBox1(), {12, 564, 566, 590}},
        // 0, 402, 384 x 19: ends at the client area's bottom edge.
        {"StatusBar", face.StatusBar(), {0, 603, 576, 632}},
    });
    // A labelled edit's label ends 3 pixels (4.5) above it, as wide as its text.
    const RECT label = BoundsInParent(face.EditLabel(face.LE_Dose()));
    EXPECT_EQ(label.left, 24);
    EXPECT_EQ(label.bottom, 224);  // 149 -> 223.5
    {
        const HDC dc = GetDC(face.Handle());
        const HGDIOBJ old = SelectObject(
            dc, reinterpret_cast<HFONT>(SendMessageW(face.LE_Dose(), WM_GETFONT, 0, 0)));
        SIZE text{};
        GetTextExtentPoint32W(dc, kWantLabelDose, static_cast<int>(wcslen(kWantLabelDose)), &text);
        SelectObject(dc, old);
        ReleaseDC(face.Handle(), dc);
        EXPECT_EQ(label.right - label.left, text.cx);
    }
    // The spin button: 15 -> 22.5.
    RECT button{};
    GetWindowRect(face.SpE_Num().ButtonHandle(), &button);
    EXPECT_EQ(button.right - button.left, 23);
    for (HWND control :
         {face.CB_ComPort(), face.LE_Dose(), face.BitBtn1(), face.CheckBox1(), face.Label3(),
          face.SpE_Num().Handle(), face.GroupBox2(), face.StatusBar(), face.ToolTips()}) {
        EXPECT_EQ(FontHeightOf(control), -16) << "8 points at 144 dpi";
    }
    // The logo, 216 x 95, fits 278 x 122 by its height: 122 * 216 / 95 = 277.
    RECT image{};
    GetClientRect(face.Image1(), &image);
    const RECT picture =
        FitPicture(SIZE{216, 95}, SIZE{image.right, image.bottom}, TFit::Proportional);
    EXPECT_EQ(picture.right, 277);
    EXPECT_EQ(picture.bottom, 122);
}

void ExpectAboutBoxAt144(const TAboutBox& about) {
    EXPECT_EQ(about.Dpi(), 144);
    const SIZE client = ClientSize(about.Handle());
    EXPECT_EQ(client.cx, 447);  // 298
    EXPECT_EQ(client.cy, 320);  // 213: 319.5
    ExpectPlaces({
        {"Panel1", about.Panel1(), {12, 12, 434, 254}},
        {"ProgramIcon", about.ProgramIcon(), {12, 12, 230, 110}},
        {"Copyright", about.Copyright(), {12, 132, 170, 171}},
        {"Comments", about.Comments(), {12, 180, 402, 219}},
        // 111, 180, 75 x 25: 111 -> 166.5, 186 -> 279, 205 -> 307.5
        {"OK", about.OKButton(), {167, 270, 279, 308}},
    });
    const RECT name = BoundsInParent(about.ProductName());
    EXPECT_EQ(name.left, 252);
    EXPECT_EQ(name.top, 24);
    EXPECT_EQ(FontHeightOf(about.OKButton()), -16);
    EXPECT_EQ(FontHeightOf(about.ProductName()), -16);
}

void ExpectProgressWindowAt144(TFProgressBar& progress) {
    EXPECT_EQ(progress.Dpi(), 144);
    const SIZE client = ClientSize(progress.Handle());
    EXPECT_EQ(client.cx, 867);  // 578
    EXPECT_EQ(client.cy, 102);  // 68
    // 8, 8, 561 x 52: 569 -> 853.5
    ExpectPlaces({{"Gauge", progress.Gauge().Handle(), {12, 12, 854, 90}}});
    EXPECT_EQ(FontHeightOf(progress.Gauge().Handle()), -16);
}

}  // namespace virel::app::test
