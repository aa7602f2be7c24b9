// The program's own lock of a port across processes: an exchange takes it before it opens the
// port and lets it go when it closes, a harvest holds it for its whole read, another program's
// hold is waited for as a busy port (its schedule, its 30 s, Esc), and it is let go on every
// path an exchange or a harvest can end by.
#include <gtest/gtest.h>

#include <memory>

#include "core/Errors.h"
#include "core/meter/BusyPort.h"
#include "core/meter/DeviceTexts.h"
#include "core/meter/Exchange.h"
#include "core/meter/Harvest.h"
#include "core/meter/HarvestCommand.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::FakeClock;
using fakes::FakeKeys;
using fakes::FakeLink;
using fakes::FakePortLock;
using fakes::OpsRig;

class PortLockExchange : public ::testing::Test {
protected:
    FakeClock clock;
    FakeLink link{clock};
    FakeKeys keys;
    FakePortLock lock;
    std::unique_ptr<TExchange> exchange = std::make_unique<TExchange>(link, clock, keys, lock);
    TLineSettings line{TLinePort("com3"), 9600};
};

TEST_F(PortLockExchange, AnExchangeHoldsThePortsLockFromOpeningToClosing) {
    lock.onTry = [&] { EXPECT_EQ(link.opens, 0) << "the lock first, then the port"; };
    ASSERT_TRUE(exchange->OpenComPort(line));
    EXPECT_EQ(lock.tries, std::vector<int>{3});
    EXPECT_EQ(lock.held, std::set<int>{3});
    exchange->CloseComPort();
    EXPECT_TRUE(lock.held.empty());
    EXPECT_EQ(lock.releases, std::vector<int>{3});
    exchange->CloseComPort();
    EXPECT_EQ(lock.releasedUnheld, 0) << "a second close lets go of nothing more";
}

TEST_F(PortLockExchange, AnotherProgramsHoldIsWaitedForAsABusyPort) {
    lock.heldElsewhere = 5;
    const auto start = clock.now;
    ASSERT_TRUE(exchange->OpenComPort(line));
    EXPECT_EQ(link.opens, 1) << "the port is not opened while another program holds its lock";
    EXPECT_EQ(link.pauses, (std::vector<std::uint32_t>{10, 20, 40, 80, 100}));
    EXPECT_EQ(clock.now - start, 250);
    EXPECT_EQ(keys.checks, 5);
    exchange->CloseComPort();
    EXPECT_TRUE(lock.held.empty());
}

TEST_F(PortLockExchange, AHoldBeyondThirtySecondsFailsAsABusyPortThenAndOnlyThen) {
    lock.heldElsewhere = 1'000'000;
    const auto start = clock.now;
    EXPECT_FALSE(exchange->OpenComPort(line));
    EXPECT_EQ(clock.now - start, kBusyPortWaitMs);
    EXPECT_EQ(link.opens, 0);
    EXPECT_EQ(lock.acquires, 0);
}

TEST_F(PortLockExchange, TheLockIsLetGoOnEveryWayAnOpeningFails) {
    // The port is not there.
    link.canOpen = false;
    EXPECT_FALSE(exchange->OpenComPort(line));
    EXPECT_TRUE(lock.held.empty());
    EXPECT_EQ(lock.releases, std::vector<int>{3});

    // The device is held by a program without the lock (the system refused the opener) for
    // longer than the wait: the lock is let go between the tries, so others may take it.
    link.canOpen = true;
    link.busyOpens = 1'000'000;
    lock.releases.clear();
    EXPECT_FALSE(exchange->OpenComPort(line));
    EXPECT_TRUE(lock.held.empty());
    EXPECT_EQ(lock.releases.size(), static_cast<std::size_t>(link.opens - 1));
    EXPECT_EQ(lock.acquiredTwice, 0);
    EXPECT_EQ(lock.releasedUnheld, 0);
}

TEST_F(PortLockExchange, EscWhileAnotherProgramHoldsTheLockLeavesNothingHeld) {
    lock.heldElsewhere = 1'000'000;
    keys.escapeAtCheck = 3;
    EXPECT_THROW(static_cast<void>(exchange->OpenComPort(line)), EProtocolCancel);
    EXPECT_EQ(lock.acquires, 0);

    // Esc while the device itself is held: the lock taken for each try was let go.
    lock.heldElsewhere = 0;
    link.busyOpens = 1'000'000;
    keys.checks = 0;
    EXPECT_THROW(static_cast<void>(exchange->OpenComPort(line)), EProtocolCancel);
    EXPECT_TRUE(lock.held.empty());
    EXPECT_EQ(lock.releasedUnheld, 0);
}

TEST_F(PortLockExchange, AnExchangeEndedWithoutItsCloseLetsGoWhenItEnds) {
    ASSERT_TRUE(exchange->OpenComPort(line));
    ASSERT_TRUE(exchange->OpenComPort(line)) << "opened again: the same hold, taken anew";
    EXPECT_EQ(lock.acquiredTwice, 0);
    EXPECT_EQ(lock.held, std::set<int>{3});
    exchange.reset();
    EXPECT_TRUE(lock.held.empty());
}

TEST_F(PortLockExchange, NoLockFromTheSystemLetsTheExchangeGoOnWithoutOne) {
    lock.unavailable = true;
    ASSERT_TRUE(exchange->OpenComPort(line));
    EXPECT_TRUE(link.pauses.empty());
    exchange->CloseComPort();
    EXPECT_TRUE(lock.releases.empty()) << "nothing held, nothing let go";
}

TEST_F(PortLockExchange, ATextNamingNoPortTakesNoLock) {
    EXPECT_FALSE(exchange->OpenComPort({TLinePort("not a port"), 9600}));
    EXPECT_TRUE(lock.tries.empty());
    EXPECT_TRUE(link.pauses.empty());
}

TEST_F(PortLockExchange, AHoldAcrossExchangesTakesTheLockOnceAndEachPortItsOwn) {
    ASSERT_TRUE(exchange->HoldPort(line));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(exchange->OpenComPort(line));
        exchange->CloseComPort();
        EXPECT_EQ(lock.held, std::set<int>{3}) << "still held between the exchanges";
    }
    // Another port meanwhile has a lock of its own, let go with its exchange.
    ASSERT_TRUE(exchange->OpenComPort({TLinePort("COM4"), 9600}));
    EXPECT_EQ(lock.held, (std::set<int>{3, 4}));
    exchange->CloseComPort();
    EXPECT_EQ(lock.tries, (std::vector<int>{3, 4}));
    exchange->LetPortGo(line);
    EXPECT_TRUE(lock.held.empty());
    EXPECT_EQ(lock.releases, (std::vector<int>{4, 3}));
}

TEST_F(PortLockExchange, AHoldWaitsAsAnExchangeDoes) {
    lock.heldElsewhere = 3;
    {
        const TPortHold hold(*exchange, line);
        EXPECT_TRUE(hold);
        EXPECT_EQ(link.pauses, (std::vector<std::uint32_t>{10, 20, 40}));
        EXPECT_EQ(lock.held, std::set<int>{3});
    }
    EXPECT_TRUE(lock.held.empty());

    lock.heldElsewhere = 1'000'000;
    const auto start = clock.now;
    {
        const TPortHold hold(*exchange, line);
        EXPECT_FALSE(hold);
    }
    EXPECT_EQ(clock.now - start, kBusyPortWaitMs);
    EXPECT_EQ(lock.releasedUnheld, 0);
}

class PortLockHarvest : public ::testing::Test {
protected:
    OpsRig rig;
    TLineSettings line{TLinePort("COM3"), 9600};
};

TEST_F(PortLockHarvest, TheWholeReadIsOneHoldSoNoOtherExchangeComesBetweenItsRecords) {
    int readsWhileUnheld = 0;
    rig.link.onRead = [&] { readsWhileUnheld += rig.portLock.held.count(3) == 0 ? 1 : 0; };
    const THarvestResult result = rig.device->harvest.Harvest(line);
    EXPECT_EQ(result.outcome, THarvestResult::Outcome::Done);
    EXPECT_EQ(result.read, 256u);
    EXPECT_EQ(readsWhileUnheld, 0);
    EXPECT_EQ(rig.portLock.acquires, 1) << "taken once, not let go between the records";
    EXPECT_EQ(rig.link.opens, 256) << "the port itself is still opened for each record";
    EXPECT_TRUE(rig.portLock.held.empty());
}

TEST_F(PortLockHarvest, ASecondHarvestWaitsForTheFirstAndEndsAsABusyPortAfterThirtySeconds) {
    // Another program's harvest holds the port for a while: this one waits, then reads all.
    rig.portLock.heldElsewhere = 40;
    const THarvestResult waited = rig.device->harvest.Harvest(line);
    EXPECT_EQ(waited.outcome, THarvestResult::Outcome::Done);
    EXPECT_EQ(waited.read, 256u);
    EXPECT_EQ(HarvestExitOf(waited), THarvestExit::Done);

    // Held beyond the wait: nothing read, nothing sent, the busy port's text.
    rig.link.sent.clear();
    rig.portLock.heldElsewhere = 1'000'000;
    const auto start = rig.clock.now;
    const THarvestResult refused = rig.device->harvest.Harvest(line);
    EXPECT_EQ(rig.clock.now - start, kBusyPortWaitMs);
    EXPECT_EQ(refused.outcome, THarvestResult::Outcome::NoPort);
    EXPECT_TRUE(rig.link.sent.empty());
    EXPECT_EQ(HarvestSummary(refused, "COM3"), std::string(texts::kHarvestNoPort) + "COM3");
    EXPECT_FALSE(rig.ops->State().ExportRunning);
    EXPECT_TRUE(rig.view.meterActionsEnabled);
}

TEST_F(PortLockHarvest, TheWindowsActionsAndItsPeriodicPrintWaitForAnotherProgramsHarvest) {
    rig.view.portText = "COM3";
    rig.portLock.heldElsewhere = 20;
    rig.ops->PrintExecute();
    EXPECT_EQ(rig.view.status, texts::kStatusReadOk);
    EXPECT_EQ(rig.link.pauses.size(), 20u);
    EXPECT_TRUE(rig.portLock.held.empty());

    rig.view.readToFile = true;
    rig.view.autoTime = 5;  // the shortest interval
    rig.link.pauses.clear();
    rig.portLock.heldElsewhere = 20;
    const std::size_t sent = rig.link.sent.size();
    for (int tick = 0; tick < 5 && rig.link.sent.size() == sent; ++tick) rig.ops->TimerTimer();
    ASSERT_EQ(rig.link.sent.size(), sent + 1);
    EXPECT_EQ(rig.link.pauses.size(), 20u) << "the periodic print waited too";
    EXPECT_EQ(rig.link.sent.back(), commands::kFpr);
    EXPECT_TRUE(rig.portLock.held.empty());
}

TEST_F(PortLockHarvest, EscOrAFailingReadLetsTheHarvestsHoldGo) {
    rig.view.portText = "COM3";
    rig.view.onProcessMessages = [this] {
        if (rig.view.messagePasses == 30) throw Exception(texts::kExchangeAborted);
    };
    EXPECT_THROW(rig.ops->HarvestExecute(), Exception);
    EXPECT_TRUE(rig.portLock.held.empty());
    EXPECT_EQ(rig.portLock.releasedUnheld, 0);

    // Esc while another program's harvest holds the port.
    rig.view.onProcessMessages = nullptr;
    rig.portLock.heldElsewhere = 1'000'000;
    rig.keys.escapeAtCheck = rig.keys.checks + 2;
    EXPECT_THROW(rig.ops->HarvestExecute(), EProtocolCancel);
    EXPECT_EQ(rig.view.status, texts::kHarvestNotDone);
    EXPECT_TRUE(rig.portLock.held.empty());
    EXPECT_TRUE(rig.view.meterActionsEnabled);
}

TEST(HarvestCommandExit, AHarvestThatMissedRecordsEndsWithACodeOfItsOwn) {
    struct TCase {
        std::size_t read;
        bool held;
        bool mayHaveOverwritten;
        THarvestExit exit;
    };
    const TCase cases[] = {
        {256, false, false, THarvestExit::Done},
        {255, false, false, THarvestExit::Incomplete},
        {1, false, false, THarvestExit::Incomplete},
        {200, false, true, THarvestExit::Incomplete},
        {256, false, true, THarvestExit::MayHaveOverwritten},
        {200, true, false, THarvestExit::JournalUnwritable},
    };
    for (const TCase& c : cases) {
        THarvestResult result;
        result.meter = 42;
        result.read = c.read;
        result.held = c.held;
        result.mayHaveOverwritten = c.mayHaveOverwritten;
        EXPECT_EQ(HarvestExitOf(result), c.exit) << c.read << " " << c.held;
    }
    EXPECT_EQ(static_cast<int>(THarvestExit::Incomplete), 5);
}

}  // namespace
}  // namespace virel
