#pragma once
// A scripted serial device and clock behind ISerialBackend, for testing TCPDrv without a port.
// The state lives in FakeDevice (shared), so a test can still look at it after the component
// that owned the backend is gone.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "serial/CPDrv.h"

namespace virel::test {

// The line the cases run with (each case chooses its port): no handshake, 256-byte buffers,
// writes without a time-out, reads idle after 500 ms.
inline void UseTestLine(TCPDrv& port) {
    port.SetHwFlow(hfNONE);
    port.SetInBufSize(256);
    port.SetOutBufSize(256);
    port.SetOutputTimeout(0);
    port.SetInputTimeout(500);
}

// Which device paths exist and which are held open, shared by several fakes so that two
// components can compete for one port.
struct FakePortTable {
    std::set<std::string> existing;
    std::set<std::string> held;
    FakePortTable() {
        for (int n = 1; n <= 16; ++n) existing.insert(PortPath(n));
    }
};

struct FakeArrival {
    std::uint32_t tick;
    std::vector<std::uint8_t> bytes;
};

struct FakeDefaultCall {
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

class FakeDevice : public std::enable_shared_from_this<FakeDevice> {
public:
    static constexpr std::intptr_t kDefaultResult = 0x5A5A;

    // --- Clock ---
    std::uint32_t now = 1000;
    std::uint32_t step = 0;         // added at every TickCount call
    std::function<void()> onClock;  // runs at every TickCount call, after the step
    std::uint32_t tickCalls = 0;
    std::vector<std::uint32_t> pauses;  // Pause calls; each moves `now` on by its length

    // --- Ports ---
    std::shared_ptr<FakePortTable> ports = std::make_shared<FakePortTable>();
    bool open = false;
    std::string openPath;
    int openCalls = 0;

    // --- Settings seen ---
    std::vector<TDcb> dcbs;
    std::vector<std::uint32_t> purges;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> queueSizes;
    std::vector<TCommTimeouts> timeouts;
    std::vector<std::string> calls;  // order of device and timer calls
    bool failSetState = false;
    bool failPurge = false;
    bool failSetup = false;
    bool failTimeouts = false;
    bool failTimer = false;

    // --- Input ---
    std::deque<std::uint8_t> input;     // queued in the driver
    std::vector<FakeArrival> arrivals;  // come into `input` once `now` reaches their tick
    bool failClearError = false;
    bool failRead = false;
    bool phantomInput = false;              // reports queued bytes that a read never returns
    bool vanished = false;                  // unplugged: every device call fails at once
    std::optional<std::uint32_t> vanishAt;  // unplugged at this tick, also in the middle of a wait
    bool failWait = false;  // the driver will not wait for input: WaitForByte fails at once
    std::vector<std::uint32_t> readRequests;
    std::vector<std::uint32_t> waits;  // the time-out of every WaitForByte
    int clearErrorCalls = 0;

    // --- Output ---
    std::vector<std::uint8_t> written;
    std::uint32_t outQueue = 0;              // reported cbOutQue
    std::uint32_t writeLimit = 0xFFFFFFFFu;  // bytes accepted per write
    std::uint32_t acceptWritesFrom = 0;      // writes move nothing before this tick
    std::vector<std::uint32_t> writeRequests;

    // --- Modem lines ---
    bool failModemStatus = false;
    std::uint32_t modemStatus = 0;

    // --- Notification window ---
    bool windowAttached = false;
    int windowsCreated = 0;
    TSerialMessageHandler handler;
    bool timerRunning = false;
    std::uint32_t timerPeriod = 0;
    std::vector<FakeDefaultCall> defaultCalls;

    std::unique_ptr<ISerialBackend> MakeBackend();

    void Queue(const std::vector<std::uint8_t>& bytes) {
        input.insert(input.end(), bytes.begin(), bytes.end());
    }
    void ArriveAt(std::uint32_t tick, std::vector<std::uint8_t> bytes) {
        arrivals.push_back({tick, std::move(bytes)});
    }
    // Whether the device is gone by now.
    bool Gone() {
        if (vanishAt && static_cast<std::int32_t>(now - *vanishAt) >= 0) vanished = true;
        return vanished;
    }
    // When the next byte comes, if any is scheduled.
    bool NextArrival(std::uint32_t& tick) const {
        bool found = false;
        for (const auto& a : arrivals) {
            if (!found || static_cast<std::int32_t>(a.tick - tick) < 0) tick = a.tick;
            found = true;
        }
        return found;
    }
    void DeliverDue() {
        for (auto it = arrivals.begin(); it != arrivals.end();) {
            if (static_cast<std::int32_t>(now - it->tick) >= 0) {
                Queue(it->bytes);
                it = arrivals.erase(it);
            } else {
                ++it;
            }
        }
    }
    // What the window system does when the polling period is over: a WM_TIMER, if the timer
    // runs. Returns whether one was delivered.
    bool TimerTick() {
        if (!timerRunning || !handler) return false;
        handler(serial_const::kWmTimer, 1, 0);
        return true;
    }
    std::intptr_t Send(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        return handler ? handler(msg, wParam, lParam) : -1;
    }
};

// Bytes 0, 1, 2, ... n-1 (mod 256), plus an offset.
inline std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 0) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

}  // namespace virel::test
