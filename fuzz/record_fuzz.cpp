// The meter's reply as the decoder and the record's texts see it: any bytes, any length.
#include <cstdint>
#include <string>

#include "core/meter/DeviceTexts.h"
#include "core/meter/MeasurementRecord.h"
#include "fuzz/FuzzInput.h"

using namespace virel;
using virel::fuzz::Check;

namespace {

bool IsDecimal(const std::string& text) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 300) return 0;  // the exchange never collects more than 280 bytes
    RegionalFormats formats;
    formats.shortDate = "dd.MM.yyyy";
    formats.longTime = "H:mm:ss";

    const auto record = DecodeRecord(data, size);
    const TDecodedReply reply =
        DecodeReply(std::string(reinterpret_cast<const char*>(data), size));
    Check(record.has_value() == (size == kRecordSize), "only 15 bytes are a record");
    if (!record) {
        Check(!reply.record && reply.fault == (size == 0 ? TReplyFault::NoReply
                                                         : TReplyFault::WrongSize),
              "a reply of another length gives no record");
        return 0;
    }
    Check(record->checksumMatches == (Checksum(data, 14) == data[14]), "checksum of bytes 0..13");
    if (!record->checksumMatches) {
        Check(!reply.record && reply.fault == TReplyFault::BadChecksum,
              "a wrong checksum gives no record, and says so");
        return 0;
    }
    Check(reply.record.has_value() && reply.fault == TReplyFault::None,
          "a record with a good checksum is taken");
    const RecordTexts shown = TextsOf(*reply.record, formats);
    const std::string remark = RecordRemark(*reply.record);
    const std::string& dev = shown.devNumber;
    const std::string& measure = shown.measureNumber;
    const std::string& dose = shown.dose;
    const std::string& time = shown.time;
    Check(dev == std::to_string(data[0] * 256 + data[1]), "device number, big-endian", dev);
    Check(measure == std::to_string(data[2] * 256 + data[3]), "measurement number", measure);
    const std::size_t point = dose.find('.');
    Check(point != std::string::npos && IsDecimal(dose.substr(0, point)) &&
              IsDecimal(dose.substr(point + 1)),
          "dose: two decimal numbers joined by a full stop", dose);
    Check(dose == std::to_string(data[10] * 256 + data[11]) + "." + std::to_string(data[12]),
          "dose from bytes 10..12", dose);
    if (data[13] != 0) {
        Check(remark.find(texts::kStatusDeviceError + std::to_string(data[13])) !=
                  std::string::npos,
              "a device error is reported with its number", remark);
    }
    if (record->TimeIsValid()) {
        Check(time == DateTimeToText(record->time, formats), "a valid time stamp is shown", time);
        Check(time.size() == 10 || time.size() == 18 || time.size() == 19, "date, or date and time",
              time);
    } else {
        // An impossible stamp must never show up as a date: the field is emptied, and said why.
        Check(time.empty(), "an invalid time stamp is not shown", time);
        Check(!remark.empty(), "an invalid time stamp is reported", remark);
    }
    return 0;
}
