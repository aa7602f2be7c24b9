#pragma once
// What the exchange with the meter needs from the platform: the serial line, the clock and the
// Esc key. The Win32 side implements them (app/platform); the tests give fakes.
#include <cstdint>
#include <string>

#include "core/meter/PortChoice.h"

namespace virel {

// The serial port as the exchange uses it. The Win32 side adapts TCPDrv (TCommPortLink).
class IDeviceLink {
public:
    virtual ~IDeviceLink() = default;
    // Sets the line's speed (bits per second) and port, then connects. True when open (also
    // when it already was). A port text that names none opens nothing: the port is closed and
    // the result is false.
    [[nodiscard]] virtual bool Open(const TLineSettings& line) = 0;
    virtual void Close() = 0;
    // False when the bytes did not go out (a closed or failing port).
    [[nodiscard]] virtual bool SendString(const std::string& bytes) = 0;
    // Returns after `count` bytes or after 500 ms without a new byte; 0 when closed, at once
    // or after a pause of a few ms.
    [[nodiscard]] virtual std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) = 0;
    // The quick reply read (ReplyPace.h) needs these two; a link without them reads at the
    // slow pace. ReadDataIdle is ReadData with `idleMs` of silence ending the read.
    [[nodiscard]] virtual std::uint32_t ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                                                     std::uint32_t /*idleMs*/) {
        return ReadData(buffer, count);
    }
    virtual std::uint32_t LineSpeed() const { return 0; }  // bits per second; 0 unknown
    // After an Open that failed: the port exists but another program holds it now (the window
    // or a scheduled harvest in its exchange), so trying again shortly may succeed.
    [[nodiscard]] virtual bool OpenRefusedAsBusy() const { return false; }
    // Waits about `ms` without using the processor, between the tries of a held port.
    virtual void Pause(std::uint32_t /*ms*/) {}
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

}  // namespace virel
