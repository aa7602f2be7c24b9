// The meter's reply as the record decoder and the four fields see it: any bytes, any length.
#include <cstdint>
#include <string>

#include "core/DeviceTexts.h"
#include "core/MeasurementRecord.h"
#include "fuzz/FuzzInput.h"
#include "tests/core/FakeFaceView.h"

using namespace virel;
using virel::fuzz::Check;

namespace {

const char kOld[] = "old text";

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

    fakes::FakeFaceView view;
    for (Field f : {Field::DevNumber, Field::MeasureNumber, Field::Time, Field::Dose})
        view.SetFieldText(f, kOld);
    view.fieldWrites = 0;
    view.SetStatusText(kOld);

    const auto record = DecodeRecord(data, size);
    const bool shown = ShowLast(view, data, size, formats);
    Check(record.has_value() == (size == kRecordSize), "only 15 bytes are a record");
    if (!record) {
        Check(!shown && view.fieldWrites == 0 && view.status == kOld,
              "a reply of another length changes nothing");
        return 0;
    }
    Check(record->checksumMatches == (Checksum(data, 14) == data[14]), "checksum of bytes 0..13");
    if (!record->checksumMatches) {
        Check(!shown && view.fieldWrites == 0, "a wrong checksum leaves every field alone");
        Check(view.status == texts::kStatusBadChecksum, "a wrong checksum is reported");
        return 0;
    }
    Check(shown, "a record with a good checksum is shown");
    const std::string dev = view.FieldText(Field::DevNumber);
    const std::string measure = view.FieldText(Field::MeasureNumber);
    const std::string dose = view.FieldText(Field::Dose);
    const std::string time = view.FieldText(Field::Time);
    Check(dev == std::to_string(data[0] * 256 + data[1]), "device number, big-endian", dev);
    Check(measure == std::to_string(data[2] * 256 + data[3]), "measurement number", measure);
    const std::size_t point = dose.find('.');
    Check(point != std::string::npos && IsDecimal(dose.substr(0, point)) &&
              IsDecimal(dose.substr(point + 1)),
          "dose: two decimal numbers joined by a full stop", dose);
    Check(dose == std::to_string(data[10] * 256 + data[11]) + "." + std::to_string(data[12]),
          "dose from bytes 10..12", dose);
    if (data[13] != 0) {
        Check(view.status.find(texts::kStatusDeviceError + std::to_string(data[13])) !=
                  std::string::npos,
              "a device error is reported with its number", view.status);
    }
    if (record->TimeIsValid()) {
        Check(time == DateTimeToText(record->time, formats), "a valid time stamp is shown", time);
        Check(time.size() == 10 || time.size() == 18 || time.size() == 19, "date, or date and time",
              time);
    } else {
        // An impossible stamp must never show up as a date; the field is left or emptied.
        Check(time == kOld || time.empty(), "an invalid time stamp is not shown", time);
    }
    return 0;
}
