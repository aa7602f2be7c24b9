// Under Wine: a COM port of the prefix reaches the simulated meter started by the fixture.
// The port is opened and driven with the plain Win32 serial calls, as the program does.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class TPortHandle {
public:
    explicit TPortHandle(int port) {
        const std::wstring name = L"\\\\.\\COM" + std::to_wstring(port);
        h_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    }
    ~TPortHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    TPortHandle(const TPortHandle&) = delete;
    TPortHandle& operator=(const TPortHandle&) = delete;
    HANDLE Get() const { return h_; }
    bool Ok() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

bool ConfigurePort(HANDLE h) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return false;
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    if (!SetCommState(h, &dcb)) return false;
    if (!SetupComm(h, 256, 256)) return false;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;  // ReadFile returns what is there at once
    if (!SetCommTimeouts(h, &t)) return false;
    return PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
}

Bytes Exchange(HANDLE h, const Bytes& cmd, std::size_t want, DWORD timeoutMs = 3000) {
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, cmd.data(), static_cast<DWORD>(cmd.size()), &written, nullptr));
    EXPECT_EQ(written, cmd.size());
    Bytes out;
    const DWORD start = GetTickCount();
    while (out.size() < want && GetTickCount() - start < timeoutMs) {
        std::uint8_t buf[300];
        DWORD got = 0;
        if (!ReadFile(h, buf, static_cast<DWORD>(sizeof buf), &got, nullptr)) break;
        out.insert(out.end(), buf, buf + got);
        if (got == 0) Sleep(5);
    }
    return out;
}

bool ChecksumOk(const Bytes& r) {
    if (r.size() != 15) return false;
    unsigned sum = 0;
    for (int i = 0; i < 14; ++i) sum += r[i];
    return (sum & 0xFF) == r[14];
}

std::string ReadLog() {
    std::string path = "Z:" VIREL_SIM_LOG;  // Unix path; drive Z: is the Unix root
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

}  // namespace

TEST(SimWine, ComPortReachesTheSimulatedMeter) {
    for (int round = 0; round < 2; ++round) {  // close and reopen: the line stays usable
        TPortHandle port(VIREL_SIM_PORT);
        ASSERT_TRUE(port.Ok()) << "CreateFileW failed: " << GetLastError();
        ASSERT_TRUE(ConfigurePort(port.Get())) << "port set-up failed: " << GetLastError();
        const Bytes rec = Exchange(port.Get(), {0x01, 0x46, 0x50, 0x52}, 15);
        ASSERT_TRUE(ChecksumOk(rec)) << rec.size() << " bytes";
        EXPECT_EQ(rec[0] * 256 + rec[1], 42);
        EXPECT_EQ(rec[2] * 256 + rec[3], round * 2 + 1);
        EXPECT_EQ(Exchange(port.Get(), {0x04, 0x52, 0x44, 0xFF}, 15).size(), 15u);
        EXPECT_EQ(Exchange(port.Get(), {0x03, 0x52, 0x45, 0x53}, 3).size(), 3u);
        const Bytes again = Exchange(port.Get(), {0x02, 0x52, 0x50, 0x52}, 15);
        ASSERT_TRUE(ChecksumOk(again));
        EXPECT_EQ(again[2] * 256 + again[3], 1) << "measurement count restarted by RES";
        // Ends measurement 2: the reopened port of the next round then gets 3, the meter's
        // count living on while the port is closed.
        if (round == 0) {
            EXPECT_EQ(Exchange(port.Get(), {0x01, 0x46, 0x50, 0x52}, 15).size(), 15u);
        }
    }
    const std::string log = ReadLog();
    EXPECT_NE(log.find(" RX 01 46 50 52"), std::string::npos);
    EXPECT_NE(log.find(" RX 04 52 44 FF"), std::string::npos);
    EXPECT_NE(log.find(" NOTE printing: "), std::string::npos);
}
