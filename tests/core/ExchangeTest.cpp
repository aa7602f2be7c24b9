#include <gtest/gtest.h>

#include "core/meter/DeviceTexts.h"
#include "core/Errors.h"
#include "core/meter/Exchange.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::FakeClock;
using fakes::FakeFaceView;
using fakes::FakeKeys;
using fakes::FakeLink;

class ExchangeTest : public ::testing::Test {
protected:
    ExchangeTest() {
        link.answer = [this](const std::string&) { return meterReply; };
        link.open = true;
    }

    FakeFaceView view;
    FakeClock clock;
    FakeLink link{clock};
    FakeKeys keys;
    fakes::FakePortLock portLock;
    TExchange exchange{link, clock, keys, portLock};

    bool Open() { return exchange.OpenComPort(fakes::WindowLine(view)); }
    std::string meterReply = std::string(15, '\x07');
};

TEST(Commands, BytesOnTheWire) {
    EXPECT_EQ(commands::kFpr, std::string("\x01\x46\x50\x52", 4));
    EXPECT_EQ(commands::kRpr, std::string("\x02\x52\x50\x52", 4));
    EXPECT_EQ(commands::kRes, std::string("\x03\x52\x45\x53", 4));
    EXPECT_EQ(commands::Rd(0), std::string("\x04\x52\x44\x00", 4));
    EXPECT_EQ(commands::Rd(255), std::string("\x04\x52\x44\xFF", 4));
    EXPECT_EQ(commands::Rd(0x1F), std::string("\x04\x52\x44\x1F", 4));
}

TEST_F(ExchangeTest, AnswerInFirstAttemptSendsOnceAndOnlyChecksEscLater) {
    const auto start = clock.now;
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), meterReply);
    EXPECT_EQ(link.sent, std::vector<std::string>{commands::kFpr});
    EXPECT_EQ(link.reads, 1);
    EXPECT_EQ(keys.checks, 3);
    EXPECT_LT(clock.now - start, 1000);
}

TEST_F(ExchangeTest, SilentMeterGetsThreeSendsAndFailsAfterFourToFiveAndAHalfSeconds) {
    meterReply.clear();
    const auto start = clock.now;
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), "");
    EXPECT_EQ(link.sent.size(), 3u);
    const auto elapsed = clock.now - start;
    EXPECT_GE(elapsed, 4000);
    EXPECT_LE(elapsed, 5500);
    // 1 s attempts: two reads of 501 ms each, the deadline passed after the second; 2 s: four.
    EXPECT_EQ(link.reads, 2 + 2 + 4);
    for (auto size : link.readSizes) EXPECT_EQ(size, kReadCount);
}

TEST_F(ExchangeTest, ClosedPortRunsTheAttemptsOutWithoutSending) {
    link.open = false;
    const auto start = clock.now;
    EXPECT_EQ(exchange.SendCommand(commands::kRes), "");
    const auto elapsed = clock.now - start;
    EXPECT_GT(elapsed, 4000);
    EXPECT_LT(elapsed, 4100);
    EXPECT_EQ(link.sent.size(), 3u);  // offered to the port, which sends nothing when closed
}

TEST_F(ExchangeTest, LateAnswerToAnEarlierSendingIsTakenInTheNextAttempt) {
    link.answerDelayMs = 1200;
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), meterReply);
    EXPECT_EQ(link.sent.size(), 2u);
}

// The meter answers every sending, each late: the answer to a repeated sending must not be
// taken by the next exchange as its own (a row of the export holding the record before it).
TEST_F(ExchangeTest, AnswersOwedToRepeatedSendingsAreDroppedBeforeTheNextExchange) {
    int answered = 0;
    link.answer = [&](const std::string& command) {
        return command + std::string(11, static_cast<char>('a' + answered++));
    };
    link.answerDelayMs = 1200;
    EXPECT_EQ(exchange.SendCommand(commands::Rd(0)), commands::Rd(0) + std::string(11, 'a'));
    EXPECT_EQ(link.sent.size(), 2u);
    EXPECT_TRUE(link.pending.empty()) << "the answer to the second sending is still on the line";

    EXPECT_EQ(exchange.SendCommand(commands::Rd(1)).substr(0, 4), commands::Rd(1));
}

TEST_F(ExchangeTest, AnAnswerInTheFirstAttemptWaitsForNothingMore) {
    link.answerDelayMs = 300;
    const auto start = clock.now;
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), meterReply);
    // The one read that brought the reply, nothing after it.
    EXPECT_EQ(link.reads, 1);
    EXPECT_LT(clock.now - start, 1000);
}

TEST_F(ExchangeTest, DroppingOwedAnswersLastsTheSpreadOfTheSendingsAndAMargin) {
    link.answerDelayMs = 2300;  // taken in the third attempt: three sendings, 2 s apart at most
    const auto start = clock.now;
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), meterReply);
    EXPECT_EQ(link.sent.size(), 3u);
    EXPECT_TRUE(link.pending.empty());
    // Three attempts' worth at most, plus the spread (about 2 s), plus the margin and a read.
    EXPECT_LE(clock.now - start, 4100 + 2100 + kOwedAnswerMarginMs + 501);
}

TEST_F(ExchangeTest, AFailingReadWhileDroppingKeepsTheReply) {
    link.answerDelayMs = 1200;
    link.onRead = [this] {
        if (link.sent.size() == 2 && link.pending.size() == 1) link.readThrows = 1;
    };
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), meterReply);
}

TEST_F(ExchangeTest, ReplyIsWhatOneReadReturnedAtMost280Bytes) {
    meterReply = std::string(300, 'x');
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), std::string(280, 'x'));
    // A reply cut by a pause: each piece is one read; the first piece is the reply.
    link.pending.clear();
    link.sent.clear();
    link.answer = nullptr;
    link.pending.push_back({clock.now + 100, std::string(10, 'a')});
    link.pending.push_back({clock.now + 1200, std::string(5, 'b')});
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), std::string(10, 'a'));
}

TEST_F(ExchangeTest, EscAtTheFirstCheckCancelsBeforeAnythingIsSent) {
    keys.escape = true;
    EXPECT_THROW(exchange.SendCommand(commands::kFpr), EProtocolCancel);
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(ExchangeTest, EscAfterACompleteReplyStillCancels) {
    keys.escapeAtCheck = 2;
    try {
        static_cast<void>(exchange.SendCommand(commands::kFpr));
        FAIL() << "no cancellation";
    } catch (const EProtocolCancel& e) {
        EXPECT_STREQ(e.what(), texts::kStatusCancelled);
    }
    EXPECT_EQ(link.sent.size(), 1u);
}

TEST_F(ExchangeTest, EscIsOnlyLookedAtWhenAnAttemptStarts) {
    meterReply.clear();
    // Pressed and released while the first attempt waits: the key state is never asked then.
    int readsSeen = 0;
    link.onRead = [&] { ++readsSeen; };
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), "");
    EXPECT_EQ(keys.checks, 3);
    EXPECT_GT(readsSeen, 3);
}

TEST_F(ExchangeTest, ErrorInsideAnAttemptEmptiesTheReplyAndTheNextAttemptRuns) {
    link.sendThrows = 1;
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), meterReply);
    EXPECT_EQ(link.sent.size(), 2u);

    link.sent.clear();
    link.pending.clear();
    link.readThrows = 2;  // the first two attempts lose their read
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), meterReply);
    EXPECT_EQ(link.sent.size(), 3u);

    link.sent.clear();
    link.pending.clear();
    link.readThrows = 3;
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), "");
}

TEST_F(ExchangeTest, ClockSetBackDuringAnAttemptDoesNotStretchIt) {
    meterReply.clear();
    bool jumped = false;
    link.onRead = [&] {
        if (!jumped) {
            jumped = true;
            clock.now -= 3'600'000;  // daylight saving ends
        }
    };
    EXPECT_EQ(exchange.SendCommand(commands::kFpr), "");
    EXPECT_LE(link.reads, 2 + 2 + 4 + 2);
}

TEST_F(ExchangeTest, OpenUsesThePortAndSpeedTheWindowGives) {
    link.open = false;
    view.portText = "COM4";
    view.speedText = "4800";
    EXPECT_TRUE(Open());
    EXPECT_EQ(link.baud, 4800);
    EXPECT_EQ(link.port, 4);
    exchange.CloseComPort();

    // Typed, not chosen from the lists.
    view.portText = " com12\t";
    view.speedText = "9600 ";
    EXPECT_TRUE(Open());
    EXPECT_EQ(link.baud, 9600);
    EXPECT_EQ(link.port, 12);
    exchange.CloseComPort();

    view.portText = "COM255";
    EXPECT_TRUE(Open());
    EXPECT_EQ(link.port, 255);
    exchange.CloseComPort();
    EXPECT_TRUE(view.events.empty()) << "known speeds leave the box alone";

    link.canOpen = false;
    EXPECT_FALSE(Open());
}

TEST_F(ExchangeTest, PortTextNamingNoPortOpensNothing) {
    link.open = false;
    for (const char* text : {"", "COM0", "COM256", "COM", "LPT1", "COM1x", "COM 1"}) {
        SCOPED_TRACE(text);
        view.portText = "COM3";
        EXPECT_TRUE(Open());  // a port used before ...
        exchange.CloseComPort();
        view.portText = text;
        EXPECT_FALSE(Open());  // ... is not taken instead
        EXPECT_EQ(link.port, 0);
        EXPECT_FALSE(link.open);
    }
}

TEST_F(ExchangeTest, SpeedBoxShowingNoKnownSpeedShowsAndUsesTheDefault) {
    for (const char* text : {"", "19200", "abc", "04800", "96 00"}) {
        SCOPED_TRACE(text);
        link.open = false;
        view.speedText = text;
        view.events.clear();
        EXPECT_TRUE(Open());
        EXPECT_EQ(link.baud, 4800);
        EXPECT_EQ(view.speedText, "4800");
        EXPECT_EQ(view.events, std::vector<std::string>{"speed 4800"});
        exchange.CloseComPort();
    }
}

TEST_F(ExchangeTest, ReadStringIsEmptyWhenNothingCame) {
    EXPECT_EQ(exchange.ReadString(), "");
    link.pending.push_back({clock.now, "abc"});
    EXPECT_EQ(exchange.ReadString(), "abc");
}

}  // namespace
}  // namespace virel
