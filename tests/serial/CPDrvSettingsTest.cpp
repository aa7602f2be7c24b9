// TCPDrv line settings, setter rules, opening and closing, against the fake device.
#include <gtest/gtest.h>

#include "FakeSerialBackend.h"
#include "serial/CPDrv.h"

namespace virel::test {
namespace {

using namespace serial_const;

class CPDrvSettings : public ::testing::Test {
protected:
    std::shared_ptr<FakeDevice> dev = std::make_shared<FakeDevice>();
    TCPDrv port{nullptr, dev->MakeBackend()};
};

TEST_F(CPDrvSettings, DefaultsAfterConstruction) {
    EXPECT_EQ(port.Port(), pnCOM2);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM2");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.BaudRateValue(), 9600u);
    EXPECT_EQ(port.DataBits(), db8BITS);
    EXPECT_EQ(port.StopBits(), sb1BITS);
    EXPECT_EQ(port.Parity(), ptNONE);
    EXPECT_EQ(port.HwFlow(), hfNONERTSON);
    EXPECT_EQ(port.SwFlow(), sfNONE);
    EXPECT_EQ(port.InBufSize(), 2048u);
    EXPECT_EQ(port.OutBufSize(), 2048u);
    EXPECT_EQ(port.PacketSize(), -1);
    EXPECT_EQ(port.PacketTimeout(), -1);
    EXPECT_EQ(port.PacketMode(), pmDiscard);
    EXPECT_EQ(port.PollingDelay(), 50);
    EXPECT_TRUE(port.EnableDTROnOpen());
    EXPECT_EQ(port.OutputTimeout(), 500);
    EXPECT_EQ(port.InputTimeout(), 200u);
    EXPECT_FALSE(port.CheckLineStatus());
    EXPECT_FALSE(port.OnReceiveData);
    EXPECT_FALSE(port.OnReceivePacket);
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(port.PacketStartTick(), kTickNone);
    EXPECT_EQ(port.PollingPauseCount(), 0);
    // The notification window exists from construction on; nothing touched the device.
    EXPECT_TRUE(dev->windowAttached);
    EXPECT_EQ(dev->openCalls, 0);
}

TEST_F(CPDrvSettings, TheLineOpensWithItsSettings) {
    UseTestLine(port);
    port.SetPort(pnCustom);
    port.SetPortName("\\\\.\\COM2");

    // Opened as stored: \\.\COM2, RTS low, DTR raised, 8N1, XonLim = XoffLim = 256 / 4.
    ASSERT_TRUE(port.Connect());
    EXPECT_EQ(dev->openPath, "\\\\.\\COM2");
    ASSERT_EQ(dev->dcbs.size(), 1u);
    const TDcb& d = dev->dcbs[0];
    EXPECT_EQ(d.fRtsControl, 0);
    EXPECT_EQ(d.fDtrControl, 1);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, 0);
    EXPECT_EQ(d.StopBits, 0);
    EXPECT_EQ(d.XonLim, 64);
    EXPECT_EQ(d.XoffLim, 64);
    EXPECT_EQ(d.BaudRate, 9600u);
    ASSERT_EQ(dev->queueSizes.size(), 1u);
    EXPECT_EQ(dev->queueSizes[0], std::make_pair(256u, 256u));
}

TEST_F(CPDrvSettings, PortAndPortName) {
    port.SetPort(pnCOM12);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM12");
    port.SetPort(pnCOM1);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM1");
    port.SetPort(pnCOM16);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM16");
    port.SetPort(pnCustom);
    EXPECT_EQ(port.Port(), pnCustom);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM16");
    port.SetPort(pnCOM3);
    port.SetPortName("\\\\.\\COM7");
    EXPECT_EQ(port.Port(), pnCustom);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM7");
    // An ordinal outside the enumeration is ignored.
    port.SetPort(static_cast<TPortNumber>(17));
    EXPECT_EQ(port.Port(), pnCustom);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM7");
}

TEST_F(CPDrvSettings, PortAndPortNameFixedWhileOpen) {
    port.SetPort(pnCOM4);
    ASSERT_TRUE(port.Connect());
    port.SetPort(pnCOM3);
    EXPECT_EQ(port.Port(), pnCOM4);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM4");
    port.SetPortName("\\\\.\\COM9");
    EXPECT_EQ(port.Port(), pnCOM4);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM4");
    port.Disconnect();
    port.SetPort(pnCOM3);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM3");
}

TEST_F(CPDrvSettings, BaudRateAndValue) {
    port.SetBaudRate(br4800);
    EXPECT_EQ(port.BaudRateValue(), 4800u);
    port.SetBaudRateValue(4800);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.BaudRateValue(), 4800u);
    port.SetBaudRateValue(31250);
    port.SetBaudRate(brCustom);
    EXPECT_EQ(port.BaudRateValue(), 31250u);
    port.SetBaudRate(br256000);
    EXPECT_EQ(port.BaudRateValue(), 256000u);

    const std::uint32_t table[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                   14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(BaudRateToValue(static_cast<TBaudRate>(i)), table[i]) << i;
    }
    EXPECT_EQ(BaudRateToValue(static_cast<TBaudRate>(16)), 0u);
}

TEST_F(CPDrvSettings, BufferSizesLimitedAndFixedWhileOpen) {
    port.SetInBufSize(100);
    EXPECT_EQ(port.InBufSize(), 128u);
    port.SetInBufSize(10000);
    EXPECT_EQ(port.InBufSize(), 8192u);
    port.SetInBufSize(0xFFFFFFFFu);
    EXPECT_EQ(port.InBufSize(), 8192u);
    port.SetOutBufSize(1);
    EXPECT_EQ(port.OutBufSize(), 128u);
    port.SetOutBufSize(9000);
    EXPECT_EQ(port.OutBufSize(), 8192u);
    port.SetInBufSize(300);
    port.SetOutBufSize(400);
    ASSERT_TRUE(port.Connect());
    port.SetInBufSize(1000);
    port.SetOutBufSize(1000);
    EXPECT_EQ(port.InBufSize(), 300u);
    EXPECT_EQ(port.OutBufSize(), 400u);
}

TEST_F(CPDrvSettings, PacketSizeAndInBufSize) {
    port.SetInBufSize(256);
    port.SetPacketSize(300);
    EXPECT_EQ(port.PacketSize(), 300);
    EXPECT_EQ(port.InBufSize(), 300u);
    port.SetInBufSize(128);  // the packet still has to fit
    EXPECT_EQ(port.InBufSize(), 300u);
    port.SetPacketSize(15);
    EXPECT_EQ(port.PacketSize(), 15);
    EXPECT_EQ(port.InBufSize(), 300u);
    port.SetInBufSize(256);
    EXPECT_EQ(port.InBufSize(), 256u);
    EXPECT_EQ(port.PacketSize(), 15);

    port.SetPacketSize(0);
    EXPECT_EQ(port.PacketSize(), -1);
    port.SetPacketSize(-20);
    EXPECT_EQ(port.PacketSize(), -1);

    // Above the largest buffer: limited to it.
    port.SetPacketSize(20000);
    EXPECT_EQ(port.PacketSize(), 8192);
    EXPECT_EQ(port.InBufSize(), 8192u);
}

TEST_F(CPDrvSettings, PacketSizeAboveBufferRefusedWhileOpen) {
    port.SetInBufSize(256);
    port.SetPacketSize(20);
    ASSERT_TRUE(port.Connect());
    port.SetPacketSize(257);
    EXPECT_EQ(port.PacketSize(), 20);
    EXPECT_EQ(port.InBufSize(), 256u);
    port.SetPacketSize(256);
    EXPECT_EQ(port.PacketSize(), 256);
    port.SetPacketSize(-1);
    EXPECT_EQ(port.PacketSize(), -1);
}

TEST_F(CPDrvSettings, PacketTimeoutAgainstPollingDelay) {
    port.SetPacketTimeout(10);
    EXPECT_EQ(port.PacketTimeout(), 70);
    port.SetPacketTimeout(0);
    EXPECT_EQ(port.PacketTimeout(), -1);
    port.SetPacketTimeout(-5);
    EXPECT_EQ(port.PacketTimeout(), -1);
    port.SetPacketTimeout(200);
    EXPECT_EQ(port.PacketTimeout(), 200);
    port.SetPacketTimeout(50);
    EXPECT_EQ(port.PacketTimeout(), 50);
    port.SetPacketTimeout(49);
    EXPECT_EQ(port.PacketTimeout(), 70);

    port.SetPacketTimeout(100);
    port.SetPollingDelay(200);
    EXPECT_EQ(port.PacketTimeout(), 280);
    port.SetPacketTimeout(-1);
    port.SetPollingDelay(300);
    EXPECT_EQ(port.PacketTimeout(), -1);

    // 7 ms polling: 7 + 7 * 40 / 100 = 9 (integer division).
    port.SetPollingDelay(7);
    port.SetPacketTimeout(1);
    EXPECT_EQ(port.PacketTimeout(), 9);
}

TEST_F(CPDrvSettings, PollingDelayLimitAndTimerRestart) {
    port.SetPollingDelay(0);
    EXPECT_EQ(port.PollingDelay(), 5);
    port.SetPollingDelay(4);
    EXPECT_EQ(port.PollingDelay(), 5);

    ASSERT_TRUE(port.Connect());
    EXPECT_TRUE(dev->timerRunning);
    EXPECT_EQ(dev->timerPeriod, 5u);
    dev->calls.clear();
    port.SetPollingDelay(5);  // unchanged: the timer is left alone
    EXPECT_TRUE(dev->calls.empty());
    port.SetPollingDelay(120);
    EXPECT_EQ(dev->calls, (std::vector<std::string>{"StopTimer", "StartTimer:120"}));
    EXPECT_EQ(dev->timerPeriod, 120u);

    port.Disconnect();
    dev->calls.clear();
    port.SetPollingDelay(60);  // closed: no timer calls
    EXPECT_TRUE(dev->calls.empty());
    EXPECT_EQ(port.PollingDelay(), 60);
}

TEST_F(CPDrvSettings, ConnectSequenceAndTimeouts) {
    port.SetPort(pnCOM3);
    ASSERT_TRUE(port.Connect());
    EXPECT_TRUE(port.IsConnected());
    EXPECT_EQ(dev->calls,
              (std::vector<std::string>{"Open:\\\\.\\COM3", "SetState", "Purge:15",
                                        "SetupQueues:2048,2048", "SetTimeouts", "StartTimer:50"}));
    ASSERT_EQ(dev->timeouts.size(), 1u);
    TCommTimeouts expected;
    expected.ReadIntervalTimeout = 1;
    expected.ReadTotalTimeoutConstant = 1;
    expected.WriteTotalTimeoutConstant = 10;
    EXPECT_EQ(dev->timeouts[0], expected);

    // Connect on an open port: true, and the device is not touched again.
    dev->calls.clear();
    EXPECT_TRUE(port.Connect());
    EXPECT_TRUE(dev->calls.empty());

    port.Disconnect();
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(dev->calls, (std::vector<std::string>{"StopTimer", "Close"}));
    dev->calls.clear();
    port.Disconnect();  // closed: nothing happens
    EXPECT_TRUE(dev->calls.empty());
}

TEST_F(CPDrvSettings, ConnectFailures) {
    port.SetPortName("\\\\.\\COM99");
    EXPECT_FALSE(port.Connect());
    EXPECT_FALSE(port.IsConnected());
    EXPECT_FALSE(dev->timerRunning);

    // A refused DCB, purge or queue size closes the port again.
    port.SetPort(pnCOM1);
    for (int which = 0; which < 3; ++which) {
        dev->failSetState = which == 0;
        dev->failPurge = which == 1;
        dev->failSetup = which == 2;
        EXPECT_FALSE(port.Connect()) << which;
        EXPECT_FALSE(port.IsConnected()) << which;
        EXPECT_FALSE(dev->open) << which;
        EXPECT_FALSE(dev->timerRunning) << which;
        EXPECT_TRUE(dev->ports->held.empty()) << which;
    }

    // Failing time-outs and timer are ignored.
    dev->failSetState = dev->failPurge = dev->failSetup = false;
    dev->failTimeouts = dev->failTimer = true;
    EXPECT_TRUE(port.Connect());
    EXPECT_TRUE(port.IsConnected());
}

TEST_F(CPDrvSettings, SecondOpenOfHeldPortFails) {
    auto other = std::make_shared<FakeDevice>();
    other->ports = dev->ports;  // the same machine
    TCPDrv second(nullptr, other->MakeBackend());
    port.SetPort(pnCOM1);
    second.SetPort(pnCOM1);
    ASSERT_TRUE(port.Connect());
    EXPECT_FALSE(second.Connect());
    EXPECT_FALSE(second.IsConnected());
    EXPECT_TRUE(port.IsConnected());
    port.Disconnect();
    EXPECT_TRUE(second.Connect());
}

TEST_F(CPDrvSettings, DcbFieldByField) {
    TDcb expected;
    expected.DCBlength = 28;
    expected.BaudRate = 9600;
    expected.fBinary = 1;
    expected.fDtrControl = 1;
    expected.fRtsControl = 1;
    expected.XonLim = 512;
    expected.XoffLim = 512;
    expected.ByteSize = 8;
    expected.XonChar = 0x11;
    expected.XoffChar = 0x13;
    EXPECT_EQ(port.BuildDcb(), expected);

    port.SetBaudRateValue(1234);
    port.SetDataBits(db5BITS);
    port.SetStopBits(sb2BITS);
    port.SetParity(ptSPACE);
    port.SetHwFlow(hfRTSCTS);
    port.SetSwFlow(sfXONXOFF);
    port.SetEnableDTROnOpen(false);
    port.SetInBufSize(130);
    expected.BaudRate = 1234;
    expected.ByteSize = 5;
    expected.StopBits = 2;
    expected.Parity = 4;
    expected.fParity = 0;  // never checked, whatever the parity
    expected.fOutxCtsFlow = 1;
    expected.fRtsControl = 2;
    expected.fOutX = 1;
    expected.fInX = 1;
    expected.fDtrControl = 0;
    expected.XonLim = 32;
    expected.XoffLim = 32;
    EXPECT_EQ(port.BuildDcb(), expected);

    port.SetHwFlow(hfNONE);
    port.SetParity(ptODD);
    port.SetStopBits(sb1HALFBITS);
    port.SetDataBits(db7BITS);
    const TDcb d = port.BuildDcb();
    EXPECT_EQ(d.fRtsControl, 0);
    EXPECT_EQ(d.fOutxCtsFlow, 0);
    EXPECT_EQ(d.Parity, 1);
    EXPECT_EQ(d.StopBits, 1);
    EXPECT_EQ(d.ByteSize, 7);
}

TEST_F(CPDrvSettings, LiveChangesReapplyWithPurge) {
    port.SetPort(pnCOM1);
    ASSERT_TRUE(port.Connect());
    dev->calls.clear();
    dev->dcbs.clear();
    port.SetBaudRate(br4800);
    port.SetBaudRateValue(2400);
    port.SetDataBits(db7BITS);
    port.SetStopBits(sb2BITS);
    port.SetParity(ptEVEN);
    port.SetHwFlow(hfRTSCTS);
    port.SetSwFlow(sfXONXOFF);
    ASSERT_EQ(dev->dcbs.size(), 7u);
    EXPECT_EQ(dev->dcbs[0].BaudRate, 4800u);
    EXPECT_EQ(dev->dcbs[1].BaudRate, 2400u);
    EXPECT_EQ(dev->dcbs[6].fOutX, 1);
    EXPECT_EQ(dev->purges.size(), 8u);  // one at Connect, one per change
    // Not re-applied: these wait for the next application.
    port.SetEnableDTROnOpen(false);
    port.SetPacketMode(pmPass);
    port.SetOutputTimeout(7);
    port.SetInputTimeout(7);
    port.SetCheckLineStatus(true);
    EXPECT_EQ(dev->dcbs.size(), 7u);

    // A refused live change keeps the new value and the port open.
    dev->failSetState = true;
    port.SetBaudRate(br110);
    EXPECT_EQ(port.BaudRateValue(), 110u);
    EXPECT_TRUE(port.IsConnected());

    // Closed: stored only.
    port.Disconnect();
    dev->dcbs.clear();
    port.SetBaudRate(br9600);
    EXPECT_TRUE(dev->dcbs.empty());
    EXPECT_FALSE(port.ApplySettings());
}

TEST_F(CPDrvSettings, PurgeBuffersFlags) {
    EXPECT_FALSE(port.PurgeBuffers(true, true));  // closed
    ASSERT_TRUE(port.Connect());
    dev->purges.clear();
    EXPECT_TRUE(port.PurgeBuffers(true, false));
    EXPECT_TRUE(port.PurgeBuffers(false, true));
    EXPECT_TRUE(port.PurgeBuffers(false, false));
    EXPECT_TRUE(port.PurgeBuffers(true, true));
    EXPECT_EQ(dev->purges, (std::vector<std::uint32_t>{kPurgeRxAbort | kPurgeRxClear,
                                                       kPurgeTxAbort | kPurgeTxClear, 0, 15}));
    dev->failPurge = true;
    EXPECT_FALSE(port.PurgeBuffers(true, true));
}

TEST_F(CPDrvSettings, DestructionClosesAndRemovesWindow) {
    auto d2 = std::make_shared<FakeDevice>();
    {
        TCPDrv temp(nullptr, d2->MakeBackend());
        temp.SetPort(pnCOM1);
        ASSERT_TRUE(temp.Connect());
        EXPECT_TRUE(d2->windowAttached);
    }
    EXPECT_FALSE(d2->open);
    EXPECT_FALSE(d2->windowAttached);
    EXPECT_FALSE(d2->timerRunning);
    EXPECT_TRUE(d2->ports->held.empty());
    EXPECT_EQ(d2->calls.back(), "Close");
}

TEST(CPDrvNoBackend, BehavesAsAPortThatNeverOpens) {
    TCPDrv port(nullptr, nullptr);
    EXPECT_FALSE(port.Connect());
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(port.InputCount(), 65535u);
    EXPECT_FALSE(port.SendString("x"));
    std::uint8_t buf[4];
    EXPECT_EQ(port.ReadData(buf, 4), 0u);
    port.SetInBufSize(300);
    EXPECT_EQ(port.InBufSize(), 300u);
}

}  // namespace
}  // namespace virel::test
