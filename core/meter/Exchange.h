#pragma once
// One request/reply exchange with the meter: open the port the action was given, send the
// command, wait for the reply under three timed attempts, close the port.
#include <cstdint>
#include <string>

#include "core/meter/DeviceSeams.h"
#include "core/meter/PortChoice.h"

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
    TExchange(IDeviceLink& link, IClock& clock, IKeyState& keys)
        : link_(link), clock_(clock), keys_(keys) {}

    // Applies the line's speed and port and connects; false when the port could not be opened.
    // A text naming no port opens nothing, so the exchange then fails as with a port that
    // cannot be opened: never the port of an earlier exchange. A port another program holds is
    // tried again for up to kBusyPortWaitMs (core/meter/BusyPort.h); Esc down between the tries
    // throws EProtocolCancel.
    [[nodiscard]] bool OpenComPort(const TLineSettings& line);
    void CloseComPort();

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

    IDeviceLink& link_;
    IClock& clock_;
    IKeyState& keys_;
    std::uint32_t quickReplySize_ = 0;
};

}  // namespace virel
