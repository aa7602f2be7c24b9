#pragma once
// The main window's serial port component as the exchange sees it.
#include <functional>
#include <string>

#include "core/meter/DeviceSeams.h"
#include "serial/CPDrv.h"

namespace virel::app {

// The main window's design settings of its CommPort, applied through the setters in the order
// a stored window description applies them.
void ApplyCommPortDesign(TCPDrv& port);

class TCommPortLink : public IDeviceLink {
public:
    // A port text refused before anything reaches the system, and why (for the trace).
    using TRefusedPortNote = std::function<void(const std::string& text, const std::string& why)>;

    // The component stays the window's; it must outlive this link.
    explicit TCommPortLink(TCPDrv& port, TRefusedPortNote onRefusedPort = {})
        : port_(port), onRefusedPort_(std::move(onRefusedPort)) {}

    // 4800/9600 -> br4800/br9600 (any other speed as a custom rate); the port's number:
    // 1..16 -> pnCOM1..pnCOM16, above that the name "\\.\COM<n>"; then Connect. A port text
    // naming none: Disconnect, false.
    bool Open(const TLineSettings& line) override;
    void Close() override { port_.Disconnect(); }
    bool SendString(const std::string& bytes) override { return port_.SendString(bytes); }
    // On a closed port: 0 after a short pause (see the .cpp), from both reads.
    std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) override;
    // ReadData with `idleMs` in place of the port's input time-out for this one read.
    std::uint32_t ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t idleMs) override;
    std::uint32_t LineSpeed() const override { return port_.BaudRateValue(); }
    // The last Open found the port held by another program: access denied or a sharing
    // violation (the port exists; a missing one says "file not found").
    bool OpenRefusedAsBusy() const override { return busy_; }
    void Pause(std::uint32_t ms) override;

private:
    // True, after a short pause, when the port is closed.
    bool PausedOnClosedPort() const;

    TCPDrv& port_;
    TRefusedPortNote onRefusedPort_;
    bool busy_ = false;
};

}  // namespace virel::app
