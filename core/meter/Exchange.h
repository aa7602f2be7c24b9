#pragma once
// One request/reply exchange with the meter: open the port the action was given, send the
// command, wait for the reply under three timed attempts, close the port.
#include <cstdint>
#include <string>
#include <vector>

#include "core/meter/DeviceSeams.h"
#include "core/meter/PortChoice.h"
#include "core/meter/PortLock.h"

namespace virel {

// Command bytes: a code byte and ASCII letters, no terminator or checksum.
namespace commands {
inline const std::string kFpr(
    "\x01"
    "FPR",
    4);  // end of measurement
inline const std::string kRpr(
    "\x02"
    "RPR",
    4);  // end of measurement, the meter prints too
inline const std::string kRes(
    "\x03"
    "RES",
    4);                                     // reset of the current values
std::string Rd(std::uint8_t recordNumber);  // archive record
}  // namespace commands

inline constexpr std::size_t kReadBufferSize = 300;
inline constexpr std::uint32_t kReadCount = 280;
inline constexpr int kAttemptTimeoutsMs[3] = {1000, 1000, 2000};
// Beyond the spread of the sendings, how long the answers still owed may take to come: the
// meter's own variation in answering plus one reply on the line at 4800 baud.
inline constexpr std::int64_t kOwedAnswerMarginMs = 300;

class TExchange {
public:
    TExchange(IDeviceLink& link, IClock& clock, IKeyState& keys, IPortLock& portLock)
        : link_(link), clock_(clock), keys_(keys), portLock_(portLock) {}
    ~TExchange();
    TExchange(const TExchange&) = delete;
    TExchange& operator=(const TExchange&) = delete;

    // Takes the port's lock (PortLock.h) and applies the line's speed and port and connects;
    // false when the port could not be opened. A text naming no port opens nothing, so the
    // exchange then fails as with a port that cannot be opened: never the port of an earlier
    // exchange. A port whose lock or whose device another program holds is tried again for up
    // to kBusyPortWaitMs (core/meter/BusyPort.h); Esc down between the tries throws
    // EProtocolCancel. The lock is held until CloseComPort, and let go at once when the port
    // did not open.
    [[nodiscard]] bool OpenComPort(const TLineSettings& line);
    void CloseComPort();

    // Holds the lock of the line's port beyond single exchanges, until LetPortGo: a harvest
    // holds it for its whole read, so that no other program's exchange comes between its
    // records. Waits for another holder as OpenComPort does; false when the wait is over. The
    // exchanges on that port meanwhile hold it again, each for itself.
    [[nodiscard]] bool HoldPort(const TLineSettings& line);
    void LetPortGo(const TLineSettings& line);

    // One read of up to kReadCount bytes; empty when nothing came.
    [[nodiscard]] std::string ReadString();

    // Replies of `expectedSize` bytes are taken as soon as they are in (ReadPacedReply), and a
    // port that does not open fails at once instead of after the three attempts; 0 returns to
    // reading every reply up to the input time-out, with the attempts in full.
    void SetQuickReplySize(std::uint32_t expectedSize) { quickReplySize_ = expectedSize; }
    std::uint32_t QuickReplySize() const { return quickReplySize_; }

    // Three attempts (1 s, 1 s, 2 s). Esc down at the start of an attempt throws
    // EProtocolCancel; any error inside an attempt empties the reply and lets the next attempt
    // run. Empty when nothing came. An attempt whose sending did not go out waits its time all
    // the same (the operator sees the usual failure after the usual time) but owes no answer.
    // A reply taken after the command was sent again may answer an earlier sending; the
    // answers still owed to the later sendings are then read and dropped here, so that the
    // next exchange does not take one of them for its own. (An answer later than all three
    // attempts cannot be told from the next command's: only the purge on opening drops those
    // that came in between.)
    [[nodiscard]] std::string SendCommand(const std::string& command);

private:
    // When the command went out in this exchange: the first and the last time.
    struct TSendings {
        int count = 0;
        std::int64_t firstMs = 0;
        std::int64_t lastMs = 0;
    };
    void SendAttempt(const std::string& command, std::string& reply, int timeoutMs,
                     TSendings& sendings);
    // True once more than `windowMs` have passed since `start` (restarted if the clock went back).
    bool Over(std::int64_t& start, std::int64_t windowMs);
    // Reads and drops whatever comes for `windowMs`.
    void DropAnswersFor(std::int64_t windowMs);

    // One more hold of the port's lock: false when another program holds it. A port that no
    // text names has no lock: nothing opens there.
    bool Hold(int portNumber);
    void LetGo(int portNumber);
    // Tries `attempt` until it gives Done or Failed, pausing as for a busy port while it gives
    // Busy: false when the wait is over or it failed.
    enum class TTry { Done, Busy, Failed };
    template <typename Attempt>
    bool WaitingAsForABusyPort(Attempt attempt);

    // A port's lock as this exchange holds it: how many holds (a harvest's and the exchange's
    // inside it) and whether the system's lock is among them (none when it was unavailable).
    struct TLockHold {
        int port = 0;
        int holds = 0;
        bool owned = false;
    };

    IDeviceLink& link_;
    IClock& clock_;
    IKeyState& keys_;
    IPortLock& portLock_;
    std::vector<TLockHold> lockHolds_;
    int openHold_ = 0;  // the port whose lock OpenComPort holds until CloseComPort; 0 none
    std::uint32_t quickReplySize_ = 0;
};

// HoldPort for a scope: held while it lives when it converts to true. Esc while waiting throws
// from the constructor, nothing held.
class TPortHold {
public:
    TPortHold(TExchange& exchange, const TLineSettings& line)
        : exchange_(exchange), line_(line), held_(exchange.HoldPort(line)) {}
    ~TPortHold() {
        if (held_) exchange_.LetPortGo(line_);
    }
    TPortHold(const TPortHold&) = delete;
    TPortHold& operator=(const TPortHold&) = delete;
    explicit operator bool() const { return held_; }

private:
    TExchange& exchange_;
    TLineSettings line_;
    bool held_;
};

}  // namespace virel
