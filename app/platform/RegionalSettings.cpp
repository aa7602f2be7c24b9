#include "app/platform/RegionalSettings.h"

#include <string>

#include "core/Utf16.h"

namespace virel::app {

namespace {

// A missing value keeps the default that RegionalFormats already holds.
void Read(LCID locale, LCTYPE type, std::string& value) {
    const int length = GetLocaleInfoW(locale, type, nullptr, 0);
    if (length <= 0) return;
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    if (GetLocaleInfoW(locale, type, text.data(), length) <= 0) return;
    text.resize(static_cast<std::size_t>(length - 1));  // without the terminating zero
    value = Narrow(text);
}

}  // namespace

RegionalFormats ReadRegionalFormats(LCID locale) {
    RegionalFormats formats;
    Read(locale, LOCALE_SSHORTDATE, formats.shortDate);
    Read(locale, LOCALE_STIMEFORMAT, formats.longTime);
    for (int month = 0; month < 12; ++month) {
        Read(locale, LOCALE_SABBREVMONTHNAME1 + month, formats.shortMonthNames[month]);
        Read(locale, LOCALE_SMONTHNAME1 + month, formats.longMonthNames[month]);
    }
    for (int day = 0; day < 7; ++day) {
        Read(locale, LOCALE_SABBREVDAYNAME1 + day, formats.shortDayNames[day]);
        Read(locale, LOCALE_SDAYNAME1 + day, formats.longDayNames[day]);
    }
    Read(locale, LOCALE_S1159, formats.amDesignator);
    Read(locale, LOCALE_S2359, formats.pmDesignator);
    return formats;
}

}  // namespace virel::app
