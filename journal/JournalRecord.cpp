#include "journal/JournalRecord.h"

#include <cstdio>
#include <cstdlib>

#include "core/export/ArchiveSheet.h"

namespace virel {

namespace {

constexpr const char* kSourceTexts[] = {"print", "record", "export", "harvest"};

std::string Format(const char* pattern, const DateTime& v) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, v.year, v.month, v.day, v.hour, v.minute, v.second);
    return text;
}

}  // namespace

const char* SourceText(TJournalSource source) {
    return kSourceTexts[static_cast<int>(source)];
}

std::optional<TJournalSource> SourceOfText(std::string_view text) {
    for (int i = 0; i < 4; ++i) {
        if (text == kSourceTexts[i]) return static_cast<TJournalSource>(i);
    }
    return std::nullopt;
}

std::string JournalDateText(const DateTime& value) {
    return Format("%04d-%02d-%02d", value);
}

std::string JournalMinuteText(const DateTime& value) {
    return Format("%04d-%02d-%02d %02d:%02d", value);
}

std::string JournalSecondText(const DateTime& value) {
    return Format("%04d-%02d-%02d %02d:%02d:%02d", value);
}

TJournalRecord JournalRecordOf(const MeasurementRecord& record, TJournalSource source,
                               const DateTime& pcNow) {
    TJournalRecord r;
    r.raw = record.raw;
    r.device = record.deviceNumber;
    r.number = record.measureNumber;
    if (record.TimeIsValid()) r.measuredAt = JournalMinuteText(record.time);
    r.dose = DoseValue(record);
    if (record.deviceError != 0) r.deviceError = record.deviceError;
    r.firstSeen = JournalSecondText(pcNow);
    r.source = source;
    return r;
}

std::optional<int> ClockDifferenceMinutes(const MeasurementRecord& record, const DateTime& pcNow) {
    if (!record.TimeIsValid() || !IsValidDateTime(pcNow)) return std::nullopt;
    DateTime pcMinute = pcNow;
    pcMinute.second = 0;
    pcMinute.millisecond = 0;
    const std::int64_t difference = ToMilliseconds(record.time) - ToMilliseconds(pcMinute);
    return static_cast<int>(difference / 60'000);
}

}  // namespace virel
