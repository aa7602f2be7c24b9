#include <gtest/gtest.h>

#include "core/export/ArchiveSheet.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::MeterRecord;

TEST(JournalRecordOf, KeepsTheBytesAndTheFieldsAsTheExportsWriteThem) {
    MeterRecord m;
    m.device = 0x1234;
    m.number = 0xABCD;
    m.time = {2024, 2, 29, 23, 45, 0, 0};
    m.doseWhole = 300;
    m.doseFraction = 50;
    const MeasurementRecord decoded = m.Decoded();
    const TJournalRecord r =
        JournalRecordOf(decoded, TJournalSource::Harvest, {2025, 3, 1, 7, 5, 9, 999});
    EXPECT_EQ(r.raw, decoded.raw);
    EXPECT_EQ(r.raw[0], 0x12);
    EXPECT_EQ(r.raw[13], 0);
    EXPECT_EQ(r.device, 0x1234);
    EXPECT_EQ(r.number, 0xABCD);
    EXPECT_EQ(r.measuredAt, "2024-02-29 23:45");
    EXPECT_DOUBLE_EQ(r.dose, 300.5) << "fraction byte 50 is .50";
    EXPECT_DOUBLE_EQ(r.dose, DoseValue(decoded));
    EXPECT_EQ(r.deviceError, std::nullopt);
    EXPECT_EQ(r.firstSeen, "2025-03-01 07:05:09");
    EXPECT_EQ(r.source, TJournalSource::Harvest);
}

TEST(JournalRecordOf, AnInvalidTimeIsEmptyAndADeviceErrorIsKept) {
    MeterRecord m;
    m.badTime = true;
    m.error = 7;
    const TJournalRecord digits = m.Journal();
    EXPECT_EQ(digits.measuredAt, std::nullopt);
    EXPECT_EQ(digits.deviceError, 7);

    MeterRecord february;
    february.time = {2025, 2, 30, 8, 0, 0, 0};  // every nibble a digit, but no such day
    EXPECT_EQ(february.Journal().measuredAt, std::nullopt);
    EXPECT_EQ(february.Journal().deviceError, std::nullopt);
}

TEST(JournalSource, TextsGoBothWays) {
    const std::pair<TJournalSource, const char*> all[] = {{TJournalSource::Print, "print"},
                                                          {TJournalSource::Record, "record"},
                                                          {TJournalSource::Export, "export"},
                                                          {TJournalSource::Harvest, "harvest"}};
    for (const auto& [source, text] : all) {
        EXPECT_STREQ(SourceText(source), text);
        EXPECT_EQ(SourceOfText(text), source);
    }
    EXPECT_EQ(SourceOfText("Print"), std::nullopt);
    EXPECT_EQ(SourceOfText(""), std::nullopt);
}

TEST(ClockDifferenceMinutes, ComparesTheMeterMinuteWithThePcMinute) {
    MeterRecord m;
    m.time = {2025, 9, 14, 10, 25, 0, 0};
    EXPECT_EQ(ClockDifferenceMinutes(m.Decoded(), {2025, 9, 14, 10, 30, 15, 0}), -5);
    EXPECT_EQ(ClockDifferenceMinutes(m.Decoded(), {2025, 9, 14, 10, 25, 59, 999}), 0)
        << "the seconds of the PC's clock are no difference";
    EXPECT_EQ(ClockDifferenceMinutes(m.Decoded(), {2025, 9, 14, 10, 18, 0, 0}), 7);
    m.time = {2025, 9, 15, 0, 2, 0, 0};
    EXPECT_EQ(ClockDifferenceMinutes(m.Decoded(), {2025, 9, 14, 23, 58, 30, 0}), 4)
        << "across midnight";
    m.time = {2026, 9, 14, 10, 25, 0, 0};
    EXPECT_EQ(ClockDifferenceMinutes(m.Decoded(), {2025, 9, 14, 10, 25, 0, 0}), 365 * 24 * 60);
    m.badTime = true;
    EXPECT_EQ(ClockDifferenceMinutes(m.Decoded(), {2025, 9, 14, 10, 25, 0, 0}), std::nullopt);
}

}  // namespace
}  // namespace virel
