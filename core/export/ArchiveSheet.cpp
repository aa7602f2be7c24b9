#include "core/export/ArchiveSheet.h"

#include <algorithm>
#include <cstdio>

#include "core/meter/DeviceTexts.h"

namespace virel {

const std::array<const char*, kArchiveColumns>& ArchiveHeaders() {
    static const std::array<const char*, kArchiveColumns> headers = {
        texts::kHeaderTime, texts::kHeaderMeasureNumber, texts::kHeaderDose,
        texts::kHeaderDeviceError};
    return headers;
}

std::optional<int> DeviceErrorCell(const MeasurementRecord& record) {
    if (record.deviceError == 0) return std::nullopt;
    return record.deviceError;
}

std::string ArchiveTitle(const std::string& deviceNumber, const DateTime& today,
                         const RegionalFormats& formats) {
    return texts::kArchiveTitle + deviceNumber + texts::kArchiveTitleOn +
           DateToText(today, formats);
}

TArchiveRow ArchiveRowTexts(const MeasurementRecord& record, const RegionalFormats& formats) {
    RecordTexts texts = TextsOf(record, formats);
    const auto error = DeviceErrorCell(record);
    return {std::move(texts.time), std::move(texts.measureNumber), std::move(texts.dose),
            error ? std::to_string(*error) : std::string()};
}

int DoseFractionDigits(const MeasurementRecord& record) {
    return static_cast<int>(std::to_string(record.doseFraction).size());
}

double DoseValue(const MeasurementRecord& record) {
    double scale = 1;
    for (int i = 0; i < DoseFractionDigits(record); ++i) scale *= 10;
    return record.doseWhole + record.doseFraction / scale;
}

std::string ExactDoseText(double dose) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", dose);
    std::string result = text;
    // A C library set to another locale would write ",".
    std::replace(result.begin(), result.end(), ',', '.');
    return result;
}

}  // namespace virel
