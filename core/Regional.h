#pragma once
// The Windows user's regional date and time formats, read once at start-up by the platform
// layer (GetLocaleInfoW) and handed to the portable formatting code. Patterns use the Windows
// picture syntax: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, h hh H HH, m mm, s ss, t tt, '...'.
#include <array>
#include <string>

namespace virel {

struct RegionalFormats {
    std::string shortDate = "dd.MM.yyyy";  // LOCALE_SSHORTDATE
    std::string longTime = "H:mm:ss";      // LOCALE_STIMEFORMAT
    std::array<std::string, 12> shortMonthNames{};
    std::array<std::string, 12> longMonthNames{};
    std::array<std::string, 7> shortDayNames{};  // Monday first, as LOCALE_SABBREVDAYNAME1..7
    std::array<std::string, 7> longDayNames{};
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";
};

}  // namespace virel
