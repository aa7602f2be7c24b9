#include <gtest/gtest.h>

#include "core/DateTimeFormat.h"

namespace virel {
namespace {

RegionalFormats English() {
    RegionalFormats f;
    f.shortDate = "M/d/yyyy";
    f.longTime = "h:mm:ss tt";
    f.shortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    f.longMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                        "July",    "August",   "September", "October", "November", "December"};
    f.shortDayNames = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    f.longDayNames = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    f.amDesignator = "AM";
    f.pmDesignator = "PM";
    return f;
}

const DateTime kMorning{2007, 3, 5, 9, 4, 7, 0};     // Monday
const DateTime kEvening{2026, 12, 6, 21, 35, 0, 0};  // Sunday

TEST(FormatDateTime, NumericPictures) {
    const auto f = English();
    EXPECT_EQ(FormatDateTime("d dd M MM y yy yyyy", kMorning, f), "5 05 3 03 7 07 2007");
    EXPECT_EQ(FormatDateTime("h hh H HH m mm s ss", kMorning, f), "9 09 9 09 4 04 7 07");
    EXPECT_EQ(FormatDateTime("h hh H HH", kEvening, f), "9 09 21 21");
    EXPECT_EQ(FormatDateTime("dd.MM.yyyy", kEvening, f), "06.12.2026");
    EXPECT_EQ(FormatDateTime("yyyyy yyy", kEvening, f), "2026 2026");
}

TEST(FormatDateTime, TwelveHourClockAroundMidnightAndNoon) {
    const auto f = English();
    EXPECT_EQ(FormatDateTime("h:mm tt", DateTime{2020, 1, 1, 0, 5, 0, 0}, f), "12:05 AM");
    EXPECT_EQ(FormatDateTime("h:mm tt", DateTime{2020, 1, 1, 12, 0, 0, 0}, f), "12:00 PM");
    EXPECT_EQ(FormatDateTime("h:mm t", DateTime{2020, 1, 1, 13, 0, 0, 0}, f), "1:00 P");
    auto russianDesignators = f;
    russianDesignators.pmDesignator = "пп";
    EXPECT_EQ(FormatDateTime("t", DateTime{2020, 1, 1, 13, 0, 0, 0}, russianDesignators), "п");
}

TEST(FormatDateTime, NamesOfDaysAndMonths) {
    const auto f = English();
    EXPECT_EQ(FormatDateTime("ddd dddd MMM MMMM", kMorning, f), "Mon Monday Mar March");
    EXPECT_EQ(FormatDateTime("dddd, MMMM d, yyyy", kEvening, f), "Sunday, December 6, 2026");
    EXPECT_EQ(FormatDateTime("ddddd MMMMM", kEvening, f), "Sunday December");
}

TEST(FormatDateTime, QuotedLiteralsAndOtherCharacters) {
    const auto f = English();
    EXPECT_EQ(FormatDateTime("yyyy 'г.'", kEvening, f), "2026 г.");
    EXPECT_EQ(FormatDateTime("'dd' dd", kEvening, f), "dd 06");
    EXPECT_EQ(FormatDateTime("'It''s' h", kEvening, f), "It's 9");
    EXPECT_EQ(FormatDateTime("''h", kEvening, f), "'9");
    EXPECT_EQ(FormatDateTime("'open dd", kEvening, f), "open dd");
    EXPECT_EQ(FormatDateTime("", kEvening, f), "");
    EXPECT_EQ(FormatDateTime("dd/MM-yyyy, HH.mm", kEvening, f), "06/12-2026, 21.35");
}

TEST(DateTimeToText, LeavesTheTimeOutAtMidnightOnly) {
    RegionalFormats f;  // Russian defaults: dd.MM.yyyy and H:mm:ss
    EXPECT_EQ(DateTimeToText(DateTime{2009, 12, 31, 0, 0, 0, 0}, f), "31.12.2009");
    EXPECT_EQ(DateTimeToText(DateTime{2009, 12, 31, 0, 0, 1, 0}, f), "31.12.2009 0:00:01");
    EXPECT_EQ(DateTimeToText(DateTime{2009, 12, 31, 0, 1, 0, 0}, f), "31.12.2009 0:01:00");
    EXPECT_EQ(DateTimeToText(kMorning, English()), "3/5/2007 9:04:07 AM");
    EXPECT_EQ(DateToText(kEvening, f), "06.12.2026");
}

TEST(Calendar, ValidatesDates) {
    EXPECT_TRUE(IsValidDateTime(DateTime{2000, 2, 29, 0, 0, 0, 0}));
    EXPECT_FALSE(IsValidDateTime(DateTime{1900, 2, 29, 0, 0, 0, 0}));
    EXPECT_TRUE(IsValidDateTime(DateTime{2008, 2, 29, 23, 59, 59, 999}));
    EXPECT_FALSE(IsValidDateTime(DateTime{2007, 2, 29, 0, 0, 0, 0}));
    EXPECT_FALSE(IsValidDateTime(DateTime{2007, 0, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(IsValidDateTime(DateTime{2007, 1, 32, 0, 0, 0, 0}));
    EXPECT_FALSE(IsValidDateTime(DateTime{2007, 1, 1, 0, 0, 60, 0}));
    EXPECT_FALSE(IsValidDateTime(DateTime{2007, 1, 1, 0, 0, 0, 1000}));
    EXPECT_FALSE(IsValidDateTime(DateTime{0, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2023, 2), 28);
    EXPECT_EQ(DaysInMonth(2023, 9), 30);
    EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

TEST(Calendar, MillisecondsRoundTripAndDayOfWeek) {
    EXPECT_EQ(ToMilliseconds(DateTime{1970, 1, 1, 0, 0, 0, 0}), 0);
    EXPECT_EQ(ToMilliseconds(DateTime{1970, 1, 2, 0, 0, 0, 1}), 86'400'001);
    EXPECT_EQ(ToMilliseconds(DateTime{2000, 3, 1, 0, 0, 0, 0}), 951'868'800'000);
    for (const DateTime d : {DateTime{1, 1, 1, 0, 0, 0, 0}, DateTime{1969, 12, 31, 23, 59, 59, 999},
                             DateTime{2000, 2, 29, 12, 30, 15, 250}, kMorning, kEvening,
                             DateTime{9999, 12, 31, 23, 59, 59, 999}}) {
        const DateTime back = FromMilliseconds(ToMilliseconds(d));
        EXPECT_EQ(FormatDateTime("yyyy-MM-dd HH:mm:ss", back, {}),
                  FormatDateTime("yyyy-MM-dd HH:mm:ss", d, {}));
        EXPECT_EQ(back.millisecond, d.millisecond);
    }
    EXPECT_EQ(DayOfWeek(kMorning), 0);
    EXPECT_EQ(DayOfWeek(kEvening), 6);
    EXPECT_EQ(DayOfWeek(DateTime{1970, 1, 1, 0, 0, 0, 0}), 3);
    EXPECT_EQ(DayOfWeek(DateTime{1969, 12, 31, 0, 0, 0, 0}), 2);
}

}  // namespace
}  // namespace virel
