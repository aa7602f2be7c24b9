// The main window as the operator sees it: size, frame, every control's place, texts,
// tooltips, font, menus and the order in which Tab moves the focus.
#include <gtest/gtest.h>

#include <algorithm>

#include "ExpectedTexts.h"
#include "WindowTestSupport.h"
#include "app/platform/SerialPorts.h"
#include "core/meter/PortChoice.h"
#include "core/Utf16.h"

namespace virel::app::test {
namespace {

class FaceLayout : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;
};

TEST_F(FaceLayout, WindowFrameAndClientArea) {
    EXPECT_EQ(Text(face.Handle()), kWantAppTitle);
    const SIZE client = ClientSize(face.Handle());
    EXPECT_EQ(client.cx, 384);
    EXPECT_EQ(client.cy, 421);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(face.Handle(), GWL_STYLE));
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the border must not be resizable";
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(face.Handle(), GCLP_HBRBACKGROUND)),
              reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    EXPECT_EQ(program.application.MainWindow(), face.Handle());
}

struct TPlace {
    const char* name;
    HWND control;
    HWND parent;
    RECT bounds;  // left, top, right, bottom in the parent's client area
};

TEST_F(FaceLayout, EveryControlSitsAtItsBoundsInsideItsParent) {
    const HWND self = face.Handle();
    const TPlace places[] = {
        {"GroupBox1", face.GroupBox1(), self, {8, 8, 8 + 161, 8 + 81}},
        {"CB_ComPort", face.CB_ComPort(), face.GroupBox1(), {8, 16, 8 + 145, 16 + 21}},
        {"CB_Spead", face.CB_Spead(), face.GroupBox1(), {8, 48, 8 + 145, 48 + 21}},
        {"Image1", face.Image1(), self, {184, 8, 184 + 185, 8 + 81}},
        {"GroupBox4", face.GroupBox4(), self, {8, 96, 8 + 369, 96 + 81}},
        {"CB_ReadToFile", face.CB_ReadToFile(), face.GroupBox4(), {16, 24, 16 + 321, 24 + 17}},
        {"RxSpE_AutoTime",
         face.RxSpE_AutoTime().Handle(),
         face.GroupBox4(),
         {16, 48, 16 + 81, 48 + 21}},
        {"Label3", face.Label3(), face.GroupBox4(), {112, 48, 112 + 193, 48 + 13}},
        {"GroupBox2", face.GroupBox2(), self, {8, 184, 8 + 169, 184 + 185}},
        {"LE_DevNumber", face.LE_DevNumber(), face.GroupBox2(), {16, 32, 16 + 137, 32 + 21}},
        {"LE_MeasureNumber",
         face.LE_MeasureNumber(),
         face.GroupBox2(),
         {16, 72, 16 + 137, 72 + 21}},
        {"LE_Time", face.LE_Time(), face.GroupBox2(), {16, 112, 16 + 137, 112 + 21}},
        {"LE_Dose", face.LE_Dose(), face.GroupBox2(), {16, 152, 16 + 137, 152 + 21}},
        {"GroupBox3", face.GroupBox3(), self, {184, 184, 184 + 193, 184 + 185}},
        {"BitBtn1", face.BitBtn1(), face.GroupBox3(), {8, 16, 8 + 177, 16 + 25}},
        {"CB_PrintOnDevice", face.CB_PrintOnDevice(), face.GroupBox3(), {8, 48, 8 + 169, 48 + 17}},
        {"BitBtn3", face.BitBtn3(), face.GroupBox3(), {8, 72, 8 + 177, 72 + 25}},
        {"BitBtn4", face.BitBtn4(), face.GroupBox3(), {8, 112, 8 + 121, 112 + 25}},
        {"SpE_Num", face.SpE_Num().Handle(), face.GroupBox3(), {136, 114, 136 + 49, 114 + 21}},
        {"BitBtn2", face.BitBtn2(), face.GroupBox3(), {8, 152, 8 + 177, 152 + 25}},
        {"CheckBox1", face.CheckBox1(), self, {8, 376, 8 + 369, 376 + 17}},
        {"StatusBar", face.StatusBar(), self, {0, 402, 384, 421}},
    };
    for (const TPlace& place : places) {
        SCOPED_TRACE(place.name);
        ASSERT_TRUE(IsWindow(place.control));
        EXPECT_EQ(GetParent(place.control), place.parent);
        EXPECT_TRUE(IsWindowVisible(place.control));
        const RECT bounds = BoundsInParent(place.control);
        EXPECT_EQ(bounds.left, place.bounds.left);
        EXPECT_EQ(bounds.top, place.bounds.top);
        EXPECT_EQ(bounds.right, place.bounds.right);
        EXPECT_EQ(bounds.bottom, place.bounds.bottom);
    }
}

TEST_F(FaceLayout, CaptionsAndInitialTexts) {
    EXPECT_EQ(Text(face.GroupBox1()), kWantGroupComPort);
    EXPECT_EQ(Text(face.GroupBox2()), kWantGroupLast);
    EXPECT_EQ(Text(face.GroupBox3()), kWantGroupService);
    EXPECT_EQ(Text(face.GroupBox4()), kWantGroupCurrent);
    EXPECT_EQ(Text(face.CB_ReadToFile()), kWantReadToFile);
    EXPECT_EQ(Text(face.Label3()), kWantLabelAutoTime);
    EXPECT_EQ(Text(face.CB_PrintOnDevice()), kWantPrintOnDevice);
    EXPECT_EQ(Text(face.CheckBox1()), kWantCheckBox1);
    EXPECT_EQ(Text(face.BitBtn1()), kWantPrintCaption);
    EXPECT_EQ(Text(face.BitBtn2()), kWantReadToExcelCaption);
    EXPECT_EQ(Text(face.BitBtn3()), kWantClearCaption);
    EXPECT_EQ(Text(face.BitBtn4()), kWantReadArcNCaption);

    EXPECT_EQ(Text(face.CB_ComPort()), L"COM1");
    EXPECT_EQ(SendMessageW(face.CB_ComPort(), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Text(face.CB_Spead()), L"4800");
    EXPECT_EQ(SendMessageW(face.CB_Spead(), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(face.RxSpE_AutoTime().Text(), L"60");
    EXPECT_EQ(face.RxSpE_AutoTime().MinValue(), 5);
    EXPECT_EQ(face.RxSpE_AutoTime().MaxValue(), 1000000000);
    EXPECT_EQ(face.SpE_Num().Text(), L"0");
    EXPECT_EQ(face.SpE_Num().MinValue(), 0);
    EXPECT_EQ(face.SpE_Num().MaxValue(), 255);
    for (HWND field :
         {face.LE_DevNumber(), face.LE_MeasureNumber(), face.LE_Time(), face.LE_Dose()}) {
        EXPECT_EQ(Text(field), L"");
        EXPECT_TRUE(GetWindowLongPtrW(field, GWL_STYLE) & ES_READONLY);
    }
    for (HWND box : {face.CB_ReadToFile(), face.CB_PrintOnDevice(), face.CheckBox1()}) {
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    }
    EXPECT_EQ(face.StatusText(), "");
}

TEST_F(FaceLayout, ComboBoxesOfferTheirItems) {
    const auto items = [](HWND combo) {
        std::vector<std::wstring> result;
        const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t item[32] = L"";
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(item));
            result.emplace_back(item);
        }
        return result;
    };
    // COM1..COM4, then the other ports this PC has.
    const std::vector<std::wstring> listed = items(face.CB_ComPort());
    ASSERT_GE(listed.size(), 4u);
    EXPECT_EQ(std::vector<std::wstring>(listed.begin(), listed.begin() + 4),
              (std::vector<std::wstring>{L"COM1", L"COM2", L"COM3", L"COM4"}));
    std::vector<std::wstring> ports;
    for (const std::string& port : PortList(PresentSerialPorts())) ports.push_back(Widen(port));
    EXPECT_EQ(listed, ports);
    EXPECT_EQ(items(face.CB_Spead()), (std::vector<std::wstring>{L"4800", L"9600"}));
    // Editable text with a drop-down list.
    for (HWND combo : {face.CB_ComPort(), face.CB_Spead()}) {
        EXPECT_EQ(GetWindowLongPtrW(combo, GWL_STYLE) & 3, CBS_DROPDOWN);
    }
}

TEST_F(FaceLayout, LabelledEditsHaveTheirLabelAboveThem) {
    const std::pair<HWND, const wchar_t*> fields[] = {
        {face.LE_DevNumber(), kWantLabelDevNumber},
        {face.LE_MeasureNumber(), kWantLabelMeasureNumber},
        {face.LE_Time(), kWantLabelTime},
        {face.LE_Dose(), kWantLabelDose},
    };
    for (const auto& [edit, text] : fields) {
        SCOPED_TRACE(testing::PrintToString(text));
        const HWND label = face.EditLabel(edit);
        ASSERT_TRUE(IsWindow(label));
        EXPECT_EQ(Text(label), text);
        EXPECT_EQ(GetParent(label), GetParent(edit));
        const RECT labelBounds = BoundsInParent(label);
        const RECT editBounds = BoundsInParent(edit);
        EXPECT_EQ(labelBounds.left, editBounds.left);
        EXPECT_EQ(labelBounds.bottom, editBounds.top - 3);
        EXPECT_GT(labelBounds.right, labelBounds.left);
    }
}

TEST_F(FaceLayout, ToolTipsOfTheControls) {
    EXPECT_EQ(ToolTipOf(face, face.CB_Spead()), kWantHintSpeed);
    EXPECT_EQ(ToolTipOf(face, face.CB_ReadToFile()), kWantHintToFile);
    EXPECT_EQ(ToolTipOf(face, face.RxSpE_AutoTime().Handle()), kWantHintAutoTime);
    EXPECT_EQ(ToolTipOf(face, face.LE_MeasureNumber()), kWantHintMeasureNumber);
    EXPECT_EQ(ToolTipOf(face, face.LE_Time()), kWantHintTime);
    EXPECT_EQ(ToolTipOf(face, face.SpE_Num().Handle()), kWantHintArchiveNumber);
    EXPECT_EQ(ToolTipOf(face, face.SpE_Num().ButtonHandle()), kWantHintArchiveNumber);
    EXPECT_EQ(ToolTipOf(face, face.RxSpE_AutoTime().ButtonHandle()), kWantHintAutoTime);
    EXPECT_EQ(ToolTipOf(face, face.CheckBox1()), kWantHintToFile);
    // Buttons show their action's hint; actPrint's has two lines.
    EXPECT_EQ(ToolTipOf(face, face.BitBtn1()), kWantPrintHint);
    EXPECT_EQ(ToolTipOf(face, face.BitBtn2()), kWantReadToExcelHint);
    EXPECT_EQ(ToolTipOf(face, face.BitBtn3()), kWantClearHint);
    EXPECT_EQ(ToolTipOf(face, face.BitBtn4()), kWantReadArcNHint);
    // And these have none.
    for (HWND control : {face.CB_ComPort(), face.LE_DevNumber(), face.LE_Dose(),
                         face.CB_PrintOnDevice(), face.Image1()}) {
        EXPECT_EQ(ToolTipOf(face, control), L"");
    }
}

TEST_F(FaceLayout, ControlsUseMsSansSerifEightPointInCyrillic) {
    for (HWND control : {face.CB_ComPort(), face.LE_Dose(), face.BitBtn1(), face.CheckBox1(),
                         face.Label3(), face.SpE_Num().Handle(), face.GroupBox2()}) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW info{};
        ASSERT_TRUE(GetObjectW(font, sizeof(info), &info));
        EXPECT_EQ(info.lfHeight, -11);
        EXPECT_EQ(info.lfCharSet, RUSSIAN_CHARSET);
        EXPECT_STREQ(info.lfFaceName, kWantFontName);
    }
}

TEST_F(FaceLayout, LogoIsScaledToFitWithItsAspectRatio) {
    // 216 x 95 into 185 x 81: the height limits, 81 / 95 of the width is 184.
    const RECT fitted = FitPicture(SIZE{216, 95}, SIZE{185, 81}, TFit::Proportional);
    EXPECT_EQ(fitted.left, 0);
    EXPECT_EQ(fitted.top, 0);
    EXPECT_EQ(fitted.right, 184);
    EXPECT_EQ(fitted.bottom, 81);
    const RECT wide = FitPicture(SIZE{100, 10}, SIZE{50, 50}, TFit::Proportional);
    EXPECT_EQ(wide.right, 50);
    EXPECT_EQ(wide.bottom, 5);
    const RECT stretched = FitPicture(SIZE{216, 95}, SIZE{145, 65}, TFit::Stretch);
    EXPECT_EQ(stretched.right, 145);
    EXPECT_EQ(stretched.bottom, 65);
}

TEST_F(FaceLayout, ButtonsAreDrawnWithTheGlyphFivePixelsFromTheLeft) {
    // Render BitBtn1 into a bitmap and look at the glyph's red arrow and the olive background.
    const RECT bounds = BoundsInParent(face.BitBtn1());
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
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
    const int glyphTop = (height - 16) / 2;
    // The arrow's shaft starts at the glyph's left edge, rows 7 and 8.
    EXPECT_EQ(GetPixel(dc, 5, glyphTop + 7), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(dc, 4, glyphTop + 7), RGB(255, 0, 0));
    // Olive is transparent: the button face shows through.
    EXPECT_EQ(GetPixel(dc, 5, glyphTop), GetSysColor(COLOR_BTNFACE));
    // Disabled, the greyed half is drawn: no red left.
    item.itemState = ODS_DISABLED;
    SendMessageW(face.Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(GetPixel(dc, 5, glyphTop + 7), RGB(128, 128, 128));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// The text of a menu entry and its command.
struct TEntry {
    std::wstring text;
    UINT id;
    bool popup;
    bool separator;
};

std::vector<TEntry> Entries(HMENU menu) {
    std::vector<TEntry> entries;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = L"";
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        entries.push_back(
            {text, info.wID, info.hSubMenu != nullptr, (info.fType & MFT_SEPARATOR) != 0});
    }
    return entries;
}

TEST_F(FaceLayout, MenuBarHasServiceAndAbout) {
    const HMENU bar = face.MainMenu1();
    ASSERT_NE(bar, nullptr);
    const auto top = Entries(bar);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].text, kWantMenuService);
    EXPECT_TRUE(top[0].popup);
    EXPECT_EQ(top[1].text, kWantAboutCaption);
    EXPECT_FALSE(top[1].popup) << "N3 runs the about box directly";
    EXPECT_EQ(top[1].id, static_cast<UINT>(kActAbout));

    const auto service = Entries(GetSubMenu(bar, 0));
    ASSERT_EQ(service.size(), 7u);
    EXPECT_EQ(service[0].text, std::wstring(kWantSetTimeCaption) + L"\tCtrl+T");
    EXPECT_EQ(service[0].id, static_cast<UINT>(kSetTime));
    EXPECT_EQ(service[1].text, std::wstring(kWantReadToExcelCaption) + L"\tCtrl+R");
    EXPECT_EQ(service[1].id, static_cast<UINT>(kActReadToExcel));
    EXPECT_EQ(service[2].text, std::wstring(kWantSaveToFileCaption) + L"\tCtrl+S");
    EXPECT_EQ(service[2].id, static_cast<UINT>(kActSaveToFile));
    EXPECT_EQ(service[3].text, std::wstring(kWantHarvestCaption) + L"\tCtrl+H");
    EXPECT_EQ(service[3].id, static_cast<UINT>(kActHarvest));
    EXPECT_EQ(service[4].text, std::wstring(kWantJournalCaption) + L"\tCtrl+J");
    EXPECT_EQ(service[4].id, static_cast<UINT>(kActJournal));
    EXPECT_TRUE(service[5].separator);
    EXPECT_EQ(service[6].text, std::wstring(kWantExitCaption) + L"\tCtrl+X");
    EXPECT_EQ(service[6].id, static_cast<UINT>(kActExit));
    // Alt and a letter picks one entry: no two entries of the menu underline the same letter.
    std::vector<wchar_t> letters;
    for (const auto& entry : service) {
        const auto amp = entry.text.find(L'&');
        if (amp == std::wstring::npos) continue;
        wchar_t letter = entry.text[amp + 1];
        CharUpperBuffW(&letter, 1);
        EXPECT_EQ(std::count(letters.begin(), letters.end(), letter), 0) << entry.text;
        letters.push_back(letter);
    }
    EXPECT_EQ(letters.size(), 6u);
}

TEST_F(FaceLayout, PopupMenuEntries) {
    const auto entries = Entries(face.PopupMenu1());
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[0].text, std::wstring(kWantAboutCaption) + L"\tCtrl+A");
    EXPECT_EQ(entries[0].id, static_cast<UINT>(kActAbout));
    EXPECT_TRUE(entries[1].separator);
    EXPECT_EQ(entries[2].text, std::wstring(kWantSetTimeCaption) + L"\tCtrl+T");
    EXPECT_EQ(entries[2].id, static_cast<UINT>(kSetTime));
    EXPECT_EQ(entries[3].text, std::wstring(kWantReadToExcelCaption) + L"\tCtrl+R");
    EXPECT_EQ(entries[3].id, static_cast<UINT>(kActReadToExcel));
    EXPECT_EQ(entries[4].text, std::wstring(kWantSaveToFileCaption) + L"\tCtrl+S");
    EXPECT_EQ(entries[4].id, static_cast<UINT>(kActSaveToFile));
    EXPECT_EQ(entries[5].text, std::wstring(kWantHarvestCaption) + L"\tCtrl+H");
    EXPECT_EQ(entries[5].id, static_cast<UINT>(kActHarvest));
    EXPECT_EQ(entries[6].text, std::wstring(kWantJournalCaption) + L"\tCtrl+J");
    EXPECT_EQ(entries[6].id, static_cast<UINT>(kActJournal));
    EXPECT_TRUE(entries[7].separator);
    EXPECT_EQ(entries[8].text, std::wstring(kWantExitCaption) + L"\tCtrl+X");
    EXPECT_EQ(entries[8].id, static_cast<UINT>(kActExit));
}

TEST_F(FaceLayout, TheFileExportsMenuEntryShowsItsHintInTheStatusBarWhileHighlighted) {
    face.SetStatusText("Считывание текущих значений произведено успешно");
    const auto select = [&](UINT item, UINT flags) {
        SendMessageW(face.Handle(), WM_MENUSELECT, MAKEWPARAM(item, flags),
                     reinterpret_cast<LPARAM>(face.PopupMenu1()));
    };
    select(kActSaveToFile, MF_STRING | MF_HILITE);
    EXPECT_EQ(Widen(face.StatusText()), kWantSaveToFileHint);
    select(kActSaveToFile, MF_STRING | MF_HILITE);  // again: the saved text stays the old one
    select(kActReadToExcel, MF_STRING | MF_HILITE);
    EXPECT_EQ(face.StatusText(), "Считывание текущих значений произведено успешно");
    select(kActJournal, MF_STRING | MF_HILITE);
    EXPECT_EQ(Widen(face.StatusText()),
              L"Записи журнала доз за выбранный период: сумма доз, часы прибора, выгрузка в файл");
    select(kActSaveToFile, MF_STRING | MF_HILITE);
    SendMessageW(face.Handle(), WM_EXITMENULOOP, FALSE, 0);
    EXPECT_EQ(face.StatusText(), "Считывание текущих значений произведено успешно");
}

HMENU shownPopup = nullptr;

LRESULT CALLBACK WatchPopups(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITMENUPOPUP) {
        shownPopup = reinterpret_cast<HMENU>(call->wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK EndTheMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
}

TEST_F(FaceLayout, RightClickShowsThePopupMenu) {
    shownPopup = nullptr;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchPopups, nullptr, GetCurrentThreadId());
    SetTimer(nullptr, 0, 50, EndTheMenu);
    RECT bounds{};
    GetWindowRect(face.Handle(), &bounds);
    SendMessageW(face.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(face.Handle()),
                 MAKELPARAM(bounds.left + 100, bounds.top + 300));
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(shownPopup, face.PopupMenu1());
    EXPECT_EQ(program.operations.Total(), 0);
}

// The order in which Tab visits the controls, starting from the first.
std::vector<HWND> TabOrder(const TFace& face) {
    return {face.CB_ComPort(),       face.CB_Spead(),
            face.BitBtn2(),          face.BitBtn1(),
            face.CB_PrintOnDevice(), face.BitBtn3(),
            face.BitBtn4(),          face.SpE_Num().Handle(),
            face.CB_ReadToFile(),    face.RxSpE_AutoTime().Handle(),
            face.LE_DevNumber(),     face.LE_MeasureNumber(),
            face.LE_Time(),          face.LE_Dose(),
            face.CheckBox1()};
}

TEST_F(FaceLayout, FocusStartsOnTheComPortAndTabFollowsTheOrder) {
    ASSERT_EQ(FocusedControl(), face.CB_ComPort());
    const auto order = TabOrder(face);
    for (std::size_t step = 1; step <= order.size(); ++step) {
        PressKey(program.application, GetFocus(), VK_TAB);
        EXPECT_EQ(FocusedControl(), order[step % order.size()]) << "after Tab number " << step;
    }
}

TEST_F(FaceLayout, ShiftTabGoesBackwards) {
    const auto order = TabOrder(face);
    for (std::size_t step = 1; step <= order.size(); ++step) {
        PressKey(program.application, GetFocus(), VK_TAB, false, true);
        EXPECT_EQ(FocusedControl(), order[(order.size() - step) % order.size()])
            << "after Shift+Tab number " << step;
    }
}

TEST_F(FaceLayout, FocusComesBackToTheSameControlWhenTheWindowIsActivatedAgain) {
    SetFocus(face.LE_Time());
    SetActiveWindow(program.progressBar->Handle());
    program.progressBar->Show();
    Pump(program.application);
    program.progressBar->Close();
    SetActiveWindow(face.Handle());
    Pump(program.application);
    EXPECT_EQ(FocusedControl(), face.LE_Time());
}

}  // namespace
}  // namespace virel::app::test
