#include "core/DateTimeFormat.h"

#include <cstdio>

#include "core/Utf16.h"

namespace virel {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

// Days since 1970-01-01 of a proleptic Gregorian date (era arithmetic, valid for any year).
std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;  // March = 0
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe - 719'468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const std::int64_t doe = days - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::string Number(int value, int minDigits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", minDigits, value);
    return buffer;
}

std::string Number(int value, bool twoDigits) {
    return Number(value, twoDigits ? 2 : 1);
}

// The first UTF-8 character of a text (a whole multi-byte sequence, not just its first byte).
std::string FirstCharacter(const std::string& text) {
    if (text.empty()) return text;
    std::size_t length = 0;
    NextUtf8Character(text, length);
    return text.substr(0, length);
}

const std::string& NameAt(const std::string* names, int count, int index) {
    static const std::string empty;
    if (index < 0 || index >= count) return empty;
    return names[index];
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && IsLeapYear(year)) return 29;
    return kDays[month - 1];
}

bool IsValidDateTime(const DateTime& v) {
    if (v.year < 1 || v.year > 9999) return false;
    if (v.month < 1 || v.month > 12) return false;
    if (v.day < 1 || v.day > DaysInMonth(v.year, v.month)) return false;
    if (v.hour < 0 || v.hour > 23) return false;
    if (v.minute < 0 || v.minute > 59) return false;
    if (v.second < 0 || v.second > 59) return false;
    return v.millisecond >= 0 && v.millisecond <= 999;
}

std::int64_t ToMilliseconds(const DateTime& v) {
    const std::int64_t days = DaysFromCivil(v.year, v.month, v.day);
    const std::int64_t ms =
        ((static_cast<std::int64_t>(v.hour) * 60 + v.minute) * 60 + v.second) * 1000 +
        v.millisecond;
    return days * kMsPerDay + ms;
}

DateTime FromMilliseconds(std::int64_t milliseconds) {
    std::int64_t days = milliseconds / kMsPerDay;
    std::int64_t rest = milliseconds % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --days;
    }
    DateTime v;
    CivilFromDays(days, v.year, v.month, v.day);
    v.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    v.second = static_cast<int>(rest % 60);
    rest /= 60;
    v.minute = static_cast<int>(rest % 60);
    v.hour = static_cast<int>(rest / 60);
    return v;
}

int DayOfWeek(const DateTime& v) {
    // 1970-01-01 was a Thursday (index 3 when Monday is 0).
    const std::int64_t days = DaysFromCivil(v.year, v.month, v.day);
    const std::int64_t index = (days % 7 + 7 + 3) % 7;
    return static_cast<int>(index);
}

namespace {

// Copies the quoted text at pattern[i] (i at its opening quote) to `out` and moves i past it.
// '' outside a literal is one quote; otherwise a literal runs to the closing quote, and ''
// inside it is one quote too.
void AppendQuoted(const std::string& pattern, std::size_t& i, std::string& out) {
    const std::size_t n = pattern.size();
    if (i + 1 < n && pattern[i + 1] == '\'') {
        out += '\'';
        i += 2;
        return;
    }
    ++i;
    while (i < n) {
        if (pattern[i] == '\'') {
            if (i + 1 < n && pattern[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            ++i;
            return;
        }
        out += pattern[i++];
    }
}

// The text of `run` repetitions of the pattern letter `c`; other characters stand for
// themselves.
std::string FieldText(char c, std::size_t run, const DateTime& v, const RegionalFormats& formats) {
    switch (c) {
        case 'd':
            if (run <= 2) return Number(v.day, run == 2);
            return NameAt((run == 3 ? formats.shortDayNames : formats.longDayNames).data(), 7,
                          DayOfWeek(v));
        case 'M':
            if (run <= 2) return Number(v.month, run == 2);
            return NameAt((run == 3 ? formats.shortMonthNames : formats.longMonthNames).data(), 12,
                          v.month - 1);
        case 'y':
            return run <= 2 ? Number(v.year % 100, run == 2) : Number(v.year, 4);
        case 'h': {
            const int hour12 = v.hour % 12;
            return Number(hour12 == 0 ? 12 : hour12, run >= 2);
        }
        case 'H':
            return Number(v.hour, run >= 2);
        case 'm':
            return Number(v.minute, run >= 2);
        case 's':
            return Number(v.second, run >= 2);
        case 't': {
            const std::string& designator =
                v.hour < 12 ? formats.amDesignator : formats.pmDesignator;
            return run == 1 ? FirstCharacter(designator) : designator;
        }
        default:
            return std::string(run, c);
    }
}

}  // namespace

std::string FormatDateTime(const std::string& pattern, const DateTime& v,
                           const RegionalFormats& formats) {
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            AppendQuoted(pattern, i, out);
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        out += FieldText(c, run, v, formats);
        i += run;
    }
    return out;
}

std::string DateTimeToText(const DateTime& v, const RegionalFormats& formats) {
    const std::string date = FormatDateTime(formats.shortDate, v, formats);
    if (v.hour == 0 && v.minute == 0 && v.second == 0 && v.millisecond == 0) return date;
    return date + " " + FormatDateTime(formats.longTime, v, formats);
}

std::string DateToText(const DateTime& v, const RegionalFormats& formats) {
    return FormatDateTime(formats.shortDate, v, formats);
}

}  // namespace virel
