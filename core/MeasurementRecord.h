#pragma once
// The meter's 15-byte measurement record (answer to FPR, RPR and RD) and its display in the
// four read-only fields of the main window.
//
// Layout: 0-1 device number, 2-3 measurement number (big-endian), 4..8 minute, hour, day,
// month, year-2000 (packed BCD), 9 unused, 10-11 whole dose (big-endian), 12 dose fraction
// digits, 13 device error number (0 = none), 14 sum of bytes 0..13 modulo 256.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/DateTimeFormat.h"
#include "core/FaceView.h"
#include "core/Regional.h"

namespace virel {

inline constexpr std::size_t kRecordSize = 15;

// Packed BCD byte to number. The nibbles are not checked for being decimal digits: 0x1A
// gives 20 and 0xFF gives 165, so a bad digit shows up as an impossible date, not as an error.
std::uint16_t BcdToInt(std::uint8_t value);

// Sum of the bytes modulo 256.
std::uint8_t Checksum(const std::uint8_t* bytes, std::size_t count);

struct MeasurementRecord {
    std::uint16_t deviceNumber = 0;
    std::uint16_t measureNumber = 0;
    DateTime time;  // as decoded, not necessarily a valid date (see TimeIsValid)
    std::uint16_t doseWhole = 0;
    std::uint8_t doseFraction = 0;
    std::uint8_t deviceError = 0;
    std::uint8_t checksum = 0;
    bool checksumMatches = false;

    bool TimeIsValid() const { return IsValidDateTime(time); }
    std::string DoseText() const;  // whole "." fraction, neither with leading zeros
};

// Decodes exactly kRecordSize bytes; nothing for a null buffer or any other size.
std::optional<MeasurementRecord> DecodeRecord(const std::uint8_t* reply, std::size_t size);

// Shows a record in the view: a checksum mismatch writes its status text and leaves every
// field alone; a device error number writes its status text and the record is shown anyway;
// a time stamp that is not a valid date and time leaves LE_Time as it was. Returns whether
// the checksum matched (false also for a reply that is not kRecordSize bytes long, which
// changes nothing at all).
bool ShowLast(IFaceView& view, const std::uint8_t* reply, std::size_t size,
              const RegionalFormats& formats);

}  // namespace virel
