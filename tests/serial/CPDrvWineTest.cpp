// TCPDrv on a real COM port under Wine: the simulated meter answers on COM2 (a pseudo-terminal
// behind the port). Its behaviour is set through its control file, reached over drive Z:.
// These run in real time, so the margins are generous.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "serial/CPDrv.h"
#include "tests/serial/FakeSerialBackend.h"

#ifndef VIREL_SIM_CTL
#error "VIREL_SIM_CTL must name the simulator's control file"
#endif

namespace virel::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kFpr(
    "\x01"
    "FPR",
    4);

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Replaces the simulator's control file in one step, so it never reads half a file. The file
// is named after the port ("com2.ctl"), a reserved device name for Windows: only the "\\?\"
// form of the path reaches the file rather than the port.
void SetSimulator(const std::vector<std::string>& lines) {
    std::string path = std::string("\\\\?\\Z:") + VIREL_SIM_CTL;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    const std::string tmp = path + ".serial.tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        for (const auto& line : lines) out << line << '\n';
    }
    ASSERT_TRUE(MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        << GetLastError();
}

bool ChecksumOk(const std::uint8_t* r) {
    unsigned sum = 0;
    for (int i = 0; i < 14; ++i) sum += r[i];
    return (sum & 0xFF) == r[14];
}

// Runs the thread's message loop for a while, as the program's own loop would.
void PumpMessages(int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

class CPDrvWine : public ::testing::Test {
protected:
    void SetUp() override {
        SetSimulator({});
        UseTestLine(port);
        port.SetBaudRate(br9600);
        port.SetPort(pnCOM2);
        ASSERT_TRUE(port.Connect());
    }
    void TearDown() override {
        port.Disconnect();
        SetSimulator({});
    }

    TCPDrv port{nullptr};
    std::uint8_t buf[300] = {};
};

TEST(CPDrvWineOpen, MissingPortFails) {
    TCPDrv port(nullptr);
    port.SetPortName("\\\\.\\COM40");
    EXPECT_FALSE(port.Connect());
    EXPECT_FALSE(port.IsConnected());
    port.SetPortName("\\\\.\\NOSUCHDEVICE");
    EXPECT_FALSE(port.Connect());
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(port.InputCount(), 65535u);
}

TEST_F(CPDrvWine, OpenPortQueriesAndReopen) {
    EXPECT_TRUE(port.IsConnected());
    EXPECT_EQ(port.PortName(), "\\\\.\\COM2");
    EXPECT_EQ(port.InputCount(), 0u);
    EXPECT_GT(port.OutputFreeSpace(), 0);
    EXPECT_TRUE(port.ModemSignals().Empty());  // a pseudo-terminal has no modem lines
    EXPECT_TRUE(port.PurgeBuffers(true, true));
    // Live changes go to the device, which accepts them.
    port.SetBaudRate(br4800);
    EXPECT_TRUE(port.ApplySettings());
    port.Disconnect();
    EXPECT_FALSE(port.IsConnected());
    EXPECT_TRUE(port.Connect());
    EXPECT_TRUE(port.Connect());
}

// A read lasts until its count is complete, or until 500 ms of silence after the last byte
// (not after the call). Lower bounds allow for the tick count lagging by one step.
TEST_F(CPDrvWine, ReadLastsUntilTheCountOrTheInputTimeoutAfterTheLastByte) {
    struct TCase {
        const char* control;
        std::uint32_t count, got;
        long long least, most;
    };
    const TCase cases[] = {
        {"late=200", 280, 15, 200 + 500 - 40, 200 + 500 + 400},
        {"late=100", 15, 15, 100 - 20, 100 + 300},  // far below the time-out
        {"silent=1", 280, 0, 500 - 40, 500 + 400},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.control);
        SetSimulator({c.control});
        const auto start = Clock::now();
        ASSERT_TRUE(port.SendString(kFpr));
        const std::uint32_t n = port.ReadData(buf, c.count);
        const long long took = MsSince(start);
        ASSERT_EQ(n, c.got);
        if (n) {
            EXPECT_TRUE(ChecksumOk(buf));
        }
        EXPECT_GE(took, c.least);
        EXPECT_LE(took, c.most);
    }
}

TEST_F(CPDrvWine, ReplyInPiecesComesBackWhole) {
    SetSimulator({"split=5:300"});
    const auto start = Clock::now();
    ASSERT_TRUE(port.SendString(kFpr));
    ASSERT_EQ(port.ReadData(buf, 280), 15u);
    EXPECT_TRUE(ChecksumOk(buf));
    EXPECT_GE(MsSince(start), 600 + 500 - 40);

    // A gap above the time-out cuts the reply; the rest is the next read's.
    SetSimulator({"split=5:700"});
    ASSERT_TRUE(port.SendString(kFpr));
    EXPECT_EQ(port.ReadData(buf, 280), 5u);
    EXPECT_EQ(port.ReadData(buf, 280), 5u);
    EXPECT_EQ(port.ReadData(buf, 280), 5u);
}

TEST_F(CPDrvWine, PollingTakesRepliesWhileMessagesRun) {
    // Without a handler the polling timer drops what arrives...
    ASSERT_TRUE(port.SendString(kFpr));
    PumpMessages(400);
    EXPECT_EQ(port.InputCount(), 0u);
    EXPECT_EQ(port.ReadData(buf, 15), 0u);

    // ...with one, it hands the bytes over.
    std::vector<std::uint8_t> got;
    port.OnReceiveData = [&](TCPDrv& sender, const std::uint8_t* data, std::uint32_t size) {
        EXPECT_EQ(&sender, &port);
        got.insert(got.end(), data, data + size);
    };
    ASSERT_TRUE(port.SendString(kFpr));
    PumpMessages(400);
    ASSERT_EQ(got.size(), 15u);
    EXPECT_TRUE(ChecksumOk(got.data()));

    // Packet mode cuts two replies into packets of 15.
    got.clear();
    std::vector<std::uint32_t> sizes;
    port.OnReceivePacket = [&](TCPDrv&, const std::uint8_t* data, std::uint32_t size) {
        got.insert(got.end(), data, data + size);
        sizes.push_back(size);
    };
    port.SetPacketSize(15);
    port.SuspendPolling();  // both replies queue up before a tick sees them
    ASSERT_TRUE(port.SendString(kFpr + kFpr));
    PumpMessages(300);
    EXPECT_TRUE(sizes.empty());
    port.ResumePolling();
    PumpMessages(300);
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{15, 15}));
    ASSERT_EQ(got.size(), 30u);
    EXPECT_TRUE(ChecksumOk(got.data()));
    EXPECT_TRUE(ChecksumOk(got.data() + 15));
}

TEST_F(CPDrvWine, NoTickAfterDisconnect) {
    int calls = 0;
    port.OnReceiveData = [&](TCPDrv&, const std::uint8_t*, std::uint32_t) { ++calls; };
    ASSERT_TRUE(port.SendString(kFpr));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    port.Disconnect();
    PumpMessages(200);
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace virel::test
