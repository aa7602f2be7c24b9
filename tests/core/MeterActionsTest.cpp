#include <gtest/gtest.h>

#include "core/Errors.h"
#include "core/meter/DeviceTexts.h"
#include "core/meter/MeterActions.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::Bytes;
using fakes::Field;
using fakes::OpsRig;
using fakes::Record;

const std::string kRecord1 = Bytes(
    Record({0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x01, 0x02, 0x2D, 0x00}));

class MeterActionsTest : public ::testing::Test {
protected:
    MeterActionsTest() {
        rig.view.fields[Field::DevNumber] = "1";
        rig.view.fields[Field::MeasureNumber] = "2";
        rig.view.fields[Field::Time] = "01.01.2001 1:01:00";
        rig.view.fields[Field::Dose] = "3.4";
    }
    void Answer(std::string reply) {
        rig.link.answer = [reply](const std::string&) { return reply; };
    }
    void ExpectFieldsUnchanged() {
        EXPECT_EQ(rig.view.FieldText(Field::DevNumber), "1");
        EXPECT_EQ(rig.view.FieldText(Field::MeasureNumber), "2");
        EXPECT_EQ(rig.view.FieldText(Field::Time), "01.01.2001 1:01:00");
        EXPECT_EQ(rig.view.FieldText(Field::Dose), "3.4");
    }
    const FaceState& State() const { return rig.ops->State(); }

    OpsRig rig;
};

TEST(StrToInt, AcceptsDecimalHexSignAndLeadingSpaces) {
    EXPECT_EQ(TryStrToInt("0"), 0);
    EXPECT_EQ(TryStrToInt("255"), 255);
    EXPECT_EQ(TryStrToInt("007"), 7);
    EXPECT_EQ(TryStrToInt("+12"), 12);
    EXPECT_EQ(TryStrToInt("-1"), -1);
    EXPECT_EQ(TryStrToInt("  42"), 42);
    EXPECT_EQ(TryStrToInt("$1F"), 31);
    EXPECT_EQ(TryStrToInt("0x1f"), 31);
    EXPECT_EQ(TryStrToInt("0XFF"), 255);
    EXPECT_EQ(TryStrToInt("-$10"), -16);
    EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(TryStrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(TryStrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(TryStrToInt("$80000000"), INT32_MIN);
}

TEST(StrToInt, RejectsEverythingElse) {
    for (const char* text : {"",           " ",           "-",          "+",
                             "$",          "0x",          "abc",        "12a",
                             "1 ",         "1.0",         "1,0",        "\t1",
                             "2147483648", "-2147483649", "$100000000", "99999999999999999999",
                             "0x-1",       "--1",         "x1F",        "١"}) {
        EXPECT_FALSE(TryStrToInt(text)) << '"' << text << '"';
    }
    try {
        StrToInt("12 абв");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'12 абв' is not a valid integer value");
    }
}

TEST_F(MeterActionsTest, PrintSendsFprAndShowsTheRecord) {
    rig.ops->PrintExecute();
    EXPECT_EQ(rig.link.sent, std::vector<std::string>{commands::kFpr});
    EXPECT_EQ(rig.view.statusHistory.front(), texts::kStatusRequest);
    EXPECT_EQ(rig.view.status, texts::kStatusReadOk);
    EXPECT_EQ(rig.view.FieldText(Field::DevNumber), "42");
    EXPECT_EQ(rig.view.FieldText(Field::Time), "05.03.2007 14:35:00");
    EXPECT_TRUE(State().LastReadOk);
    EXPECT_EQ(rig.link.opens, 1);
    EXPECT_EQ(rig.link.closes, 1);
    EXPECT_FALSE(rig.link.open);
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{"progress 0", "max 1", "progress 1", "close"}));
}

TEST_F(MeterActionsTest, PrintOnDeviceSendsRpr) {
    rig.view.printOnDevice = true;
    rig.ops->PrintExecute();
    EXPECT_EQ(rig.link.sent, std::vector<std::string>{commands::kRpr});
    EXPECT_TRUE(State().LastReadOk);
}

TEST_F(MeterActionsTest, PrintRejectsRepliesOfOtherLengths) {
    for (const std::size_t size : {3u, 14u, 16u}) {
        SCOPED_TRACE(size);
        std::string reply = kRecord1;
        reply.resize(size, '\0');
        Answer(reply);
        rig.ops->PrintExecute();
        EXPECT_FALSE(State().LastReadOk);
        EXPECT_EQ(rig.view.status, texts::kStatusReadFailed);
        ExpectFieldsUnchanged();
        EXPECT_EQ(rig.view.events.back(), "close");
        EXPECT_FALSE(rig.link.open);
    }
}

TEST_F(MeterActionsTest, SilentMeterFailsAndClearsLastReadOk) {
    rig.ops->PrintExecute();
    ASSERT_TRUE(State().LastReadOk);
    Answer("");
    rig.ops->PrintExecute();
    EXPECT_FALSE(State().LastReadOk);
    EXPECT_EQ(rig.view.status, texts::kStatusReadFailed);
    EXPECT_EQ(rig.link.sent.size(), 1u + 3u);
}

TEST_F(MeterActionsTest, PortTextNamingNoPortFailsAsAPortThatCannotBeOpened) {
    rig.view.portText = "COM7";
    rig.ops->PrintExecute();
    ASSERT_TRUE(State().LastReadOk);
    const std::size_t sentToCom7 = rig.link.sent.size();
    const auto fields = rig.view.fields;

    rig.view.portText = "COM7?";
    const auto start = rig.clock.now;
    rig.ops->PrintExecute();
    EXPECT_EQ(rig.view.status, texts::kStatusReadFailed);
    EXPECT_FALSE(State().LastReadOk);
    EXPECT_EQ(rig.view.fields, fields);
    // The attempts run out on a closed port (about 4 s), with nothing reaching COM7.
    EXPECT_GT(rig.clock.now - start, 4000);
    EXPECT_LT(rig.clock.now - start, 4100);
    EXPECT_EQ(rig.link.port, 0);
    EXPECT_EQ(rig.link.sent.size(), sentToCom7 + 3);  // offered to the closed link only
    EXPECT_FALSE(rig.link.open);
}

TEST_F(MeterActionsTest, WrongChecksumIsNoSuccess) {
    std::string reply = kRecord1;
    reply[14] = static_cast<char>(0xB8);
    Answer(reply);
    rig.ops->PrintExecute();
    EXPECT_FALSE(State().LastReadOk);
    EXPECT_EQ(rig.view.status, texts::kStatusBadChecksum);
    ExpectFieldsUnchanged();
    EXPECT_EQ(rig.view.gaugeProgress, 0);
}

TEST_F(MeterActionsTest, DeviceErrorIsShownCountsAsReadAndKeepsItsText) {
    Answer(Bytes(Record(
        {0x01, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x31, 0x12, 0x09, 0x00, 0x00, 0x00, 0x05, 0x03})));
    rig.ops->PrintExecute();
    EXPECT_TRUE(State().LastReadOk);
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusDeviceError) + "3");
    EXPECT_EQ(rig.view.FieldText(Field::DevNumber), "256");
    EXPECT_EQ(rig.view.FieldText(Field::Time), "31.12.2009");
}

TEST_F(MeterActionsTest, EscClosesThePortAndTheProgressWindowAndPropagates) {
    rig.ops->PrintExecute();
    rig.view.events.clear();
    rig.keys.escape = true;
    EXPECT_THROW(rig.ops->PrintExecute(), EProtocolCancel);
    EXPECT_FALSE(rig.link.open);
    EXPECT_EQ(rig.link.closes, 2);
    EXPECT_FALSE(State().LastReadOk);
    EXPECT_EQ(rig.view.status, texts::kStatusCancelled);
    EXPECT_EQ(rig.view.events, (std::vector<std::string>{"progress 0", "max 1", "close"}));
    EXPECT_EQ(rig.link.sent.size(), 1u);
}

TEST_F(MeterActionsTest, ClearAcceptsAnyThreeBytesAndLeavesLastReadOkAlone) {
    rig.ops->PrintExecute();
    ASSERT_TRUE(State().LastReadOk);
    rig.view.events.clear();
    Answer(std::string("\0\0\0", 3));
    rig.ops->ClearExecute();
    EXPECT_EQ(rig.link.sent.back(), commands::kRes);
    EXPECT_EQ(rig.view.statusHistory[rig.view.statusHistory.size() - 2], texts::kStatusClearing);
    EXPECT_EQ(rig.view.status, texts::kStatusClearOk);
    EXPECT_TRUE(State().LastReadOk);
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{"progress 0", "max 1", "progress 1", "close"}));

    Answer(kRecord1);
    rig.ops->ClearExecute();
    EXPECT_EQ(rig.view.status, texts::kStatusClearFailed);
    EXPECT_EQ(rig.view.FieldText(Field::DevNumber), "42");  // a record to RES is not shown
    EXPECT_TRUE(State().LastReadOk);
}

TEST_F(MeterActionsTest, ReadRecordSendsTheNumberAsOneByte) {
    const std::pair<const char*, char> cases[] = {
        {"0", '\x00'}, {"255", '\xFF'}, {"17", '\x11'}, {"$1F", '\x1F'}, {"-0", '\x00'}};
    for (const auto& [text, byte] : cases) {
        SCOPED_TRACE(text);
        rig.view.archiveNumber = text;
        rig.ops->ReadArcNExecute();
        EXPECT_EQ(rig.link.sent.back(), std::string("\x04RD", 3) + byte);
        EXPECT_TRUE(State().LastReadOk);
        EXPECT_EQ(rig.view.status, texts::kStatusReadOk);
    }
}

TEST_F(MeterActionsTest, ReadRecordStatusNamesTheMeasurementNumberShown) {
    rig.view.archiveNumber = "5";
    rig.ops->ReadArcNExecute();
    // No record read yet: nothing to name.
    EXPECT_EQ(rig.view.statusHistory.front(), texts::kStatusRequestRecord);
    EXPECT_EQ(rig.view.FieldText(Field::MeasureNumber), "1005");
    EXPECT_EQ(rig.view.FieldText(Field::Dose), "5.5");
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{"progress 0", "max 1", "progress 1", "close"}));
    rig.view.statusHistory.clear();
    rig.view.archiveNumber = "6";
    rig.ops->ReadArcNExecute();
    EXPECT_EQ(rig.view.statusHistory.front(), std::string(texts::kStatusRequestRecord) + "1005");
}

TEST_F(MeterActionsTest, ReadRecordWithBadNumberFailsBeforeThePortIsOpened) {
    rig.ops->PrintExecute();
    ASSERT_TRUE(State().LastReadOk);
    rig.view.events.clear();
    rig.view.archiveNumber = "abc";
    try {
        rig.ops->ReadArcNExecute();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(rig.link.opens, 1);
    EXPECT_EQ(rig.link.sent.size(), 1u);
    EXPECT_FALSE(State().LastReadOk);
    EXPECT_EQ(rig.view.status, std::string(texts::kStatusRequestRecord) + "7");
    EXPECT_EQ(rig.view.events, (std::vector<std::string>{"progress 0", "max 1", "close"}));
}

TEST_F(MeterActionsTest, ReadRecordOutsideTheArchiveIsRefusedBeforeThePortIsOpened) {
    for (const char* text : {"-1", "256", "-256", "300", "$100", "2147483647", "-2147483648"}) {
        SCOPED_TRACE(text);
        rig.ops->PrintExecute();
        ASSERT_TRUE(State().LastReadOk);
        const auto opens = rig.link.opens;
        const auto sent = rig.link.sent.size();
        rig.view.events.clear();
        rig.view.archiveNumber = text;
        try {
            rig.ops->ReadArcNExecute();
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), texts::kErrorRecordNumberRange);
        }
        EXPECT_EQ(rig.link.opens, opens);
        EXPECT_EQ(rig.link.sent.size(), sent);
        EXPECT_FALSE(State().LastReadOk);
        EXPECT_EQ(rig.view.status, std::string(texts::kStatusRequestRecord) + "7");
        EXPECT_EQ(rig.view.events, (std::vector<std::string>{"progress 0", "max 1", "close"}));
    }
}

TEST_F(MeterActionsTest, InvalidTimeStampCountsAsReadEmptiesTheTimeAndSaysSo) {
    Answer(Bytes(Record(
        {0x00, 0x2A, 0x00, 0x08, 0x10, 0x1A, 0x01, 0x02, 0x08, 0x00, 0x00, 0x0C, 0x07, 0x00})));
    rig.ops->PrintExecute();
    EXPECT_TRUE(State().LastReadOk);
    EXPECT_EQ(rig.view.status, texts::kStatusInvalidTime);
    EXPECT_EQ(rig.view.FieldText(Field::Time), "");
    EXPECT_EQ(rig.view.FieldText(Field::MeasureNumber), "8");
    EXPECT_EQ(rig.view.FieldText(Field::Dose), "12.7");
    ASSERT_TRUE(State().LastRecord);
    EXPECT_EQ(State().LastRecord->measureNumber, 8);
}

TEST_F(MeterActionsTest, ReadRecordFailureKeepsFields) {
    Answer(std::string(14, '\0'));
    rig.ops->ReadArcNExecute();
    EXPECT_EQ(rig.view.status, texts::kStatusReadFailed);
    EXPECT_FALSE(State().LastReadOk);
    ExpectFieldsUnchanged();
}

TEST(MeterActionsBatch, ReadRecordLeavesGaugeAndProgressWindowToTheExport) {
    fakes::FakeFaceView view;
    fakes::FakeClock clock;
    fakes::FakeLink link{clock};
    fakes::FakeKeys keys;
    fakes::FakePortLock portLock;
    link.answer = OpsRig::DefaultAnswer;
    TExchange exchange{link, clock, keys, portLock};
    const RegionalFormats formats;
    FaceState state;
    state.BatchReading = true;
    TNoJournal journal;
    TMeterActions actions{view, exchange, formats, state, journal};
    const TLineSettings line{TLinePort("COM1"), 4800};
    const TPrintSettings print{line, false};

    actions.ReadArcNExecute(line, "9");
    EXPECT_TRUE(state.LastReadOk);
    EXPECT_EQ(view.status, texts::kStatusReadOk);
    EXPECT_EQ(view.FieldText(Field::MeasureNumber), "1009");

    link.answer = nullptr;
    actions.ReadArcNExecute(line, "9");
    EXPECT_FALSE(state.LastReadOk);
    EXPECT_EQ(view.status, texts::kStatusReadFailed);

    EXPECT_THROW(actions.ReadArcNExecute(line, "x"), Exception);
    EXPECT_TRUE(view.events.empty());

    // So do the end of measurement and the reset, run between two records of the export,
    // whether they succeed, fail or are cancelled.
    link.answer = OpsRig::DefaultAnswer;
    actions.PrintExecute(print);
    EXPECT_EQ(view.status, texts::kStatusReadOk);
    actions.ClearExecute(line);
    EXPECT_EQ(view.status, texts::kStatusClearOk);
    link.answer = nullptr;
    actions.PrintExecute(print);
    actions.ClearExecute(line);
    EXPECT_EQ(view.status, texts::kStatusClearFailed);
    keys.escape = true;
    EXPECT_THROW(actions.PrintExecute(print), EProtocolCancel);
    EXPECT_THROW(actions.ClearExecute(line), EProtocolCancel);
    EXPECT_TRUE(view.events.empty());

    // Once the export is over they own them again.
    keys.escape = false;
    state.BatchReading = false;
    actions.PrintExecute(print);
    EXPECT_EQ(view.events, (std::vector<std::string>{"progress 0", "max 1", "close"}));
}

}  // namespace
}  // namespace virel
