// The regional formats come from the user's settings; the tests run with Russian ones.
#include <gtest/gtest.h>

#include "app/platform/RegionalSettings.h"
#include "core/Utf16.h"

namespace virel::app {
namespace {

bool IsRussianSession() {
    return PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) == LANG_RUSSIAN;
}

TEST(RegionalSettings, RussianDateAndTimePatterns) {
    if (!IsRussianSession()) GTEST_SKIP() << "needs Russian regional settings";
    const RegionalFormats formats = ReadRegionalFormats();
    EXPECT_EQ(formats.shortDate, "dd.MM.yyyy");
    // Windows says H:mm:ss, Wine HH:mm:ss; both are 24-hour with minutes and seconds.
    EXPECT_TRUE(formats.longTime == "H:mm:ss" || formats.longTime == "HH:mm:ss")
        << formats.longTime;
    EXPECT_EQ(Widen(formats.longMonthNames[0]).substr(0, 3), L"янв");
    EXPECT_EQ(Widen(formats.longDayNames[0]).substr(0, 3), L"пон") << "Monday comes first";
}

TEST(RegionalSettings, AnotherLocaleGivesItsOwnPatterns) {
    const RegionalFormats us =
        ReadRegionalFormats(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    EXPECT_EQ(us.shortDate, "M/d/yyyy");
    EXPECT_EQ(us.longMonthNames[11], "December");
    EXPECT_EQ(us.shortDayNames[6], "Sun");
    EXPECT_EQ(us.amDesignator, "AM");
    EXPECT_EQ(us.pmDesignator, "PM");
}

TEST(RegionalSettings, EveryNameIsFilled) {
    const RegionalFormats formats = ReadRegionalFormats();
    for (const auto& name : formats.longMonthNames) EXPECT_FALSE(name.empty());
    for (const auto& name : formats.shortMonthNames) EXPECT_FALSE(name.empty());
    for (const auto& name : formats.longDayNames) EXPECT_FALSE(name.empty());
    for (const auto& name : formats.shortDayNames) EXPECT_FALSE(name.empty());
}

TEST(Wide, RoundTripsCyrillicAndKeepsEmbeddedZeros) {
    const std::string utf8 = "Обмен прерван пользователем";
    EXPECT_EQ(Widen(utf8), L"Обмен прерван пользователем");
    EXPECT_EQ(Narrow(Widen(utf8)), utf8);
    EXPECT_EQ(Widen(""), L"");
    EXPECT_EQ(Narrow(L""), "");
    EXPECT_EQ(Widen(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

}  // namespace
}  // namespace virel::app
