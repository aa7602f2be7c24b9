#pragma once
// One request/reply exchange with the meter: open the port chosen in the window, send the
// command, wait for the reply under three timed attempts, close the port.
#include <cstdint>
#include <string>

#include "core/FaceView.h"

namespace virel {

// The serial port as the exchange uses it. The Win32 side adapts TCPDrv (app/CommPortLink).
class IDeviceLink {
public:
    virtual ~IDeviceLink() = default;
    // Sets the speed (bits per second) and the port "\\.\COM<portNumber>" (1..255), then
    // connects. True when open (also when it already was). Port number 0 opens nothing: the
    // port is closed and the result is false.
    virtual bool Open(std::uint32_t speed, int portNumber) = 0;
    virtual void Close() = 0;
    virtual bool SendString(const std::string& bytes) = 0;
    // Returns after `count` bytes or after 500 ms without a new byte; 0 when closed, at once
    // or after a pause of a few ms.
    virtual std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) = 0;
    // The quick reply read (ReplyPace.h) needs these two; a link without them reads at the
    // slow pace. ReadDataIdle is ReadData with `idleMs` of silence ending the read.
    virtual std::uint32_t ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                                       std::uint32_t /*idleMs*/) {
        return ReadData(buffer, count);
    }
    virtual std::uint32_t LineSpeed() const { return 0; }  // bits per second; 0 unknown
};

// The local date and time in milliseconds (see ToMilliseconds in DateTimeFormat.h).
class IClock {
public:
    virtual ~IClock() = default;
    virtual std::int64_t LocalNowMs() = 0;
};

// The physical Esc key as the asynchronous key state reports it: the exchange dispatches no
// messages, so keyboard messages cannot reach it.
class IKeyState {
public:
    virtual ~IKeyState() = default;
    virtual bool EscapeDown() = 0;
};

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
    TExchange(IFaceView& view, IDeviceLink& link, IClock& clock, IKeyState& keys)
        : view_(view), link_(link), clock_(clock), keys_(keys) {}

    // Applies the speed and the port the window shows and connects. A speed box showing no
    // known speed is set back to the default, which is used; a port box naming no port opens
    // nothing, so the exchange fails as with a port that cannot be opened.
    bool OpenComPort();
    void CloseComPort();

    // One read of up to kReadCount bytes; empty when nothing came.
    std::string ReadString();

    // Replies of `expectedSize` bytes are taken as soon as they are in (ReadPacedReply);
    // 0 returns to reading every reply up to the input time-out.
    void SetQuickReplySize(std::uint32_t expectedSize) { quickReplySize_ = expectedSize; }
    std::uint32_t QuickReplySize() const { return quickReplySize_; }

    // Three attempts (1 s, 1 s, 2 s). Esc down at the start of an attempt writes the
    // cancellation text to the status bar and throws EProtocolCancel; any error inside an
    // attempt empties the reply and lets the next attempt run. Empty when nothing came.
    // A reply taken after the command was sent again may answer an earlier sending; the
    // answers still owed to the later sendings are then read and dropped here, so that the
    // next exchange does not take one of them for its own. (An answer later than all three
    // attempts cannot be told from the next command's: only the purge on opening drops those
    // that came in between.)
    std::string SendCommand(const std::string& command);

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

    IFaceView& view_;
    IDeviceLink& link_;
    IClock& clock_;
    IKeyState& keys_;
    std::uint32_t quickReplySize_ = 0;
};

}  // namespace virel
