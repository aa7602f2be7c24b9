#include <gtest/gtest.h>

#include <algorithm>

#include "core/meter/DeviceTexts.h"
#include "core/meter/MeasurementRecord.h"
#include "core/meter/MeterActions.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::FakeFaceView;
using fakes::Field;
using fakes::Record;

RegionalFormats Russian(const std::string& longTime = "H:mm:ss") {
    RegionalFormats f;
    f.shortDate = "dd.MM.yyyy";
    f.longTime = longTime;
    return f;
}

// Fields preset so "unchanged" is observable.
FakeFaceView ViewWithPreviousRecord() {
    FakeFaceView view;
    view.fields[Field::DevNumber] = "1";
    view.fields[Field::MeasureNumber] = "2";
    view.fields[Field::Time] = "01.01.2001 1:01:00";
    view.fields[Field::Dose] = "3.4";
    view.status = "Запрос...";
    return view;
}

// A reply as the live path takes it: an end of measurement whose meter answers `bytes`. The
// status history keeps what this reply wrote after the action's own "Запрос...".
bool Show(FakeFaceView& view, const std::vector<std::uint8_t>& bytes,
          const RegionalFormats& formats = Russian()) {
    fakes::FakeClock clock;
    fakes::FakeLink link{clock};
    fakes::FakeKeys keys;
    fakes::FakePortLock portLock;
    link.answer = [&bytes](const std::string&) { return fakes::Bytes(bytes); };
    TExchange exchange(link, clock, keys, portLock);
    FaceState state;
    TNoJournal journal;
    TMeterActions actions(view, exchange, formats, state, journal);
    view.statusHistory.clear();
    const bool accepted =
        actions.PrintExecute({{TLinePort("COM1"), 4800}, false}).record.has_value();
    if (!view.statusHistory.empty() && view.statusHistory.front() == texts::kStatusRequest) {
        view.statusHistory.erase(view.statusHistory.begin());
    }
    return accepted;
}

TEST(BcdToInt, CountsEveryNibbleWithItsValue) {
    EXPECT_EQ(BcdToInt(0x00), 0);
    EXPECT_EQ(BcdToInt(0x09), 9);
    EXPECT_EQ(BcdToInt(0x10), 10);
    EXPECT_EQ(BcdToInt(0x59), 59);
    EXPECT_EQ(BcdToInt(0x99), 99);
    EXPECT_EQ(BcdToInt(0x0F), 15);
    EXPECT_EQ(BcdToInt(0x1A), 20);
    EXPECT_EQ(BcdToInt(0x5A), 60);
    EXPECT_EQ(BcdToInt(0xA0), 100);
    EXPECT_EQ(BcdToInt(0xFF), 165);
}

TEST(BcdToInt, IsBcdOnlyForTwoDecimalDigits) {
    for (const std::uint8_t b : {0x00, 0x09, 0x10, 0x59, 0x90, 0x99}) EXPECT_TRUE(IsBcd(b)) << +b;
    for (const std::uint8_t b : {0x0A, 0x0F, 0x1A, 0x5A, 0x9F, 0xA0, 0xA9, 0xFF}) {
        EXPECT_FALSE(IsBcd(b)) << +b;
    }
}

TEST(Checksum, SumsModulo256) {
    const std::uint8_t bytes[] = {0xFF, 0xFF, 0x02};
    EXPECT_EQ(Checksum(bytes, 3), 0x00);
    EXPECT_EQ(Checksum(bytes, 2), 0xFE);
    EXPECT_EQ(Checksum(bytes, 0), 0x00);
}

// The four worked examples of a record under Russian regional settings.
TEST(AcceptedRecord, Example1ShowsAllFourFieldsWithoutStatus) {
    auto view = ViewWithPreviousRecord();
    const std::vector<std::uint8_t> r = {0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03,
                                         0x07, 0x00, 0x01, 0x02, 0x2D, 0x00, 0xB9};
    EXPECT_TRUE(Show(view, r));
    EXPECT_EQ(view.FieldText(Field::DevNumber), "42");
    EXPECT_EQ(view.FieldText(Field::MeasureNumber), "7");
    EXPECT_EQ(view.FieldText(Field::Time), "05.03.2007 14:35:00");
    EXPECT_EQ(view.FieldText(Field::Dose), "258.45");
    EXPECT_EQ(view.statusHistory, std::vector<std::string>{texts::kStatusReadOk}) << "no remark";
}

TEST(AcceptedRecord, Example2ReportsDeviceErrorAndShowsMidnightAsDateAlone) {
    auto view = ViewWithPreviousRecord();
    const std::vector<std::uint8_t> r = {0x01, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x31, 0x12,
                                         0x09, 0x00, 0x00, 0x00, 0x05, 0x03, 0x82};
    EXPECT_TRUE(Show(view, r));
    EXPECT_EQ(view.status, std::string(texts::kStatusDeviceError) + "3");
    EXPECT_EQ(view.FieldText(Field::DevNumber), "256");
    EXPECT_EQ(view.FieldText(Field::MeasureNumber), "300");
    EXPECT_EQ(view.FieldText(Field::Time), "31.12.2009");
    EXPECT_EQ(view.FieldText(Field::Dose), "0.5");
}

TEST(AcceptedRecord, Example3EmptiesTheTimeOfAnImpossibleDateAndSaysSo) {
    auto view = ViewWithPreviousRecord();
    const std::vector<std::uint8_t> r = {0x00, 0x2A, 0x00, 0x08, 0x10, 0x09, 0x31, 0x02,
                                         0x08, 0x00, 0x00, 0x0C, 0x07, 0x00, 0x99};
    EXPECT_TRUE(Show(view, r));
    EXPECT_EQ(view.FieldText(Field::DevNumber), "42");
    EXPECT_EQ(view.FieldText(Field::MeasureNumber), "8");
    EXPECT_EQ(view.FieldText(Field::Time), "") << "the previous record's time must not stay";
    EXPECT_EQ(view.FieldText(Field::Dose), "12.7");
    EXPECT_EQ(view.statusHistory, std::vector<std::string>{texts::kStatusInvalidTime});
}

TEST(AcceptedRecord, DeviceErrorAndInvalidTimeAreReportedTogether) {
    auto view = ViewWithPreviousRecord();
    EXPECT_TRUE(Show(view, Record({0, 1, 0, 1, 0x00, 0x1A, 0x01, 0x01, 0x10, 0, 0, 1, 0, 9})));
    EXPECT_EQ(view.status,
              std::string(texts::kStatusDeviceError) + "9" + texts::kStatusAlsoInvalidTime);
    EXPECT_EQ(view.FieldText(Field::Time), "");
    EXPECT_EQ(view.FieldText(Field::Dose), "1.0");
}

TEST(AcceptedRecord, Example4ChecksumMismatchChangesNoField) {
    auto view = ViewWithPreviousRecord();
    const std::vector<std::uint8_t> r = {0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03,
                                         0x07, 0x00, 0x01, 0x02, 0x2D, 0x00, 0xB8};
    EXPECT_FALSE(Show(view, r));
    EXPECT_EQ(view.status, texts::kStatusBadChecksum);
    EXPECT_EQ(view.fieldWrites, 0);
    EXPECT_EQ(view.FieldText(Field::DevNumber), "1");
}

TEST(AcceptedRecord, ChecksumMismatchWinsOverDeviceError) {
    auto view = ViewWithPreviousRecord();
    auto r = Record({0, 1, 0, 1, 0x35, 0x14, 0x05, 0x03, 0x07, 0, 0, 1, 0, 0x07});
    r[14] ^= 0x01;
    EXPECT_FALSE(Show(view, r));
    EXPECT_EQ(view.statusHistory, std::vector<std::string>{texts::kStatusBadChecksum});
}

TEST(AcceptedRecord, ZeroRecordHasValidChecksumButNoValidDate) {
    auto view = ViewWithPreviousRecord();
    const std::vector<std::uint8_t> r(15, 0);
    EXPECT_TRUE(Show(view, r));
    EXPECT_EQ(view.FieldText(Field::DevNumber), "0");
    EXPECT_EQ(view.FieldText(Field::MeasureNumber), "0");
    EXPECT_EQ(view.FieldText(Field::Time), "");
    EXPECT_EQ(view.FieldText(Field::Dose), "0.0");
    EXPECT_EQ(view.status, texts::kStatusInvalidTime);
}

TEST(AcceptedRecord, TimeStampEdgeCases) {
    struct Case {
        std::uint8_t minute, hour, day, month, year;
        const char* expected;  // nullptr: invalid, LE_Time empty
    };
    const Case cases[] = {
        // A nibble above 9 is no decimal digit, even where its value would pass.
        {0x00, 0x0F, 0x01, 0x01, 0x10, nullptr},  // hour 0x0F (would be 15)
        {0x00, 0x1A, 0x01, 0x01, 0x10, nullptr},  // hour 0x1A (would be 20)
        {0x0A, 0x10, 0x01, 0x01, 0x10, nullptr},  // minute 0x0A
        {0x00, 0x10, 0x1B, 0x01, 0x10, nullptr},  // day 0x1B
        {0x00, 0x10, 0x01, 0x0C, 0x10, nullptr},  // month 0x0C (would be 12)
        {0x00, 0x12, 0x15, 0x06, 0xA0, nullptr},  // year 0xA0 (would be 2100)
        {0x00, 0x12, 0x15, 0x06, 0x1F, nullptr},  // year 0x1F
        {0x5A, 0x10, 0x01, 0x01, 0x10, nullptr},  // minute 60
        {0x59, 0x23, 0x01, 0x01, 0x10, "01.01.2010 23:59:00"},
        {0x00, 0x24, 0x01, 0x01, 0x10, nullptr},  // hour 24
        {0x00, 0x12, 0x15, 0x06, 0x99, "15.06.2099 12:00:00"},
        {0x00, 0x12, 0x29, 0x02, 0x08, "29.02.2008 12:00:00"},  // leap year
        {0x00, 0x12, 0x29, 0x02, 0x07, nullptr},
        {0x00, 0x12, 0x31, 0x04, 0x10, nullptr},  // 31 April
        {0x00, 0x12, 0x01, 0x13, 0x10, nullptr},  // month 13
        {0x00, 0x12, 0x00, 0x01, 0x10, nullptr},  // day 0
        {0x01, 0x00, 0x02, 0x03, 0x10, "02.03.2010 0:01:00"},
        {0x00, 0x00, 0x02, 0x03, 0x10, "02.03.2010"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(
            ::testing::PrintToString(int{c.minute}) + " " + ::testing::PrintToString(int{c.hour}) +
            " " + ::testing::PrintToString(int{c.day}) + "." +
            ::testing::PrintToString(int{c.month}) + "." + ::testing::PrintToString(int{c.year}));
        auto view = ViewWithPreviousRecord();
        EXPECT_TRUE(Show(
            view, Record({0, 1, 0, 1, c.minute, c.hour, c.day, c.month, c.year, 0, 0, 1, 0, 0})));
        EXPECT_EQ(view.FieldText(Field::Time), c.expected ? c.expected : "");
        EXPECT_EQ(view.status, c.expected ? texts::kStatusReadOk : texts::kStatusInvalidTime);
        EXPECT_EQ(view.FieldText(Field::Dose), "1.0");
    }
}

TEST(AcceptedRecord, WineTimeFormatPadsTheHour) {
    auto view = ViewWithPreviousRecord();
    EXPECT_TRUE(Show(view, Record({0, 1, 0, 1, 0x01, 0x00, 0x02, 0x03, 0x10, 0, 0, 1, 0, 0}),
                     Russian("HH:mm:ss")));
    EXPECT_EQ(view.FieldText(Field::Time), "02.03.2010 00:01:00");
    EXPECT_TRUE(Show(view, Record({0, 1, 0, 1, 0x35, 0x14, 0x05, 0x03, 0x07, 0, 0, 1, 0, 0}),
                     Russian("HH:mm:ss")));
    EXPECT_EQ(view.FieldText(Field::Time), "05.03.2007 14:35:00");
}

TEST(AcceptedRecord, DoseFractionIsANumberNotDigits) {
    auto view = ViewWithPreviousRecord();
    EXPECT_TRUE(Show(view, Record({0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 5, 0})));
    EXPECT_EQ(view.FieldText(Field::Dose), "0.5");
    EXPECT_TRUE(Show(view, Record({0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 50, 0})));
    EXPECT_EQ(view.FieldText(Field::Dose), "0.50");
    EXPECT_TRUE(
        Show(view, Record({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 1, 0, 0x77, 0xFF, 0xFF, 0xFF, 0})));
    EXPECT_EQ(view.FieldText(Field::Dose), "65535.255");
    EXPECT_EQ(view.FieldText(Field::DevNumber), "65535");
    EXPECT_EQ(view.FieldText(Field::MeasureNumber), "65535");
}

TEST(AcceptedRecord, ChecksumWraps) {
    // 0x2A + 0xFF + 0x14 + 0x01 + 0x01 + 0x01 + 0x79 = 0x1B9.
    auto r = Record({0x00, 0x2A, 0x00, 0xFF, 0x00, 0x14, 0x01, 0x01, 0x01, 0x79, 0, 0, 0, 0});
    ASSERT_EQ(r[14], 0xB9);
    auto view = ViewWithPreviousRecord();
    EXPECT_TRUE(Show(view, r));
    EXPECT_EQ(view.FieldText(Field::MeasureNumber), "255");
}

TEST(AcceptedRecord, DeviceErrorNumberInDecimal) {
    auto view = ViewWithPreviousRecord();
    EXPECT_TRUE(Show(view, Record({0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 255})));
    EXPECT_EQ(view.status, std::string(texts::kStatusDeviceError) + "255");
}

TEST(AcceptedRecord, IgnoresAReplyOfAnotherLength) {
    auto view = ViewWithPreviousRecord();
    const std::vector<std::uint8_t> shortReply(14, 0);
    const std::vector<std::uint8_t> longReply(16, 0);
    EXPECT_FALSE(Show(view, shortReply));
    EXPECT_FALSE(Show(view, longReply));
    EXPECT_EQ(view.fieldWrites, 0);
    EXPECT_EQ(view.statusHistory, std::vector<std::string>{texts::kStatusReadFailed});
    EXPECT_FALSE(DecodeRecord(nullptr, 15));
}

TEST(DecodeReply, SaysWhyAReplyGaveNoRecord) {
    EXPECT_EQ(DecodeReply("").fault, TReplyFault::NoReply);
    EXPECT_EQ(DecodeReply(std::string(14, '\0')).fault, TReplyFault::WrongSize);
    EXPECT_EQ(DecodeReply(std::string(16, '\0')).fault, TReplyFault::WrongSize);
    std::string bad = fakes::Bytes(Record({0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 5, 0}));
    bad[14] = static_cast<char>(bad[14] ^ 0x01);
    const TDecodedReply refused = DecodeReply(bad);
    EXPECT_EQ(refused.fault, TReplyFault::BadChecksum);
    EXPECT_FALSE(refused.record) << "a record whose sum does not match is never handed on";
    const TDecodedReply good =
        DecodeReply(fakes::Bytes(Record({0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 5, 0})));
    ASSERT_TRUE(good.record);
    EXPECT_EQ(good.fault, TReplyFault::None);
    EXPECT_EQ(good.record->DoseText(), "0.5");
}

TEST(DecodeRecord, ReadsBigEndianNumbersAndBcdTime) {
    const auto bytes =
        Record({0x12, 0x34, 0xAB, 0xCD, 0x45, 0x23, 0x28, 0x02, 0x24, 0x00, 0x80, 0x01, 0x09, 0});
    const auto r = DecodeRecord(bytes.data(), 15);
    ASSERT_TRUE(r);
    // The 14 data bytes as they came, the checksum not among them.
    EXPECT_TRUE(std::equal(r->raw.begin(), r->raw.end(), bytes.begin(), bytes.begin() + 14));
    EXPECT_EQ(r->deviceNumber, 0x1234);
    EXPECT_EQ(r->measureNumber, 0xABCD);
    EXPECT_EQ(r->time.year, 2024);
    EXPECT_EQ(r->time.month, 2);
    EXPECT_EQ(r->time.day, 28);
    EXPECT_EQ(r->time.hour, 23);
    EXPECT_EQ(r->time.minute, 45);
    EXPECT_EQ(r->doseWhole, 0x8001);
    EXPECT_EQ(r->DoseText(), "32769.9");
    EXPECT_TRUE(r->checksumMatches);
    EXPECT_TRUE(r->TimeIsValid());
}

}  // namespace
}  // namespace virel
