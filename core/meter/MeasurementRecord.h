#pragma once
// The meter's 15-byte measurement record (answer to FPR, RPR and RD): decoding a reply into a
// record, or the reason it was refused, and the record's texts. Pure: showing them is the
// window's affair.
//
// Layout: 0-1 device number, 2-3 measurement number (big-endian), 4..8 minute, hour, day,
// month, year-2000 (packed BCD), 9 unused, 10-11 whole dose (big-endian), 12 dose fraction
// digits, 13 device error number (0 = none), 14 sum of bytes 0..13 modulo 256.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/DateTimeFormat.h"
#include "core/Regional.h"

namespace virel {

inline constexpr std::size_t kRecordSize = 15;
// The meter's archive: records 0..255, the oldest overwritten first.
inline constexpr int kArchiveRecords = 256;

// Packed BCD byte to number. The nibbles are not checked for being decimal digits: 0x1A
// gives 20 and 0xFF gives 165 (IsBcd tells whether both are digits).
std::uint16_t BcdToInt(std::uint8_t value);
bool IsBcd(std::uint8_t value);

// Sum of the bytes modulo 256.
std::uint8_t Checksum(const std::uint8_t* bytes, std::size_t count);

struct MeasurementRecord {
    // Bytes 0..13 as they came: the record's identity in the dose journal, whatever the fields
    // below make of them.
    std::array<std::uint8_t, kRecordSize - 1> raw{};
    std::uint16_t deviceNumber = 0;
    std::uint16_t measureNumber = 0;
    DateTime time;                // as decoded, not necessarily a valid date (see TimeIsValid)
    bool timeDigitsValid = true;  // every nibble of the time stamp is a decimal digit
    std::uint16_t doseWhole = 0;
    std::uint8_t doseFraction = 0;
    std::uint8_t deviceError = 0;
    std::uint8_t checksum = 0;
    bool checksumMatches = false;

    // A nibble above 9 makes the stamp invalid even where its value would pass (hour 0x1A).
    bool TimeIsValid() const { return timeDigitsValid && IsValidDateTime(time); }
    std::string DoseText() const;  // whole "." fraction, neither with leading zeros
};

// Decodes exactly kRecordSize bytes, whatever the checksum says (checksumMatches tells);
// nothing for a null buffer or any other size.
[[nodiscard]] std::optional<MeasurementRecord> DecodeRecord(const std::uint8_t* reply, std::size_t size);

// Why a reply gave no record.
enum class TReplyFault {
    None,
    NoReply,      // nothing came
    WrongSize,    // not kRecordSize bytes
    BadChecksum,  // the sum does not match: the bytes cannot be trusted
};
struct TDecodedReply {
    std::optional<MeasurementRecord> record;  // only with a matching checksum
    TReplyFault fault = TReplyFault::None;
};
[[nodiscard]] TDecodedReply DecodeReply(const std::string& reply);

// What the status bar says about a record whose checksum matched: the meter's error number,
// an invalid time stamp, or both; empty for a clean record.
std::string RecordRemark(const MeasurementRecord& record);

// A record as text: what the four fields show, the periodic log writes and the spreadsheet
// export puts into its rows. The time in the regional format, empty when the time stamp is
// invalid (an old time beside a new record would be taken for its own); the dose with ".".
struct RecordTexts {
    std::string devNumber;
    std::string measureNumber;
    std::string time;
    std::string dose;
};
RecordTexts TextsOf(const MeasurementRecord& record, const RegionalFormats& formats);

}  // namespace virel
