// The 15-byte measurement record as the meter sends it, and small byte helpers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace virel::sim {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRecordSize = 15;
using Record = std::array<std::uint8_t, kRecordSize>;

// Offsets inside a record.
constexpr std::size_t kOffDevice = 0;    // 16-bit big-endian
constexpr std::size_t kOffMeasure = 2;   // 16-bit big-endian
constexpr std::size_t kOffMinute = 4;    // BCD
constexpr std::size_t kOffHour = 5;      // BCD
constexpr std::size_t kOffDay = 6;       // BCD
constexpr std::size_t kOffMonth = 7;     // BCD
constexpr std::size_t kOffYear = 8;      // BCD, year - 2000
constexpr std::size_t kOffReserved = 9;  // always zero here
constexpr std::size_t kOffDoseWhole = 10;
constexpr std::size_t kOffDoseFraction = 12;
constexpr std::size_t kOffError = 13;
constexpr std::size_t kOffChecksum = 14;

// A local date and time to the minute: all the meter stamps into a record.
struct Stamp {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    bool operator==(const Stamp&) const = default;
};

struct RecordFields {
    std::uint16_t device = 0;
    std::uint16_t measure = 0;
    Stamp stamp;
    std::uint16_t doseWhole = 0;
    std::uint8_t doseFraction = 0;
    std::uint8_t error = 0;
};

int DaysInMonth(int year, int month);
// True when the stamp is a real calendar date and time the record can carry (years 2000-2099).
bool IsValidStamp(const Stamp& s);
// Adds whole days, keeping the time of day.
Stamp AddDays(Stamp s, int days);

// Two decimal digits (0..99) as one packed BCD byte.
std::uint8_t ToBcd(int value);
// Inverse of ToBcd; false when a nibble is not a decimal digit.
bool FromBcd(std::uint8_t b, int& value);

std::uint8_t RecordChecksum(const Record& r);
// Writes the checksum byte so the record is consistent again after an edit.
void SealRecord(Record& r);
Record MakeRecord(const RecordFields& f);

// "01 46 50 52": upper-case, one space between bytes.
std::string HexBytes(const std::uint8_t* data, std::size_t size);
std::string HexBytes(const Bytes& b);
std::string HexBytes(const Record& r);
// Accepts hex digit pairs, optionally separated by spaces, tabs, commas or colons.
bool ParseHexBytes(std::string_view text, Bytes& out);

// Deterministic 64-bit mix, so doses and archive contents follow from the seed alone.
std::uint64_t Mix(std::uint64_t x);

}  // namespace virel::sim
