// TCPDrv sending, reading with idle time-outs, and receive polling, against the fake device and
// its fake clock (every clock reading advances it by `step` ms).
#include <gtest/gtest.h>

#include <stdexcept>

#include "FakeSerialBackend.h"
#include "serial/CPDrv.h"

namespace virel::test {
namespace {

using namespace serial_const;

class CPDrvTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        UseTestLine(port);
        port.SetPort(pnCOM1);
        ASSERT_TRUE(port.Connect());
        dev->step = 1;
    }

    std::shared_ptr<FakeDevice> dev = std::make_shared<FakeDevice>();
    TCPDrv port{nullptr, dev->MakeBackend()};
};

// --- Queries ---

TEST_F(CPDrvTransfer, QueriesOnClosedPort) {
    port.Disconnect();
    EXPECT_EQ(port.InputCount(), 65535u);
    EXPECT_EQ(port.OutputFreeSpace(), 65535);
    dev->modemStatus = kMsCtsOn | kMsDsrOn;
    EXPECT_TRUE(port.ModemSignals().Empty());
}

TEST_F(CPDrvTransfer, QueriesOnOpenPort) {
    dev->Queue(Bytes(17));
    EXPECT_EQ(port.InputCount(), 17u);
    dev->outQueue = 56;
    EXPECT_EQ(port.OutputFreeSpace(), 200);
    // A driver queue larger than OutBufSize wraps in 16-bit arithmetic.
    dev->outQueue = 300;
    EXPECT_EQ(port.OutputFreeSpace(), static_cast<std::uint16_t>(256 - 300));

    const std::pair<std::uint32_t, TModemSignal> lines[] = {
        {kMsCtsOn, msCTS}, {kMsDsrOn, msDSR}, {kMsRingOn, msRING}, {kMsRlsdOn, msRLSD}};
    for (const auto& [bit, signal] : lines) {
        dev->modemStatus = bit;
        const TModemSignals s = port.ModemSignals();
        for (const auto& [otherBit, other] : lines) {
            EXPECT_EQ(s.Contains(other), other == signal) << bit;
        }
    }
    dev->modemStatus = 0xF0;
    dev->failModemStatus = true;  // a pseudo-terminal has no modem lines
    EXPECT_TRUE(port.ModemSignals().Empty());

    dev->failClearError = true;
    EXPECT_EQ(port.InputCount(), 0u);
}

// --- Sending ---

TEST_F(CPDrvTransfer, SendStringAndClosedPort) {
    EXPECT_TRUE(port.SendString(""));
    EXPECT_TRUE(dev->writeRequests.empty());
    EXPECT_TRUE(
        port.SendString(std::string("\x01"
                                    "FPR",
                                    4)));
    EXPECT_EQ(dev->written, (std::vector<std::uint8_t>{0x01, 'F', 'P', 'R'}));
    const std::string withZero("\x04RD\x00", 4);
    EXPECT_TRUE(port.SendString(withZero));
    EXPECT_EQ(dev->written.size(), 8u);
    EXPECT_EQ(dev->written.back(), 0x00);

    port.Disconnect();
    EXPECT_TRUE(port.SendString(""));
    EXPECT_FALSE(port.SendString("RES"));
    EXPECT_EQ(port.SendData("abc", 3), 0u);
    EXPECT_EQ(port.SendDataWithTimeout("abc", 3, 1000), 0u);
    EXPECT_EQ(dev->written.size(), 8u);
}

TEST_F(CPDrvTransfer, SendWritesNoMoreThanFreeSpace) {
    dev->outQueue = 256 - 10;  // 10 bytes free
    dev->writeLimit = 7;
    const auto data = Bytes(40);
    EXPECT_EQ(port.SendDataWithTimeout(data.data(), 40, 100), 40u);
    EXPECT_EQ(dev->written, data);
    for (std::uint32_t r : dev->writeRequests) EXPECT_LE(r, 10u);
}

TEST_F(CPDrvTransfer, SendIdleTimeoutCountsFromLastProgress) {
    // The driver's queue is full for two stretches of 400 ms each: idle time never reaches
    // 500 ms, though the whole send takes more than 800 ms.
    const std::uint32_t start = dev->now;
    dev->writeLimit = 4;
    dev->onClock = [&] {
        const std::uint32_t t = dev->now - start;
        const bool full = (t >= 3 && t < 403) || (t >= 406 && t < 806);
        dev->outQueue = full ? 256 : 0;
    };
    const auto data = Bytes(28);
    EXPECT_EQ(port.SendDataWithTimeout(data.data(), 28, 500), 28u);
    EXPECT_GT(dev->now - start, 800u);
    EXPECT_EQ(dev->written, data);

    // With 300 ms the first stall ends the send with what went out before it.
    dev->written.clear();
    dev->outQueue = 0;
    const std::uint32_t start2 = dev->now;
    dev->onClock = [&] { dev->outQueue = (dev->now - start2 >= 3) ? 256 : 0; };
    const std::uint32_t sent = port.SendDataWithTimeout(data.data(), 28, 300);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, 28u);
    EXPECT_EQ(dev->written.size(), sent);
    const std::uint32_t took = dev->now - start2;
    EXPECT_GE(took, 300u);
    EXPECT_LE(took, 310u);
}

TEST_F(CPDrvTransfer, SendWithZeroTimeoutGivesUpOnceTheClockMoves) {
    dev->acceptWritesFrom = dev->now + 1000;  // the device takes nothing
    const std::uint32_t start = dev->now;
    EXPECT_FALSE(port.SendString("FPR"));
    EXPECT_LE(dev->now - start, 3u);
    // With the clock standing still it does not spin: it pauses before trying again, and
    // gives up once the counter has moved on.
    dev->step = 0;
    dev->pauses.clear();
    const auto writes = dev->writeRequests.size();
    EXPECT_EQ(port.SendData("x", 1), 0u);
    EXPECT_EQ(dev->pauses, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(dev->writeRequests.size(), writes + 2);
}

TEST_F(CPDrvTransfer, SendPausesWhileTheQueueIsFull) {
    // The driver's queue stays full for 200 ms, then drains.
    const std::uint32_t start = dev->now;
    dev->outQueue = 256;
    dev->onClock = [&] {
        if (dev->now - start >= 200) dev->outQueue = 0;
    };
    const auto data = Bytes(20);
    EXPECT_EQ(port.SendDataWithTimeout(data.data(), 20, 500), 20u);
    EXPECT_EQ(dev->written, data);
    // One look at the queue per pause of 1 ms (the fake clock also moves 1 ms per reading).
    EXPECT_GE(dev->pauses.size(), 60u);
    EXPECT_LE(dev->clearErrorCalls, static_cast<int>(dev->pauses.size()) + 2);
    for (std::uint32_t p : dev->pauses) EXPECT_EQ(p, 1u);
}

TEST_F(CPDrvTransfer, SendChecksLineStatus) {
    port.SetCheckLineStatus(true);
    dev->modemStatus = 0;
    EXPECT_EQ(port.SendData("abc", 3), 0u);
    EXPECT_TRUE(dev->writeRequests.empty());
    dev->failModemStatus = true;
    EXPECT_FALSE(port.SendString("abc"));
    dev->failModemStatus = false;
    dev->modemStatus = kMsDsrOn;
    EXPECT_TRUE(port.SendString("abc"));
    EXPECT_EQ(dev->written.size(), 3u);
    // The lines drop half-way: the send stops before its next write.
    dev->writeLimit = 2;
    auto writes = static_cast<int>(dev->writeRequests.size());
    dev->onClock = [&] {
        if (dev->writeRequests.size() != static_cast<std::size_t>(writes)) {
            writes = static_cast<int>(dev->writeRequests.size());
            dev->modemStatus = 0;
        }
    };
    EXPECT_EQ(port.SendDataWithTimeout("abcdef", 6, 100), 2u);
}

// --- Reading ---

TEST_F(CPDrvTransfer, ReadReturnsAfterIdleTimeoutFollowingLastByte) {
    std::uint8_t buf[300];
    const std::uint32_t start = dev->now;
    const std::uint32_t arrival = start + 100;
    dev->ArriveAt(arrival, Bytes(15, 0x40));
    EXPECT_EQ(port.ReadData(buf, 280), 15u);
    const std::uint32_t afterLast = dev->now - arrival;
    EXPECT_GE(afterLast, 500u);
    EXPECT_LE(afterLast, 505u);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 15), Bytes(15, 0x40));
    EXPECT_EQ(port.PollingPauseCount(), 0);
}

TEST_F(CPDrvTransfer, ReadReturnsAtOnceWhenCountComplete) {
    std::uint8_t buf[300];
    const std::uint32_t arrival = dev->now + 100;
    dev->ArriveAt(arrival, Bytes(15));
    dev->ArriveAt(arrival + 50, Bytes(5));  // not waited for
    EXPECT_EQ(port.ReadData(buf, 15), 15u);
    EXPECT_LE(dev->now - arrival, 2u);
    // Asks only for what is queued, never more than the count left.
    for (std::uint32_t r : dev->readRequests) EXPECT_LE(r, 15u);
}

TEST_F(CPDrvTransfer, ReadWithNothingOrZeroCount) {
    std::uint8_t buf[16];
    std::uint32_t start = dev->now;
    EXPECT_EQ(port.ReadData(buf, 16), 0u);
    EXPECT_GE(dev->now - start, 500u);
    EXPECT_LE(dev->now - start, 505u);

    // (Up to 505: every reading of the fake clock moves it on by a millisecond.)
    dev->Queue(Bytes(4));
    start = dev->now;
    EXPECT_EQ(port.ReadData(buf, 0), 0u);
    EXPECT_LE(dev->now - start, 1u);
    EXPECT_EQ(dev->input.size(), 4u);

    port.Disconnect();
    start = dev->now;
    EXPECT_EQ(port.ReadData(buf, 16), 0u);
    EXPECT_EQ(dev->now, start);
}

TEST_F(CPDrvTransfer, ReadCollectsPiecesWithShortGaps) {
    std::uint8_t buf[300];
    const std::uint32_t t = dev->now + 10;
    dev->ArriveAt(t, Bytes(5, 0));
    dev->ArriveAt(t + 450, Bytes(5, 5));
    dev->ArriveAt(t + 900, Bytes(5, 10));
    EXPECT_EQ(port.ReadData(buf, 280), 15u);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 15), Bytes(15));

    // A gap longer than the time-out cuts the reply.
    const std::uint32_t t2 = dev->now + 10;
    dev->ArriveAt(t2, Bytes(10));
    dev->ArriveAt(t2 + 600, Bytes(5));
    EXPECT_EQ(port.ReadData(buf, 280), 10u);
    EXPECT_EQ(port.ReadData(buf, 280), 5u);
}

TEST_F(CPDrvTransfer, ReadAcrossTickCounterWrap) {
    dev->now = 0xFFFFFF00u;
    std::uint8_t buf[300];
    dev->ArriveAt(0xFFFFFF80u, Bytes(8));
    dev->ArriveAt(0x00000100u, Bytes(7, 8));  // 384 ms later, after the wrap
    EXPECT_EQ(port.ReadData(buf, 280), 15u);
    EXPECT_GE(dev->now - 0x100u, 500u);
    EXPECT_LE(dev->now - 0x100u, 505u);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 15), Bytes(15));

    // Silence across the wrap still waits the full time-out.
    dev->now = 0xFFFFFFF0u;
    EXPECT_EQ(port.ReadData(buf, 280), 0u);
    EXPECT_GE(static_cast<std::uint32_t>(dev->now - 0xFFFFFFF0u), 500u);
    EXPECT_LE(static_cast<std::uint32_t>(dev->now - 0xFFFFFFF0u), 505u);
}

TEST_F(CPDrvTransfer, ReadGivesUpOnBytesTheDriverNeverHandsOver) {
    dev->phantomInput = true;
    const std::uint32_t start = dev->now;
    dev->onClock = [&] {
        if (dev->now - start > 100000) dev->phantomInput = false;  // stop a runaway loop
    };
    std::uint8_t buf[300];
    EXPECT_EQ(port.ReadData(buf, 280), 0u);
    EXPECT_GE(dev->now - start, 500u);
    EXPECT_LE(dev->now - start, 520u);
    // It sleeps between its looks at the driver instead of asking again at once.
    EXPECT_FALSE(dev->pauses.empty());
    EXPECT_LE(dev->clearErrorCalls, 70);
}

TEST_F(CPDrvTransfer, ReadWaitsInTheDriverWhileNothingComes) {
    std::uint8_t buf[300];
    const std::uint32_t start = dev->now;
    const auto calls = dev->calls.size();
    EXPECT_EQ(port.ReadData(buf, 280), 0u);
    EXPECT_GE(dev->now - start, 500u);
    EXPECT_LE(dev->now - start, 505u);
    // One look at the queue, then one wait for a byte over the whole idle time; the port's
    // settings are not touched.
    ASSERT_EQ(dev->waits.size(), 1u);
    EXPECT_GE(dev->waits[0], 500u);
    EXPECT_LE(dev->waits[0], 501u);
    EXPECT_LE(dev->clearErrorCalls, 3);
    EXPECT_TRUE(dev->pauses.empty());
    EXPECT_EQ(dev->calls.size(), calls);

    // A count complete without waiting does not wait.
    dev->Queue(Bytes(15));
    EXPECT_EQ(port.ReadData(buf, 15), 15u);
    EXPECT_EQ(dev->waits.size(), 1u);

    // The longest InputTimeout must not wrap round to a time-out of 0, which means "for ever".
    port.SetInputTimeout(0xFFFFFFFFu);
    dev->ArriveAt(dev->now + 3000, Bytes(1));
    EXPECT_EQ(port.ReadData(buf, 1), 1u);
    ASSERT_EQ(dev->waits.size(), 2u);
    EXPECT_EQ(dev->waits[1], 0xFFFFFFFEu);
}

TEST_F(CPDrvTransfer, ReadTakesAByteJustBeforeTheDeadline) {
    dev->step = 0;
    std::uint8_t buf[300];
    // Bytes that come after 500 and 501 ms of silence: the time-out fires only when the idle
    // time is greater than 500 ms, and the queue is looked at first.
    std::uint32_t start = dev->now;
    dev->ArriveAt(start + 500, Bytes(1, 7));
    dev->ArriveAt(start + 500 + 501, Bytes(1, 8));
    EXPECT_EQ(port.ReadData(buf, 280), 2u);
    EXPECT_EQ(buf[0], 7);
    EXPECT_EQ(buf[1], 8);
    EXPECT_EQ(dev->now - start, 500u + 501u + 501u);

    // One ms later it belongs to the next read.
    start = dev->now;
    dev->ArriveAt(start + 502, Bytes(1, 9));
    EXPECT_EQ(port.ReadData(buf, 280), 0u);
    EXPECT_EQ(dev->now - start, 501u);
    EXPECT_EQ(port.ReadData(buf, 280), 1u);
    EXPECT_EQ(buf[0], 9);
}

TEST_F(CPDrvTransfer, ReadCollectsManySmallBatches) {
    // As a USB adapter delivers: a few bytes every few ms, 200 bytes in all.
    std::uint8_t buf[300];
    const std::uint32_t t = dev->now + 30;
    for (std::uint32_t i = 0; i < 50; ++i) {
        dev->ArriveAt(t + i * 9, Bytes(4, static_cast<std::uint8_t>(i * 4)));
    }
    const std::uint32_t last = t + 49 * 9;
    EXPECT_EQ(port.ReadData(buf, 280), 200u);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 200), Bytes(200));
    EXPECT_GE(dev->now - last, 500u);
    EXPECT_LE(dev->now - last, 505u);
    // A wait per batch and a look at the queue after it: nothing in between.
    EXPECT_LE(dev->waits.size(), 51u);
    EXPECT_LE(dev->clearErrorCalls, 110);
    EXPECT_TRUE(dev->pauses.empty());
}

TEST_F(CPDrvTransfer, ReadWhenThePortVanishes) {
    std::uint8_t buf[300];
    // Unplugged in the middle of a wait, after part of a reply: the read keeps what came,
    // sleeps out the idle time in short pauses and returns on time.
    std::uint32_t t = dev->now + 20;
    dev->ArriveAt(t, Bytes(5));
    dev->vanishAt = t + 100;
    EXPECT_EQ(port.ReadData(buf, 280), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 5), Bytes(5));
    EXPECT_GE(dev->now - t, 500u);
    EXPECT_LE(dev->now - t, 520u);
    EXPECT_FALSE(dev->pauses.empty());
    for (std::uint32_t p : dev->pauses) EXPECT_LE(p, 10u);
    EXPECT_LE(dev->clearErrorCalls, 60);
    EXPECT_TRUE(port.IsConnected());  // only Disconnect closes the handle

    // Gone before the read: every call fails at once, and it still does not spin.
    dev->pauses.clear();
    dev->clearErrorCalls = 0;
    const std::uint32_t start = dev->now;
    EXPECT_EQ(port.ReadData(buf, 280), 0u);
    EXPECT_GE(dev->now - start, 500u);
    EXPECT_LE(dev->now - start, 520u);
    EXPECT_LE(dev->clearErrorCalls, 60);
}

TEST_F(CPDrvTransfer, ReadWhenTheDriverRefusesToWait) {
    // It looks at the queue after short pauses instead, so a reply is still collected whole
    // and soon after it comes.
    dev->failWait = true;
    std::uint8_t buf[300];
    const std::uint32_t t = dev->now + 100;
    dev->ArriveAt(t, Bytes(8));
    dev->ArriveAt(t + 200, Bytes(7, 8));
    EXPECT_EQ(port.ReadData(buf, 15), 15u);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 15), Bytes(15));
    EXPECT_LE(dev->now - (t + 200), 14u);
    EXPECT_LE(dev->clearErrorCalls, 40);
}

// --- Polling ---

TEST_F(CPDrvTransfer, MessagesOtherThanTimerAndClosedPortGoToDefault) {
    EXPECT_EQ(dev->Send(0x0010, 7, -3), FakeDevice::kDefaultResult);
    ASSERT_EQ(dev->defaultCalls.size(), 1u);
    EXPECT_EQ(dev->defaultCalls[0].msg, 0x0010u);
    EXPECT_EQ(dev->defaultCalls[0].wParam, 7u);
    EXPECT_EQ(dev->defaultCalls[0].lParam, -3);

    dev->Queue(Bytes(3));
    EXPECT_EQ(dev->Send(kWmTimer, 1, 0), 0);  // handled, not passed on
    EXPECT_EQ(dev->defaultCalls.size(), 1u);
    EXPECT_TRUE(dev->input.empty());

    port.Disconnect();
    EXPECT_EQ(dev->Send(kWmTimer, 1, 0), FakeDevice::kDefaultResult);
    EXPECT_EQ(dev->defaultCalls.size(), 2u);
    EXPECT_FALSE(dev->TimerTick());  // the timer stopped with the port
}

TEST_F(CPDrvTransfer, PlainTickWithoutHandlerDropsInput) {
    dev->Queue(Bytes(40));
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_TRUE(dev->input.empty());
    // Any timer identifier counts.
    dev->Queue(Bytes(3));
    dev->Send(kWmTimer, 99, 0);
    EXPECT_TRUE(dev->input.empty());
}

TEST_F(CPDrvTransfer, PlainTickDeliversInPortionsOfTheBuffer) {
    port.Disconnect();
    port.SetInBufSize(128);
    ASSERT_TRUE(port.Connect());
    std::vector<std::uint8_t> got;
    std::vector<std::uint32_t> sizes;
    port.OnReceiveData = [&](TCPDrv& sender, const std::uint8_t* data, std::uint32_t size) {
        EXPECT_EQ(&sender, &port);
        got.insert(got.end(), data, data + size);
        sizes.push_back(size);
    };
    dev->Queue(Bytes(300));
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_EQ(got, Bytes(300));
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{128, 128, 44}));
    for (std::uint32_t r : dev->readRequests) EXPECT_LE(r, 128u);

    // Nothing queued: no read, no call.
    const auto reads = dev->readRequests.size();
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_EQ(dev->readRequests.size(), reads);
    EXPECT_EQ(sizes.size(), 3u);

    // A failing read calls nothing.
    dev->Queue(Bytes(5));
    dev->failRead = true;
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_EQ(sizes.size(), 3u);
}

TEST_F(CPDrvTransfer, SuspendedPollingLeavesInputAlone) {
    int calls = 0;
    port.OnReceiveData = [&](TCPDrv&, const std::uint8_t*, std::uint32_t) { ++calls; };
    dev->Queue(Bytes(10));
    port.SuspendPolling();
    port.SuspendPolling();
    ASSERT_TRUE(dev->TimerTick());
    port.ResumePolling();
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_EQ(dev->input.size(), 10u);
    EXPECT_EQ(calls, 0);
    port.ResumePolling();
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_TRUE(dev->input.empty());
    EXPECT_EQ(calls, 1);
}

TEST_F(CPDrvTransfer, TicksDuringReadTakeNothing) {
    int calls = 0;
    port.OnReceiveData = [&](TCPDrv&, const std::uint8_t*, std::uint32_t) { ++calls; };
    const std::uint32_t t = dev->now + 20;
    dev->ArriveAt(t, Bytes(8));
    dev->ArriveAt(t + 100, Bytes(7, 8));
    // A tick at every look at the clock, as if something dispatched messages meanwhile.
    int ticks = 0;
    dev->onClock = [&] {
        dev->DeliverDue();
        ticks += dev->TimerTick() ? 1 : 0;
    };
    std::uint8_t buf[300];
    EXPECT_EQ(port.ReadData(buf, 280), 15u);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 15), Bytes(15));
    dev->onClock = nullptr;
    dev->Queue(Bytes(2));
    ASSERT_TRUE(dev->TimerTick());  // polling is back afterwards
    EXPECT_EQ(calls, 1);
}

class CPDrvPackets : public CPDrvTransfer {
protected:
    void SetUp() override {
        CPDrvTransfer::SetUp();
        dev->step = 0;
        port.SetPacketSize(15);
        port.OnReceivePacket = [&](TCPDrv&, const std::uint8_t* data, std::uint32_t size) {
            packets.emplace_back(data, data + size);
        };
    }
    std::vector<std::vector<std::uint8_t>> packets;
};

TEST_F(CPDrvPackets, WholePacketsDeliveredRestStays) {
    dev->Queue(Bytes(40));
    ASSERT_TRUE(dev->TimerTick());
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], Bytes(15, 0));
    EXPECT_EQ(packets[1], Bytes(15, 15));
    EXPECT_EQ(dev->input.size(), 10u);
    // No start was recorded before: the rest starts its time-out now.
    EXPECT_EQ(port.PacketStartTick(), dev->now);

    // Exactly whole packets: the queue is empty and no start remains.
    dev->Queue(Bytes(5));
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_EQ(packets.size(), 3u);
    EXPECT_TRUE(dev->input.empty());
    EXPECT_EQ(port.PacketStartTick(), kTickNone);
}

TEST_F(CPDrvPackets, StartTickAdvancesByPacketTime) {
    dev->Queue(Bytes(5));
    ASSERT_TRUE(dev->TimerTick());
    const std::uint32_t first = dev->now;
    EXPECT_EQ(port.PacketStartTick(), first);
    EXPECT_TRUE(packets.empty());
    dev->now += 50;
    dev->Queue(Bytes(20, 5));
    ASSERT_TRUE(dev->TimerTick());
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], Bytes(15));
    // 15 bytes at 9600 bit/s take 15.625 ms: 16.
    EXPECT_EQ(port.PacketStartTick(), first + 16);
    EXPECT_EQ(dev->input.size(), 10u);
    // A successful purge forgets the start.
    EXPECT_TRUE(port.PurgeBuffers(true, false));
    EXPECT_EQ(port.PacketStartTick(), kTickNone);
}

TEST_F(CPDrvPackets, IncompletePacketTimeout) {
    port.SetPacketTimeout(100);
    for (TPacketMode mode : {pmPass, pmDiscard}) {
        packets.clear();
        port.SetPacketMode(mode);
        dev->Queue(Bytes(5));
        ASSERT_TRUE(dev->TimerTick());
        const std::uint32_t seen = dev->now;
        EXPECT_EQ(port.PacketStartTick(), seen);
        dev->now = seen + 100;  // not yet: greater than, not equal
        ASSERT_TRUE(dev->TimerTick());
        EXPECT_TRUE(packets.empty());
        EXPECT_EQ(dev->input.size(), 5u);
        EXPECT_EQ(port.PacketStartTick(), seen);
        dev->now = seen + 101;
        ASSERT_TRUE(dev->TimerTick());
        EXPECT_TRUE(dev->input.empty());
        EXPECT_EQ(port.PacketStartTick(), kTickNone);
        if (mode == pmPass) {
            ASSERT_EQ(packets.size(), 1u);
            EXPECT_EQ(packets[0], Bytes(5));
        } else {
            EXPECT_TRUE(packets.empty());
        }
    }
}

TEST_F(CPDrvPackets, NoTimeoutMeansBytesWait) {
    port.SetPacketMode(pmPass);
    dev->Queue(Bytes(5));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(dev->TimerTick());
        dev->now += 100000;
    }
    EXPECT_TRUE(packets.empty());
    EXPECT_EQ(dev->input.size(), 5u);
    dev->Queue(Bytes(10, 5));
    ASSERT_TRUE(dev->TimerTick());
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], Bytes(15));
}

TEST_F(CPDrvPackets, TimeoutAcrossTickCounterWrap) {
    port.SetPacketTimeout(100);
    port.SetPacketMode(pmPass);
    dev->now = 0xFFFFFFC0u;
    dev->Queue(Bytes(3));
    ASSERT_TRUE(dev->TimerTick());
    dev->now = 0x00000020u;  // 96 ms later
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_TRUE(packets.empty());
    dev->now = 0x00000025u;  // 101 ms later
    ASSERT_TRUE(dev->TimerTick());
    EXPECT_EQ(packets.size(), 1u);
}

TEST_F(CPDrvPackets, HandlerThatClosesThePortEndsTheTick) {
    port.OnReceivePacket = [&](TCPDrv& sender, const std::uint8_t* data, std::uint32_t size) {
        packets.emplace_back(data, data + size);
        sender.Disconnect();
        sender.SetInBufSize(128);
        sender.SetPacketSize(-1);
    };
    dev->Queue(Bytes(45));
    dev->Send(kWmTimer, 1, 0);
    EXPECT_EQ(packets.size(), 1u);
    EXPECT_EQ(dev->input.size(), 30u);
}

TEST_F(CPDrvPackets, HandlerExceptionGoesToOnEventError) {
    port.OnReceivePacket = [](TCPDrv&, const std::uint8_t*, std::uint32_t) {
        throw std::runtime_error("handler failed");
    };
    dev->Queue(Bytes(15));
    // The handler as such lets it through...
    EXPECT_THROW(port.WindowProc(kWmTimer, 1, 0), std::runtime_error);
    // ...the window's entry hands it to the owner, or drops it when nobody listens.
    dev->Queue(Bytes(15));
    EXPECT_EQ(dev->Send(kWmTimer, 1, 0), 0);
    std::string message;
    port.OnEventError = [&](TCPDrv&, std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            message = ex.what();
        }
    };
    dev->Queue(Bytes(15));
    EXPECT_EQ(dev->Send(kWmTimer, 1, 0), 0);
    EXPECT_EQ(message, "handler failed");
}

TEST(CPDrvPacketTime, RoundsHalfToEven) {
    auto dev = std::make_shared<FakeDevice>();
    TCPDrv port(nullptr, dev->MakeBackend());
    struct Case {
        std::int16_t size;
        std::uint32_t rate;
        std::uint32_t ms;
    };
    const Case cases[] = {{15, 9600, 16}, {12, 9600, 12},   {11, 9600, 11},
                          {15, 4800, 31}, {1, 4000, 2},     {3, 4000, 8},
                          {5, 4000, 12},  {100, 115200, 9}, {8192, 110, 744727}};
    for (const Case& c : cases) {
        port.SetPacketSize(c.size);
        port.SetBaudRateValue(c.rate);
        EXPECT_EQ(port.PacketTransmissionTime(), c.ms) << c.size << " @ " << c.rate;
    }
    port.SetBaudRateValue(0);
    EXPECT_EQ(port.PacketTransmissionTime(), 0xFFFFFFFFu);
    port.SetPacketSize(-1);
    EXPECT_EQ(port.PacketTransmissionTime(), 0u);
}

}  // namespace
}  // namespace virel::test
