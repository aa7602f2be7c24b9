// The pictures and the manifest compiled into the program (the test program carries the same
// resource object).
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <string>

#include "app/windows/Resource.h"

namespace virel::app {
namespace {

const BITMAPINFOHEADER* BitmapHeader(int id) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));
    if (!found) return nullptr;
    return static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
}

TEST(Resources, LogoIs216By95With256ColoursUncompressed) {
    const BITMAPINFOHEADER* logo = BitmapHeader(IDB_LOGO);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->biWidth, 216);
    EXPECT_EQ(logo->biHeight, 95);
    EXPECT_EQ(logo->biBitCount, 8);
    EXPECT_EQ(logo->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(logo->biClrUsed, 256u);
}

TEST(Resources, GlyphHoldsTwoSixteenColourPicturesWithAnOliveBackground) {
    const BITMAPINFOHEADER* glyph = BitmapHeader(IDB_GLYPH);
    ASSERT_NE(glyph, nullptr);
    EXPECT_EQ(glyph->biWidth, 32);
    EXPECT_EQ(glyph->biHeight, 16);
    EXPECT_EQ(glyph->biBitCount, 4);
    EXPECT_EQ(glyph->biCompression, static_cast<DWORD>(BI_RGB));
    // The top left pixel of each half is background: olive, the transparent colour.
    const auto* palette = reinterpret_cast<const RGBQUAD*>(glyph + 1);
    const auto* pixels = reinterpret_cast<const BYTE*>(palette + 16);
    const int stride = 16;  // 32 pixels of 4 bits, already a multiple of 4 bytes
    const BYTE* topRow = pixels + 15 * stride;  // bottom-up rows
    for (const BYTE index :
         {static_cast<BYTE>(topRow[0] >> 4), static_cast<BYTE>(topRow[8] >> 4)}) {
        EXPECT_EQ(palette[index].rgbRed, 128);
        EXPECT_EQ(palette[index].rgbGreen, 128);
        EXPECT_EQ(palette[index].rgbBlue, 0);
    }
}

TEST(Resources, ManifestAsksForCommonControlsSix) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}

// A setting of the manifest as the system reads it for this process.
std::wstring ManifestSetting(const wchar_t* settingsNamespace, const wchar_t* name) {
    wchar_t value[128] = L"";
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, nullptr, settingsNamespace, name, value, std::size(value),
                              &written)) {
        return L"<none>";
    }
    return value;
}

TEST(Resources, ManifestDeclaresPerMonitorDpiAwareness) {
    // Windows 10 1703 and later: per monitor, version 2 (frame, menus and common dialogs scaled
    // by the system too), the first version where that is missing.
    EXPECT_EQ(
        ManifestSetting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
        L"PerMonitorV2, PerMonitor");
    // Windows 8.1 reads only this one: per monitor; Windows 7 takes it as the system's dpi.
    EXPECT_EQ(
        ManifestSetting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
        L"true/pm");
    // Where the system tells (Windows 10 1607 and later), the process is per-monitor aware.
    using TGetContext = HANDLE(WINAPI*)();
    using TAwareness = int(WINAPI*)(HANDLE);
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    const auto context = reinterpret_cast<TGetContext>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
    const auto awareness = reinterpret_cast<TAwareness>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    if (context && awareness) {
        EXPECT_EQ(awareness(context()), 2) << "DPI_AWARENESS_PER_MONITOR_AWARE";
    }
}

}  // namespace
}  // namespace virel::app
