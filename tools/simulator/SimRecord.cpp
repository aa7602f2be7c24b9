#include "SimRecord.h"

#include <cctype>

#include "core/NumberText.h"

namespace virel::sim {

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return kDays[month - 1];
}

bool IsValidStamp(const Stamp& s) {
    if (s.year < 2000 || s.year > 2099) return false;
    if (s.month < 1 || s.month > 12) return false;
    if (s.day < 1 || s.day > DaysInMonth(s.year, s.month)) return false;
    if (s.hour < 0 || s.hour > 23) return false;
    return s.minute >= 0 && s.minute <= 59;
}

Stamp AddDays(Stamp s, int days) {
    while (days > 0) {
        const int left = DaysInMonth(s.year, s.month) - s.day;
        if (days <= left) {
            s.day += days;
            break;
        }
        days -= left + 1;
        s.day = 1;
        if (++s.month > 12) {
            s.month = 1;
            ++s.year;
        }
    }
    return s;
}

std::uint8_t ToBcd(int value) {
    if (value < 0) value = 0;
    value %= 100;
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

bool FromBcd(std::uint8_t b, int& value) {
    const int hi = b >> 4;
    const int lo = b & 0x0F;
    if (hi > 9 || lo > 9) return false;
    value = hi * 10 + lo;
    return true;
}

std::uint8_t RecordChecksum(const Record& r) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kOffChecksum; ++i) sum += r[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

void SealRecord(Record& r) {
    r[kOffChecksum] = RecordChecksum(r);
}

Record MakeRecord(const RecordFields& f) {
    Record r{};
    r[kOffDevice] = static_cast<std::uint8_t>(f.device >> 8);
    r[kOffDevice + 1] = static_cast<std::uint8_t>(f.device & 0xFF);
    r[kOffMeasure] = static_cast<std::uint8_t>(f.measure >> 8);
    r[kOffMeasure + 1] = static_cast<std::uint8_t>(f.measure & 0xFF);
    r[kOffMinute] = ToBcd(f.stamp.minute);
    r[kOffHour] = ToBcd(f.stamp.hour);
    r[kOffDay] = ToBcd(f.stamp.day);
    r[kOffMonth] = ToBcd(f.stamp.month);
    r[kOffYear] = ToBcd(f.stamp.year - 2000);
    r[kOffReserved] = 0;
    r[kOffDoseWhole] = static_cast<std::uint8_t>(f.doseWhole >> 8);
    r[kOffDoseWhole + 1] = static_cast<std::uint8_t>(f.doseWhole & 0xFF);
    r[kOffDoseFraction] = f.doseFraction;
    r[kOffError] = f.error;
    SealRecord(r);
    return r;
}

std::string HexBytes(const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i) s += ' ';
        s += kDigits[data[i] >> 4];
        s += kDigits[data[i] & 0x0F];
    }
    return s;
}

std::string HexBytes(const Bytes& b) {
    return HexBytes(b.data(), b.size());
}
std::string HexBytes(const Record& r) {
    return HexBytes(r.data(), r.size());
}

bool ParseHexBytes(std::string_view text, Bytes& out) {
    Bytes result;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == ',' || c == ':' || c == '\r' || c == '\n') {
            if (high >= 0) return false;  // a lone digit between separators
            continue;
        }
        const int d = virel::HexDigitValue(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            result.push_back(static_cast<std::uint8_t>((high << 4) | d));
            high = -1;
        }
    }
    if (high >= 0) return false;
    out = std::move(result);
    return true;
}

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace virel::sim
