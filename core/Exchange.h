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
    // Returns after `count` bytes or after 500 ms without a new byte; 0 at once when closed.
    virtual std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) = 0;
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

    // Three attempts (1 s, 1 s, 2 s). Esc down at the start of an attempt writes the
    // cancellation text to the status bar and throws EProtocolCancel; any error inside an
    // attempt empties the reply and lets the next attempt run. Empty when nothing came.
    std::string SendCommand(const std::string& command);

private:
    void SendAttempt(const std::string& command, std::string& reply, int timeoutMs);

    IFaceView& view_;
    IDeviceLink& link_;
    IClock& clock_;
    IKeyState& keys_;
};

}  // namespace virel
