// The progress window: hidden until the export shows it, its gauge, where it appears, and Esc.
#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "WindowTestSupport.h"
#include "core/Errors.h"

namespace virel::app::test {
namespace {

class ProgressBar : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;
    TFProgressBar& progress = *program.progressBar;
};

TEST_F(ProgressBar, HiddenAtStartWithItsCaptionSizeAndFrame) {
    EXPECT_FALSE(IsWindowVisible(progress.Handle()));
    EXPECT_EQ(Text(progress.Handle()), kWantProgressCaption);
    const SIZE client = ClientSize(progress.Handle());
    EXPECT_EQ(client.cx, 578);
    EXPECT_EQ(client.cy, 68);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(progress.Handle(), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(progress.Handle(), GWL_EXSTYLE));
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(progress.Handle(), GCLP_HCURSOR)),
              LoadCursorW(nullptr, IDC_WAIT));
}

TEST_F(ProgressBar, GaugeAtItsBoundsWithItsDesignRange) {
    TGauge& gauge = progress.Gauge();
    ASSERT_EQ(GetParent(gauge.Handle()), progress.Handle());
    const RECT bounds = BoundsInParent(gauge.Handle());
    EXPECT_EQ(bounds.left, 8);
    EXPECT_EQ(bounds.top, 8);
    EXPECT_EQ(bounds.right, 8 + 561);
    EXPECT_EQ(bounds.bottom, 8 + 52);
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 288);
    EXPECT_EQ(gauge.Progress(), 0);
}

TEST_F(ProgressBar, TheMainWindowDrivesTheGauge) {
    face.GaugeSetMaxValue(255);
    face.GaugeSetProgress(254);
    EXPECT_EQ(progress.Gauge().PercentDone(), 99);
    face.GaugeSetProgress(0);
    face.GaugeSetMaxValue(1);
    face.GaugeSetProgress(1);
    EXPECT_EQ(progress.Gauge().PercentDone(), 100);
    EXPECT_FALSE(IsWindowVisible(progress.Handle())) << "setting the gauge does not show it";
}

TEST_F(ProgressBar, ShownCentredOverTheMainWindowThenWhereItWas) {
    SetWindowPos(face.Handle(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    face.ShowProgress();
    EXPECT_TRUE(IsWindowVisible(progress.Handle()));
    EXPECT_EQ(GetActiveWindow(), progress.Handle());
    RECT main{}, shown{};
    GetWindowRect(face.Handle(), &main);
    GetWindowRect(progress.Handle(), &shown);
    EXPECT_EQ(
        shown.left,
        std::max(0L, main.left + ((main.right - main.left) - (shown.right - shown.left)) / 2));
    EXPECT_EQ(shown.top, main.top + ((main.bottom - main.top) - (shown.bottom - shown.top)) / 2);

    SetWindowPos(progress.Handle(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    face.CloseProgress();
    EXPECT_FALSE(IsWindowVisible(progress.Handle()));
    face.ShowProgress();
    GetWindowRect(progress.Handle(), &shown);
    EXPECT_EQ(shown.left, 10);
    EXPECT_EQ(shown.top, 20);
}

TEST_F(ProgressBar, NeverPlacedAboveOrLeftOfTheScreen) {
    // The main window is narrower than the progress window: centring would go left of 0.
    SetWindowPos(face.Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    face.ShowProgress();
    RECT shown{};
    GetWindowRect(progress.Handle(), &shown);
    EXPECT_EQ(shown.left, 0);
    EXPECT_GE(shown.top, 0);
}

TEST_F(ProgressBar, EscDuringTheMessagePassHidesItAndCancelsTheOperation) {
    face.ShowProgress();
    PostMessageW(progress.Handle(), WM_KEYDOWN, VK_ESCAPE,
                 1 | (static_cast<LPARAM>(MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC)) << 16));
    // Queued behind Esc: still handled in the same pass.
    PostMessageW(face.Handle(), WM_COMMAND, kActClear, 0);
    try {
        face.ProcessMessages();
        FAIL() << "the pass must throw the cancellation";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Обмен прерван пользователем");
    }
    EXPECT_FALSE(IsWindowVisible(progress.Handle()));
    EXPECT_EQ(program.operations.clear, 1);
    EXPECT_TRUE(program.boxes.empty()) << "the operation reports it, not the key handler";
    // The next pass has nothing left to throw.
    EXPECT_NO_THROW(face.ProcessMessages());
}

TEST_F(ProgressBar, TheExportsCancellationReachesTheErrorReport) {
    program.operations.onReadToExcel = [&] {
        face.ShowProgress();
        PostMessageW(progress.Handle(), WM_CHAR, 27, 1);
        for (int record = 0; record < 256; ++record) {
            face.ProcessMessages();
            face.SetArchiveNumberText(std::to_string(record));
        }
    };
    SendMessageW(face.BitBtn2(), BM_CLICK, 0, 0);
    ASSERT_EQ(program.boxes.size(), 1u);
    EXPECT_EQ(program.boxes[0].text, L"Обмен прерван пользователем.");
    EXPECT_EQ(face.ArchiveNumberText(), "0") << "no record after the cancellation";
}

TEST_F(ProgressBar, EscOutsideAnOperationIsReportedAtOnce) {
    SendMessageW(progress.Handle(), WM_CHAR, 27, 1);
    ASSERT_EQ(program.boxes.size(), 1u);
    EXPECT_EQ(program.boxes[0].text, L"Обмен прерван пользователем.");
}

TEST_F(ProgressBar, OtherKeysAreLeftAlone) {
    face.ShowProgress();
    for (wchar_t key : {L'a', L'\r', L' ', static_cast<wchar_t>(26)}) {
        PostMessageW(progress.Handle(), WM_CHAR, key, 1);
    }
    EXPECT_NO_THROW(face.ProcessMessages());
    EXPECT_TRUE(IsWindowVisible(progress.Handle()));
}

TEST_F(ProgressBar, TheCloseBoxOnlyHidesIt) {
    face.ShowProgress();
    SendMessageW(progress.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindowVisible(progress.Handle()));
    EXPECT_TRUE(IsWindow(progress.Handle()));
    face.CloseProgress();  // closing a hidden window has no effect
    EXPECT_FALSE(IsWindowVisible(progress.Handle()));
    EXPECT_NO_THROW(face.ProcessMessages());
}

TEST_F(ProgressBar, HourglassOverTheWindowAndTheGauge) {
    face.ShowProgress();
    for (HWND over : {progress.Handle(), progress.Gauge().Handle()}) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        SendMessageW(over, WM_SETCURSOR, reinterpret_cast<WPARAM>(over),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    }
}

}  // namespace
}  // namespace virel::app::test
