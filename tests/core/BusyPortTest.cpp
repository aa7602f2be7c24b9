// A port another program holds (the window and a scheduled harvest, each in its exchange): the
// schedule of the tries on a fake clock, the exchange that waits for it, and what a wait that
// ends (time, Esc) leaves behind.
#include <gtest/gtest.h>

#include <numeric>

#include "core/Errors.h"
#include "core/meter/BusyPort.h"
#include "core/meter/DeviceTexts.h"
#include "core/meter/Exchange.h"
#include "core/meter/Harvest.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::FakeClock;
using fakes::FakeKeys;
using fakes::FakeLink;
using fakes::OpsRig;

TEST(BusyPortRetry, PausesShortFirstThenAtMostTheLongestUntilThirtySeconds) {
    std::int64_t now = 5'000;
    TBusyPortRetry retry(now);
    std::vector<std::uint32_t> pauses;
    while (const auto pause = retry.NextPause(now)) {
        pauses.push_back(*pause);
        now += *pause + 3;  // each try itself takes a little time
        ASSERT_LT(pauses.size(), 1000u) << "the wait never ended";
    }
    ASSERT_GE(pauses.size(), 5u);
    EXPECT_EQ((std::vector<std::uint32_t>(pauses.begin(), pauses.begin() + 5)),
              (std::vector<std::uint32_t>{10, 20, 40, 80, 100}));
    for (std::size_t i = 5; i + 1 < pauses.size(); ++i) EXPECT_EQ(pauses[i], 100u) << i;
    EXPECT_GT(pauses.back(), 0u);
    // Over when 30 s have passed since the port was first found held, not before.
    EXPECT_GE(now - 5'000, kBusyPortWaitMs);
    EXPECT_LE(now - 5'000, kBusyPortWaitMs + 3);
}

TEST(BusyPortRetry, TheLastPauseEndsAtTheWaitsEndAndAClockSetBackRestartsIt) {
    TBusyPortRetry retry(0);
    EXPECT_EQ(retry.NextPause(29'995), std::optional<std::uint32_t>(5));
    EXPECT_EQ(retry.NextPause(30'000), std::nullopt);

    TBusyPortRetry back(100'000);
    EXPECT_TRUE(back.NextPause(120'000));
    // The wall clock set back an hour: the wait counts from now again, not for an hour more.
    EXPECT_TRUE(back.NextPause(100'000 - 3'600'000));
    EXPECT_TRUE(back.NextPause(100'000 - 3'600'000 + 29'000));
    EXPECT_EQ(back.NextPause(100'000 - 3'600'000 + 30'000), std::nullopt);
}

class BusyPortExchange : public ::testing::Test {
protected:
    FakeClock clock;
    FakeLink link{clock};
    FakeKeys keys;
    fakes::FakePortLock portLock;
    TExchange exchange{link, clock, keys, portLock};
    TLineSettings line{TLinePort("COM3"), 9600};
};

TEST_F(BusyPortExchange, APortHeldForAWhileOpensWhenTheOtherProgramLetsItGo) {
    link.busyOpens = 5;
    const auto start = clock.now;
    EXPECT_TRUE(exchange.OpenComPort(line));
    EXPECT_EQ(link.opens, 6);
    EXPECT_EQ(link.pauses, (std::vector<std::uint32_t>{10, 20, 40, 80, 100}));
    EXPECT_EQ(clock.now - start, 250);
    EXPECT_EQ(keys.checks, 5) << "Esc is looked at before each pause";
}

TEST_F(BusyPortExchange, APortHeldForMoreThanThirtySecondsFailsThenAndOnlyThen) {
    link.busyOpens = 1'000'000;
    const auto start = clock.now;
    EXPECT_FALSE(exchange.OpenComPort(line));
    EXPECT_EQ(clock.now - start, kBusyPortWaitMs);
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(BusyPortExchange, APortThatIsNotThereOrNamedIsNotWaitedFor) {
    link.canOpen = false;
    EXPECT_FALSE(exchange.OpenComPort(line));
    EXPECT_FALSE(exchange.OpenComPort({TLinePort("not a port"), 9600}));
    EXPECT_EQ(link.opens, 2);
    EXPECT_TRUE(link.pauses.empty());
    EXPECT_EQ(keys.checks, 0);
}

TEST_F(BusyPortExchange, EscWhileWaitingCancelsWithTheUsualStatus) {
    OpsRig rig;
    rig.view.portText = "COM3";
    rig.link.busyOpens = 1'000'000;
    rig.keys.escapeAtCheck = 4;
    const auto start = rig.clock.now;
    EXPECT_THROW(rig.device->actions.PrintExecute({{TLinePort("COM3"), 9600}, false}),
                 EProtocolCancel);
    EXPECT_EQ(rig.view.StatusText(), texts::kStatusCancelled);
    EXPECT_LT(rig.clock.now - start, 1'000);
    EXPECT_TRUE(rig.link.sent.empty());
}

TEST_F(BusyPortExchange, AHarvestWaitsForThePortBetweenItsRecords) {
    OpsRig rig;
    // The window holds the port at the start and twice more during the harvest's reading.
    rig.link.busyOpens = 7;
    int readsSeen = 0;
    rig.link.onRead = [&] {
        if (++readsSeen == 100 || readsSeen == 200) rig.link.busyOpens = 3;
    };
    const THarvestResult result = rig.device->harvest.Harvest({TLinePort("COM3"), 9600});
    EXPECT_EQ(result.outcome, THarvestResult::Outcome::Done);
    EXPECT_EQ(result.read, 256u);
    EXPECT_EQ(result.added, 256u);
    EXPECT_EQ(rig.link.pauses.size(), 7u + 3u + 3u);
}

}  // namespace
}  // namespace virel
