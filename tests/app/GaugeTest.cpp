// The percentage gauge as a real window: its values, how often it repaints, and its pixels
// read back from a render into a memory bitmap.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "app/controls/Gauge.h"
#include "core/Errors.h"

namespace virel::app {
namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A 32-bit top-down bitmap the gauge renders into, with its pixels readable.
class TPixels {
public:
    TPixels(int width, int height) : width_(width), height_(height) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        // Something the gauge must paint over everywhere.
        for (int i = 0; i < width * height; ++i) bits_[i] = 0x00FF00;
    }
    ~TPixels() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    TPixels(const TPixels&) = delete;
    TPixels& operator=(const TPixels&) = delete;

    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const std::uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Count of pixels of a colour in [x0, x1) x [y0, y1).
    int Count(COLORREF colour, int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += At(x, y) == colour;
        return n;
    }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    std::uint32_t* bits_ = nullptr;
};

class GaugeWindow : public ::testing::Test {
protected:
    // The progress window's gauge: 561 x 52, so 559 x 50 inside the border.
    static constexpr int kWidth = 561, kHeight = 52;

    void SetUp() override {
        // The gauge paints only when shown. Shown without activation, so Wine leaves the
        // window unmanaged and destroys it at once even without a window manager.
        parent_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 20, 20, 578, 68,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        ShowWindow(parent_, SW_SHOWNOACTIVATE);
        ASSERT_TRUE(gauge_.Create(parent_, 7, 8, 8, kWidth, kHeight));
        LOGFONTW lf{};
        lf.lfHeight = -11;
        lf.lfCharSet = RUSSIAN_CHARSET;
        lf.lfWeight = FW_BOLD;
        wcscpy_s(lf.lfFaceName, L"MS Sans Serif");
        font_ = CreateFontIndirectW(&lf);
        SendMessageW(gauge_.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        UpdateWindow(parent_);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        DeleteObject(font_);
    }

    void Render(const TPixels& pixels) {
        SendMessageW(gauge_.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(pixels.Dc()),
                     PRF_CLIENT);
    }
    // Black pixels in the first inner row, which the centred text never reaches.
    static int BarOnTopRow(const TPixels& p) { return p.Count(kBlack, 1, 1, kWidth - 1, 2); }

    HWND parent_ = nullptr;
    HFONT font_ = nullptr;
    TGauge gauge_;
};

// The rules themselves are GaugeMath's; here the window keeps to them.
TEST_F(GaugeWindow, ProgressIsLimitedAndGivesThePercent) {
    gauge_.SetMaxValue(255);
    gauge_.SetProgress(300);
    EXPECT_EQ(gauge_.Progress(), 255);
    EXPECT_EQ(gauge_.PercentDone(), 100);
    gauge_.SetProgress(-5);
    EXPECT_EQ(gauge_.Progress(), 0);
    gauge_.SetMaxValue(0);
    EXPECT_EQ(gauge_.PercentDone(), 0);
}

TEST_F(GaugeWindow, MaximumBelowTheMinimumIsRefusedAndChangesNothing) {
    gauge_.SetMaxValue(10);
    gauge_.SetProgress(4);
    const int repaints = gauge_.RepaintCount();
    try {
        gauge_.SetMaxValue(-1);
        FAIL() << "accepted a maximum below the minimum";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Value must be between 1 and 2147483647");
    }
    EXPECT_EQ(gauge_.MaxValue(), 10);
    EXPECT_EQ(gauge_.Progress(), 4);
    EXPECT_EQ(gauge_.RepaintCount(), repaints);
}

TEST_F(GaugeWindow, LowerMaximumPullsProgressDownAndRepaints) {
    gauge_.SetMaxValue(100);
    gauge_.SetProgress(80);
    const int repaints = gauge_.RepaintCount();
    gauge_.SetMaxValue(50);
    EXPECT_EQ(gauge_.Progress(), 50);
    EXPECT_EQ(gauge_.PercentDone(), 100);
    EXPECT_EQ(gauge_.RepaintCount(), repaints + 1);
    gauge_.SetMaxValue(200);  // percent drops from 100 to 25
    EXPECT_EQ(gauge_.Progress(), 50);
    EXPECT_EQ(gauge_.PercentDone(), 25);
    EXPECT_EQ(gauge_.RepaintCount(), repaints + 2);
}

TEST_F(GaugeWindow, ExportOf256RecordsRepaintsOnlyOnPercentChanges) {
    gauge_.SetProgress(0);
    gauge_.SetMaxValue(255);
    const int repaints = gauge_.RepaintCount();
    const int paints = gauge_.PaintCount();
    for (int n = 0; n <= 255; ++n) gauge_.SetProgress(n);
    const int made = gauge_.RepaintCount() - repaints;
    EXPECT_LE(made, 101);
    EXPECT_EQ(made, 100);  // 1% .. 100%, each once
    // Each repaint is painted at once, not merely queued.
    EXPECT_EQ(gauge_.PaintCount() - paints, made);
    // The same progress again changes nothing.
    gauge_.SetProgress(255);
    EXPECT_EQ(gauge_.RepaintCount() - repaints, made);
}

TEST_F(GaugeWindow, DrawsBorderWhiteBackgroundAndNoBarAtZero) {
    TPixels p(kWidth, kHeight);
    Render(p);
    EXPECT_EQ(p.Count(kBlack, 0, 0, kWidth, 1), kWidth);                  // top border
    EXPECT_EQ(p.Count(kBlack, 0, kHeight - 1, kWidth, kHeight), kWidth);  // bottom border
    EXPECT_EQ(p.Count(kBlack, 0, 0, 1, kHeight), kHeight);                // left border
    EXPECT_EQ(p.Count(kBlack, kWidth - 1, 0, kWidth, kHeight), kHeight);  // right border
    EXPECT_EQ(BarOnTopRow(p), 0);
    // Inside: white but for the black "0%" text in the middle; every pixel painted.
    const int inner = (kWidth - 2) * (kHeight - 2);
    const int white = p.Count(kWhite, 1, 1, kWidth - 1, kHeight - 1);
    const int black = p.Count(kBlack, 1, 1, kWidth - 1, kHeight - 1);
    EXPECT_EQ(white + black, inner);
    EXPECT_GT(black, 10) << "the text is drawn";
    EXPECT_EQ(p.Count(kBlack, 1, 1, 200, kHeight - 1), 0) << "the text is centred";
}

TEST_F(GaugeWindow, BarWidthFollowsThePercent) {
    gauge_.SetMaxValue(100);
    // percent * (559 + 1) / 100, truncated, at most 559 (GaugeMath's rule).
    const std::pair<int, int> cases[] = {{1, 5}, {60, 336}, {100, 559}};
    for (const auto& [percent, width] : cases) {
        gauge_.SetProgress(percent);
        TPixels p(kWidth, kHeight);
        Render(p);
        EXPECT_EQ(BarOnTopRow(p), width) << percent << "%";
        EXPECT_EQ(p.At(1, 1), kBlack) << "the bar starts at the inner left edge";
        if (width < kWidth - 2) {
            EXPECT_EQ(p.At(width, 1), kBlack) << percent << "%";
            EXPECT_EQ(p.At(1 + width, 1), kWhite) << percent << "%";
        }
    }
}

TEST_F(GaugeWindow, TextIsBlackOnTheBackgroundAndWhiteOnTheBar) {
    gauge_.SetMaxValue(100);
    // Middle band where the text sits, between the first rows and the last.
    const int x0 = 230, x1 = 330, y0 = 5, y1 = kHeight - 5;

    gauge_.SetProgress(20);  // bar ends at 113: text on the white background
    TPixels onWhite(kWidth, kHeight);
    Render(onWhite);
    const int blackText = onWhite.Count(kBlack, x0, y0, x1, y1);
    EXPECT_GT(blackText, 10);
    EXPECT_EQ(blackText + onWhite.Count(kWhite, x0, y0, x1, y1), (x1 - x0) * (y1 - y0));

    gauge_.SetProgress(80);  // bar ends at 449: text on the black bar
    TPixels onBar(kWidth, kHeight);
    Render(onBar);
    const int whiteText = onBar.Count(kWhite, x0, y0, x1, y1);
    EXPECT_GT(whiteText, 10);
    EXPECT_EQ(whiteText + onBar.Count(kBlack, x0, y0, x1, y1), (x1 - x0) * (y1 - y0));
}

TEST_F(GaugeWindow, ScreenShowsWhatTheRenderShows) {
    gauge_.SetMaxValue(100);
    gauge_.SetProgress(50);
    const HDC screen = GetDC(gauge_.Handle());
    ASSERT_NE(screen, nullptr);
    const COLORREF barPixel = GetPixel(screen, 10, 1);
    const COLORREF background = GetPixel(screen, kWidth - 10, 1);
    const COLORREF border = GetPixel(screen, kWidth - 1, 10);
    ReleaseDC(gauge_.Handle(), screen);
    EXPECT_EQ(barPixel, kBlack);
    EXPECT_EQ(background, kWhite);
    EXPECT_EQ(border, kBlack);
}

TEST(GaugeLifetime, WindowAndObjectMayEndInEitherOrder) {
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 100, 50, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    HWND hwnd = nullptr;
    {
        TGauge gauge;
        ASSERT_TRUE(gauge.Create(parent, 1, 0, 0, 80, 20));
        EXPECT_FALSE(gauge.Create(parent, 2, 0, 0, 80, 20));
        hwnd = gauge.Handle();
    }
    EXPECT_FALSE(IsWindow(hwnd));

    TGauge gauge;
    ASSERT_TRUE(gauge.Create(parent, 3, 0, 0, 80, 20));
    DestroyWindow(parent);
    EXPECT_EQ(gauge.Handle(), nullptr);
    gauge.SetMaxValue(10);  // values still work without a window
    gauge.SetProgress(5);
    EXPECT_EQ(gauge.PercentDone(), 50);
}

}  // namespace
}  // namespace virel::app
