#pragma once
// Calendar arithmetic and date/time texts in the Windows user's regional picture formats.
// Portable: the platform layer reads the patterns once (RegionalFormats) and the local time
// (as milliseconds, see IClock), everything else happens here.
#include <cstdint>
#include <string>

#include "core/Regional.h"

namespace virel {

// A local (wall-clock) date and time, no time zone.
struct DateTime {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// Year 1..9999, month 1..12, day within the month, hour 0..23, minute and second 0..59,
// millisecond 0..999.
bool IsValidDateTime(const DateTime& value);

// Milliseconds since 1970-01-01 00:00:00.000 of the same wall clock, and back. Only for valid
// values; the clock seam hands local time over in this form so deadlines are plain subtraction.
std::int64_t ToMilliseconds(const DateTime& value);
DateTime FromMilliseconds(std::int64_t milliseconds);

// 0 = Monday ... 6 = Sunday, the order of RegionalFormats' day names.
int DayOfWeek(const DateTime& value);

// Formats with a Windows picture pattern:
//   d dd ddd dddd   day; day with leading zero; short and long day name
//   M MM MMM MMMM   month; with leading zero; short and long month name
//   y yy yyyy       year modulo 100 without and with leading zero; full year, at least
//                   four digits (3+ letters)
//   h hh H HH       hour 1..12 / 0..23, without and with leading zero
//   m mm s ss       minute, second, without and with leading zero
//   t tt            first character of the AM/PM designator; the whole designator
//   '...'           literal text; '' gives one quote, inside or outside a literal
// Runs longer than the longest form use the longest form ("ddddd" = "dddd"). Every other
// character is copied as it is (UTF-8 passes through untouched). An unterminated literal runs
// to the end of the pattern.
std::string FormatDateTime(const std::string& pattern, const DateTime& value,
                           const RegionalFormats& formats);

// The standard date-and-time text: short date, a space and the long time; the date alone when
// the time of day is exactly midnight.
std::string DateTimeToText(const DateTime& value, const RegionalFormats& formats);

// The short date alone.
std::string DateToText(const DateTime& value, const RegionalFormats& formats);

}  // namespace virel
