#include "core/meter/MeasurementRecord.h"

#include <algorithm>

#include "core/meter/DeviceTexts.h"

namespace virel {

namespace {

std::uint16_t BigEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

std::uint16_t BcdToInt(std::uint8_t value) {
    return static_cast<std::uint16_t>((value >> 4) * 10 + (value & 0x0F));
}

bool IsBcd(std::uint8_t value) {
    return (value >> 4) <= 9 && (value & 0x0F) <= 9;
}

std::uint8_t Checksum(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::string MeasurementRecord::DoseText() const {
    // Always ".", whatever the regional decimal separator: the log and the spreadsheet rely on it.
    return std::to_string(doseWhole) + "." + std::to_string(doseFraction);
}

std::optional<MeasurementRecord> DecodeRecord(const std::uint8_t* reply, std::size_t size) {
    if (reply == nullptr || size != kRecordSize) return std::nullopt;
    MeasurementRecord r;
    std::copy(reply, reply + r.raw.size(), r.raw.begin());
    r.deviceNumber = BigEndian16(reply + 0);
    r.measureNumber = BigEndian16(reply + 2);
    r.time.minute = BcdToInt(reply[4]);
    r.time.hour = BcdToInt(reply[5]);
    r.time.day = BcdToInt(reply[6]);
    r.time.month = BcdToInt(reply[7]);
    r.time.year = 2000 + BcdToInt(reply[8]);
    r.time.second = 0;
    r.time.millisecond = 0;
    for (int i = 4; i <= 8; ++i) r.timeDigitsValid = r.timeDigitsValid && IsBcd(reply[i]);
    r.doseWhole = BigEndian16(reply + 10);
    r.doseFraction = reply[12];
    r.deviceError = reply[13];
    r.checksum = reply[14];
    r.checksumMatches = Checksum(reply, 14) == r.checksum;
    return r;
}

TDecodedReply DecodeReply(const std::string& reply) {
    if (reply.empty()) return {std::nullopt, TReplyFault::NoReply};
    auto record = DecodeRecord(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    if (!record) return {std::nullopt, TReplyFault::WrongSize};
    if (!record->checksumMatches) return {std::nullopt, TReplyFault::BadChecksum};
    return {std::move(record), TReplyFault::None};
}

std::string RecordRemark(const MeasurementRecord& record) {
    const bool badTime = !record.TimeIsValid();
    if (record.deviceError == 0) return badTime ? texts::kStatusInvalidTime : std::string();
    std::string remark = texts::kStatusDeviceError + std::to_string(record.deviceError);
    if (badTime) remark += texts::kStatusAlsoInvalidTime;
    return remark;
}

RecordTexts TextsOf(const MeasurementRecord& record, const RegionalFormats& formats) {
    return {std::to_string(record.deviceNumber), std::to_string(record.measureNumber),
            record.TimeIsValid() ? DateTimeToText(record.time, formats) : std::string(),
            record.DoseText()};
}

}  // namespace virel
