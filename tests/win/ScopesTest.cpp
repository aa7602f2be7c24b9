// The scope types give each resource back exactly once, a selection puts back what it
// replaced, and a paint ends however its handler leaves.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "win/Scopes.h"

namespace {

using namespace virel::win;

std::wstring TemporaryPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// Share mode 0: a second open fails while the first handle is still open.
HANDLE OpenAlone(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

TEST(Scopes, AHandleIsClosedOnceByItsLastOwner) {
    const std::wstring path = TemporaryPath(L"virel_scopes_test.tmp");
    {
        THandle first(OpenAlone(path));
        ASSERT_TRUE(first);
        THandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(OpenAlone(path), INVALID_HANDLE_VALUE) << "still open";
        THandle third;
        third = std::move(second);
        EXPECT_EQ(OpenAlone(path), INVALID_HANDLE_VALUE) << "still open after the moves";
        EXPECT_TRUE(third.Close());
        EXPECT_FALSE(third);
        THandle again(OpenAlone(path));
        EXPECT_TRUE(again) << "closed by Close()";
    }
    THandle afterScope(OpenAlone(path));
    EXPECT_TRUE(afterScope) << "closed by the destructor";
    afterScope.Reset();
    DeleteFileW(path.c_str());
}

TEST(Scopes, BothFailureValuesOfAHandleOwnNothing) {
    THandle failedOpen(INVALID_HANDLE_VALUE);
    THandle failedOther(nullptr);
    EXPECT_FALSE(failedOpen);
    EXPECT_FALSE(failedOther);
    EXPECT_TRUE(failedOpen.Close()) << "nothing to close is no failure";
}

TEST(Scopes, AKeyReceivedFromACreatingCallIsClosedWithItsScope) {
    TRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Receive()),
              ERROR_SUCCESS);
    const HKEY raw = key.Get();
    ASSERT_NE(raw, nullptr);
    key.Reset();
    DWORD subkeys = 0;
    EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS)
        << "closed";
    // After a failed call, what it left in the place owns nothing.
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VirelNoSuchKey\\Below", 0, KEY_READ,
                      key.Receive()) != ERROR_SUCCESS) {
        key.Forget();
    }
    EXPECT_FALSE(key);
}

TEST(Scopes, AnOwnedWindowGoesWithItsOwner) {
    TOwnedWindow window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
    const HWND raw = window.Get();
    ASSERT_TRUE(IsWindow(raw));
    { TOwnedWindow owner(std::move(window)); }
    EXPECT_FALSE(IsWindow(raw));
}

TEST(Scopes, ASelectionPutsBackWhatItReplaced) {
    const TMemoryDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_FONT);
    const TFont font(CreateFontW(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH, L"Arial"));
    ASSERT_TRUE(font);
    {
        const TSelection selected(dc.Get(), font.Get());
        EXPECT_TRUE(selected);
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_FONT), font.Get());
        {
            const TSelection nothing(dc.Get(), nullptr);
            EXPECT_FALSE(nothing);
        }
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_FONT), font.Get()) << "selecting nothing";
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_FONT), before);
}

TEST(Scopes, APaintGivesItsAreaAndEndsWithItsScopeHoweverItIsLeft) {
    const TOwnedWindow window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 120,
                                              80, nullptr, nullptr, GetModuleHandleW(nullptr),
                                              nullptr));
    ASSERT_TRUE(window);
    const HWND hwnd = window.Get();
    ValidateRect(hwnd, nullptr);
    const RECT part{10, 20, 40, 30};
    InvalidateRect(hwnd, &part, FALSE);
    HDC painted = nullptr;
    try {
        const TPaintDC paint(hwnd);
        ASSERT_TRUE(paint);
        painted = paint.Get();
        EXPECT_TRUE(EqualRect(&paint.Area(), &part));
        RECT clip{};
        GetClipBox(painted, &clip);
        EXPECT_TRUE(EqualRect(&clip, &part)) << "drawing is kept to what needs it";
        EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE)) << "what it paints is valid again";
        throw std::runtime_error("a handler that fails half-way");
    } catch (const std::runtime_error&) {
    }
    // The window system hands a window the device context it last gave back for it: the
    // paint's came back when the paint ended.
    const TWindowDC again(hwnd);
    EXPECT_EQ(again.Get(), painted);
}

TEST(Scopes, TheComApartmentIsUndoneOnlyWhereItWasMade) {
    {
        const TComApartment outer;
        ASSERT_TRUE(outer.Initialized());
        {
            const TComApartment inner;  // the same apartment again: counted, and undone
            EXPECT_TRUE(inner.Initialized());
        }
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE)
            << "the outer apartment is still there";
        const TComApartment otherKind;
        EXPECT_TRUE(otherKind.Initialized());  // S_FALSE: the thread's apartment, counted
    }
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "all undone";
    CoUninitialize();
}

TEST(Scopes, TheComApartmentOnFirstUseIsMadeOnceByTheFirstEnter) {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    {
        TComApartmentOnFirstUse com;
        EXPECT_FALSE(com.Entered());
        EXPECT_EQ(CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED)
            << "nothing made before the first use";
        ASSERT_TRUE(com.Enter());
        EXPECT_TRUE(com.Entered());
        ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
        EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
        EXPECT_TRUE(com.Enter());
    }
    // Made once however often entered, so one undoing leaves nothing behind.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
}

}  // namespace
