// The quick reply read: a reply is taken once its bytes are in and the line has stayed quiet
// for the guard; what comes within the guard makes it too long; the slow read is untouched.
#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "core/meter/Exchange.h"
#include "core/meter/ReplyPace.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

// A line on which each byte arrives at a given millisecond. Reads behave as the serial
// component's: they end when `count` bytes are in, or once no byte came for more than the idle
// time after the call or the last byte.
class TimedLine : public IDeviceLink {
public:
    std::int64_t now = 0;
    std::deque<std::pair<std::int64_t, std::uint8_t>> arrivals;
    std::uint32_t speed = 9600;
    std::vector<std::uint32_t> idleTimes;  // of every read, in order

    void Arrive(std::int64_t at, int count, std::uint8_t value = 0x11, std::int64_t spacing = 1) {
        for (int i = 0; i < count; ++i) arrivals.emplace_back(at + i * spacing, value);
    }
    bool Open(const TLineSettings&) override { return true; }
    void Close() override {}
    bool SendString(const std::string&) override { return true; }
    std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) override {
        return Read(buffer, count, 500);
    }
    std::uint32_t ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t idleMs) override {
        return Read(buffer, count, idleMs);
    }
    std::uint32_t LineSpeed() const override { return speed; }

private:
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t idleMs) {
        idleTimes.push_back(idleMs);
        std::uint32_t got = 0;
        std::int64_t mark = now;
        while (got < count) {
            if (arrivals.empty() || arrivals.front().first - mark > idleMs) {
                now = mark + idleMs + 1;
                break;
            }
            now = std::max(now, arrivals.front().first);
            buffer[got++] = arrivals.front().second;
            arrivals.pop_front();
            mark = now;
        }
        return got;
    }
};

TEST(ReplyGuard, FourCharactersAtTheLineSpeedAndAtLeastFiveMs) {
    EXPECT_EQ(ReplyGuardMs(9600), 5u);   // 4.2 ms of line time
    EXPECT_EQ(ReplyGuardMs(4800), 9u);   // 8.3 ms
    EXPECT_EQ(ReplyGuardMs(2400), 17u);  // 16.7 ms
    EXPECT_EQ(ReplyGuardMs(1200), 34u);  // 33.3 ms
    EXPECT_EQ(ReplyGuardMs(115200), 5u);
    EXPECT_EQ(ReplyGuardMs(1), 40000u);
    EXPECT_EQ(ReplyGuardMs(0), 20u);  // speed unknown
}

class PacedRead : public ::testing::Test {
protected:
    std::uint32_t Read(std::uint32_t expected = 15) {
        return ReadPacedReply(line, buffer, kReadCount, expected);
    }
    TimedLine line;
    std::uint8_t buffer[kReadBufferSize]{};
};

TEST_F(PacedRead, AWholeReplyIsTakenAfterTheGuardInsteadOfTheInputTimeout) {
    line.Arrive(100, 15);  // bytes at 100..114 ms
    EXPECT_EQ(Read(), 15u);
    EXPECT_EQ(line.now, 114 + 5 + 1);
    EXPECT_EQ(line.idleTimes, (std::vector<std::uint32_t>{500, 5}));

    line.speed = 4800;
    line.now = 0;
    line.idleTimes.clear();
    line.Arrive(50, 15, 0x22, 2);
    EXPECT_EQ(Read(), 15u);
    EXPECT_EQ(line.now, 78 + 9 + 1);
    EXPECT_EQ(buffer[14], 0x22);
}

TEST_F(PacedRead, BytesWithinTheGuardMakeTheReplyTooLong) {
    line.Arrive(100, 15);
    line.Arrive(118, 1, 0x33);  // 4 ms after the 15th: within the 5 ms guard
    line.Arrive(121, 3, 0x44);  // and more behind it
    EXPECT_EQ(Read(), 19u);
    EXPECT_EQ(buffer[15], 0x33);
    EXPECT_EQ(buffer[18], 0x44);
}

TEST_F(PacedRead, AByteAfterTheGuardIsLeftOnTheLine) {
    line.Arrive(100, 15);
    line.Arrive(130, 1, 0x55);  // 16 ms late: left for the purge of the next opening
    EXPECT_EQ(Read(), 15u);
    ASSERT_EQ(line.arrivals.size(), 1u);
    EXPECT_EQ(line.arrivals.front().second, 0x55);
}

TEST_F(PacedRead, ACutReplyAndASilentLineWaitTheInputTimeoutAsBefore) {
    line.Arrive(100, 14);
    EXPECT_EQ(Read(), 14u);
    EXPECT_EQ(line.now, 113 + 500 + 1);
    EXPECT_EQ(line.idleTimes, (std::vector<std::uint32_t>{500}));

    line.now = 0;
    EXPECT_EQ(Read(), 0u);
    EXPECT_EQ(line.now, 501);
}

TEST_F(PacedRead, AReplyInTwoBurstsWithinTheInputTimeoutIsStillWhole) {
    line.Arrive(100, 8);
    line.Arrive(400, 7);  // a pause under 500 ms inside the reply
    EXPECT_EQ(Read(), 15u);
    EXPECT_EQ(line.now, 406 + 5 + 1);
}

TEST_F(PacedRead, NoExpectedSizeIsTheSlowRead) {
    line.Arrive(100, 15);
    EXPECT_EQ(Read(0), 15u);
    EXPECT_EQ(line.now, 114 + 500 + 1);
    EXPECT_EQ(line.idleTimes, (std::vector<std::uint32_t>{500}));
}

TEST(PacedExchange, TheExchangeTakesTheQuickReplyOnlyWhileAsked) {
    fakes::FakeClock clock;
    fakes::FakeKeys keys;
    fakes::FakePortLock portLock;
    TimedLine line;
    TExchange exchange(line, clock, keys, portLock);

    line.Arrive(0, 15);
    exchange.SetQuickReplySize(15);
    EXPECT_EQ(exchange.ReadString().size(), 15u);
    EXPECT_EQ(line.idleTimes, (std::vector<std::uint32_t>{500, 5}));

    exchange.SetQuickReplySize(0);
    line.idleTimes.clear();
    line.Arrive(line.now, 15);
    EXPECT_EQ(exchange.ReadString().size(), 15u);
    EXPECT_EQ(line.idleTimes, (std::vector<std::uint32_t>{500}));
}

TEST(PacedExchange, ALinkWithoutTheQuickReadFallsBackToItsOwnRead) {
    fakes::FakeClock clock;
    fakes::FakeLink link(clock);
    link.open = true;
    link.pending.push_back({clock.now, std::string(15, '\x01')});
    std::uint8_t buffer[kReadBufferSize]{};
    // The rest is read with the link's own time-out: slow, but nothing is lost.
    EXPECT_EQ(ReadPacedReply(link, buffer, kReadCount, 15), 15u);
    EXPECT_EQ(link.readSizes, (std::vector<std::uint32_t>{15, kReadCount - 15}));
}

}  // namespace
}  // namespace virel
