// Date and time texts built from the regional patterns and names Windows hands over: any
// pattern, any names, any valid date and time.
#include <cstdint>
#include <string>

#include "core/DateTimeFormat.h"
#include "fuzz/FuzzInput.h"

using namespace virel;
using virel::fuzz::Check;
using virel::fuzz::TInput;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    TInput in(data, size);
    DateTime t;
    t.year = 1 + static_cast<int>(in.U32() % 9999);
    t.month = 1 + in.Byte() % 12;
    t.day = 1 + in.Byte() % DaysInMonth(t.year, t.month);
    t.hour = in.Byte() % 24;
    t.minute = in.Byte() % 60;
    t.second = in.Byte() % 60;
    t.millisecond = static_cast<int>(in.U32() % 1000);
    Check(IsValidDateTime(t), "the date built here is valid");

    RegionalFormats formats;
    formats.shortDate = in.Text();
    formats.longTime = in.Text();
    std::size_t longestName = 0;
    auto name = [&] {
        std::string s = in.Text();
        longestName = std::max(longestName, s.size());
        return s;
    };
    for (auto& n : formats.shortMonthNames) n = name();
    for (auto& n : formats.longMonthNames) n = name();
    for (auto& n : formats.shortDayNames) n = name();
    for (auto& n : formats.longDayNames) n = name();
    formats.amDesignator = name();
    formats.pmDesignator = name();
    const std::string pattern = in.Rest();

    // Each pattern character gives at most one name or a number of at most 4 digits.
    const std::size_t bound = (pattern.size() + 2) * std::max<std::size_t>(longestName, 5) + 64;
    const std::string text = FormatDateTime(pattern, t, formats);
    Check(text.size() <= bound, "the text grows at most by one name per pattern character");

    const std::string full = DateTimeToText(t, formats);
    const std::string date = DateToText(t, formats);
    Check(full.compare(0, date.size(), date) == 0, "date and time begin with the date");
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0;
    if (midnight) Check(full == date, "midnight: the date alone");

    // The clock's form of the same moment reads back unchanged.
    const DateTime back = FromMilliseconds(ToMilliseconds(t));
    Check(back.year == t.year && back.month == t.month && back.day == t.day &&
              back.hour == t.hour && back.minute == t.minute && back.second == t.second &&
              back.millisecond == t.millisecond,
          "milliseconds and back");
    const int dow = DayOfWeek(t);
    Check(dow >= 0 && dow <= 6, "day of the week");
    return 0;
}
