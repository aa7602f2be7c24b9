// The program's own lock of a port across processes: taken before the port opens and let go as
// it closes, held by a harvest for its whole read, another program's hold waited for as a busy
// port (its schedule, its 30 s, Esc), and let go on every way an exchange or a harvest ends.
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

using fakes::OpsRig;

class PortLockExchange : public ::testing::Test {
protected:
    fakes::FakeClock clock;
    fakes::FakeLink link{clock};
    fakes::FakeKeys keys;
    fakes::FakePortLock lock;
    std::unique_ptr<TExchange> exchange = std::make_unique<TExchange>(link, clock, keys, lock);
    TLineSettings line{TLinePort("com3"), 9600};
};

TEST_F(PortLockExchange, HeldFromOpeningToClosingAndAnotherHolderWaitedForAsABusyPort) {
    lock.heldElsewhere = 5;
    lock.onTry = [&] { EXPECT_EQ(link.opens, 0) << "the lock first, then the port"; };
    ASSERT_TRUE(exchange->OpenComPort(line));
    EXPECT_EQ(link.pauses, (std::vector<std::uint32_t>{10, 20, 40, 80, 100}));
    EXPECT_EQ(keys.checks, 5);
    EXPECT_EQ(lock.held, std::set<int>{3});
    exchange->CloseComPort();
    exchange->CloseComPort();
    EXPECT_EQ(lock.releases, std::vector<int>{3}) << "let go once";

    lock.onTry = nullptr;
    lock.heldElsewhere = 1'000'000;
    const auto start = clock.now;
    EXPECT_FALSE(exchange->OpenComPort(line));
    EXPECT_EQ(clock.now - start, kBusyPortWaitMs);
    EXPECT_EQ(link.opens, 1) << "never opened while another program held the lock";
}

TEST_F(PortLockExchange, LetGoOnEveryWayAnOpeningFailsOrTheExchangeEnds) {
    link.canOpen = false;  // the port is not there
    EXPECT_FALSE(exchange->OpenComPort(line));
    EXPECT_TRUE(lock.held.empty());
    // The device held by a program without the lock: let go between the tries, so others may
    // take it, and after the wait.
    link.canOpen = true;
    link.busyOpens = 1'000'000;
    EXPECT_FALSE(exchange->OpenComPort(line));
    EXPECT_EQ(lock.releases.size(), static_cast<std::size_t>(link.opens));
    // Esc while waiting for either.
    keys.escapeAtCheck = keys.checks + 2;
    EXPECT_THROW(static_cast<void>(exchange->OpenComPort(line)), EProtocolCancel);
    link.busyOpens = 0;
    lock.heldElsewhere = 1'000'000;
    keys.escapeAtCheck = keys.checks + 2;
    EXPECT_THROW(static_cast<void>(exchange->OpenComPort(line)), EProtocolCancel);
    EXPECT_TRUE(lock.held.empty());
    // Opened twice without a close, then the exchange ends without one.
    lock.heldElsewhere = 0;
    ASSERT_TRUE(exchange->OpenComPort(line));
    ASSERT_TRUE(exchange->OpenComPort(line));
    exchange.reset();
    EXPECT_TRUE(lock.held.empty());
    EXPECT_EQ(lock.acquiredTwice, 0);
    EXPECT_EQ(lock.releasedUnheld, 0);
}

TEST_F(PortLockExchange, NoLockFromTheSystemOrNoPortNamedGoesOnWithoutOne) {
    EXPECT_FALSE(exchange->OpenComPort({TLinePort("not a port"), 9600}));
    EXPECT_TRUE(lock.tries.empty());
    lock.unavailable = true;
    ASSERT_TRUE(exchange->OpenComPort(line));
    exchange->CloseComPort();
    EXPECT_TRUE(link.pauses.empty());
    EXPECT_TRUE(lock.releases.empty()) << "nothing held, nothing let go";
}

TEST_F(PortLockExchange, AHoldAcrossExchangesTakesTheLockOnceAndWaitsAsTheyDo) {
    lock.heldElsewhere = 3;
    {
        const TPortHold hold(*exchange, line);
        ASSERT_TRUE(hold);
        EXPECT_EQ(link.pauses.size(), 3u);
        for (const char* port : {"COM3", "COM3", "COM4"}) {
            ASSERT_TRUE(exchange->OpenComPort({TLinePort(port), 9600}));
            exchange->CloseComPort();
            EXPECT_EQ(lock.held, std::set<int>{3}) << "still held between the exchanges";
        }
        EXPECT_EQ(lock.tries, (std::vector<int>{3, 3, 3, 3, 4})) << "COM4's lock its own";
    }
    EXPECT_TRUE(lock.held.empty());
    lock.heldElsewhere = 1'000'000;
    EXPECT_FALSE(TPortHold(*exchange, line));
    EXPECT_EQ(lock.releasedUnheld, 0);
}

class PortLockHarvest : public ::testing::Test {
protected:
    OpsRig rig;
    TLineSettings line{TLinePort("COM3"), 9600};
};

TEST_F(PortLockHarvest, OneHoldForTheWholeReadAfterAnotherProgramsHarvest) {
    rig.portLock.heldElsewhere = 40;  // another program's harvest ends meanwhile
    int readsUnheld = 0;
    rig.link.onRead = [&] { readsUnheld += rig.portLock.held.count(3) == 0 ? 1 : 0; };
    const THarvestResult result = rig.device->harvest.Harvest(line);
    EXPECT_EQ(result.read, 256u);
    EXPECT_EQ(HarvestExitOf(result), THarvestExit::Done);
    EXPECT_EQ(readsUnheld, 0);
    EXPECT_EQ(rig.portLock.acquires, 1) << "not let go between the records";
    EXPECT_TRUE(rig.portLock.held.empty());

    // Held beyond the wait: nothing sent, the busy port's text.
    rig.link.sent.clear();
    rig.portLock.heldElsewhere = 1'000'000;
    const auto start = rig.clock.now;
    const THarvestResult refused = rig.device->harvest.Harvest(line);
    EXPECT_EQ(rig.clock.now - start, kBusyPortWaitMs);
    EXPECT_TRUE(rig.link.sent.empty());
    EXPECT_EQ(HarvestSummary(refused, "COM3"), std::string(texts::kHarvestNoPort) + "COM3");
}

TEST_F(PortLockHarvest, TheWindowsPrintAndPeriodicPrintWaitAndEscLetsTheHarvestsHoldGo) {
    rig.view.portText = "COM3";
    rig.view.readToFile = true;
    rig.view.autoTime = 5;
    rig.portLock.heldElsewhere = 20;
    rig.ops->PrintExecute();
    EXPECT_EQ(rig.view.status, texts::kStatusReadOk);
    rig.portLock.heldElsewhere = 20;
    for (int tick = 0; tick < 5; ++tick) rig.ops->TimerTimer();
    EXPECT_EQ(rig.link.sent, (std::vector<std::string>{commands::kFpr, commands::kFpr}));
    EXPECT_EQ(rig.link.pauses.size(), 40u) << "both waited";

    rig.portLock.heldElsewhere = 1'000'000;
    rig.keys.escapeAtCheck = rig.keys.checks + 2;
    EXPECT_THROW(rig.ops->HarvestExecute(), EProtocolCancel);
    EXPECT_EQ(rig.view.status, texts::kHarvestNotDone);
    rig.portLock.heldElsewhere = 0;
    const int abortAt = rig.view.messagePasses + 30;
    rig.view.onProcessMessages = [this, abortAt] {
        if (rig.view.messagePasses == abortAt) throw Exception(texts::kExchangeAborted);
    };
    EXPECT_THROW(rig.ops->HarvestExecute(), Exception);
    EXPECT_TRUE(rig.portLock.held.empty());
    EXPECT_EQ(rig.portLock.releasedUnheld, 0);
}

TEST(HarvestCommandExit, AHarvestThatMissedRecordsEndsWithACodeOfItsOwn) {
    struct TCase {
        std::size_t read;
        bool held, mayHaveOverwritten;
        THarvestExit exit;
    };
    for (const TCase& c : {TCase{256, false, false, THarvestExit::Done},
                           TCase{255, false, false, THarvestExit::Incomplete},
                           TCase{200, false, true, THarvestExit::Incomplete},
                           TCase{256, false, true, THarvestExit::MayHaveOverwritten},
                           TCase{200, true, false, THarvestExit::JournalUnwritable}}) {
        THarvestResult result;
        result.read = c.read;
        result.held = c.held;
        result.mayHaveOverwritten = c.mayHaveOverwritten;
        EXPECT_EQ(HarvestExitOf(result), c.exit) << c.read << " " << c.held;
    }
    EXPECT_EQ(static_cast<int>(THarvestExit::Incomplete), 5);
}

}  // namespace
}  // namespace virel
