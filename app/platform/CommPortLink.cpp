#include "app/platform/CommPortLink.h"

#include <windows.h>

namespace virel::app {

void ApplyCommPortDesign(TCPDrv& port) {
    port.SetPort(pnCustom);
    port.SetPortName("\\\\.\\COM2");
    port.SetHwFlow(hfNONE);
    port.SetInBufSize(256);
    port.SetOutBufSize(256);
    port.SetOutputTimeout(0);
    port.SetInputTimeout(500);
}

bool TCommPortLink::Open(const TLineSettings& line) {
    // Never the port of an earlier exchange: an unknown name must not reach another device.
    busy_ = false;
    const auto number = line.port.Number();
    if (!number) {
        port_.Disconnect();
        if (onRefusedPort_) onRefusedPort_(line.port.Text(), line.port.Refusal());
        return false;
    }
    const int portNumber = *number;
    switch (line.speed) {
        case 4800:
            port_.SetBaudRate(br4800);
            break;
        case 9600:
            port_.SetBaudRate(br9600);
            break;
        default:
            port_.SetBaudRateValue(line.speed);
            break;
    }
    // The numbered setting where the component has one, so that its Port says which; the
    // path is "\\.\COM<n>" either way.
    if (portNumber <= pnCOM16) {
        port_.SetPort(static_cast<TPortNumber>(portNumber));
    } else {
        port_.SetPortName(PortPath(portNumber));
    }
    if (port_.Connect()) return true;
    const std::uint32_t error = port_.OpenError();
    busy_ = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    return false;
}

void TCommPortLink::Pause(std::uint32_t ms) {
    Sleep(ms);
}

bool TCommPortLink::PausedOnClosedPort() const {
    // The component answers at once on a closed port (a USB adapter that is unplugged cannot
    // be opened), and the exchange asks again until its attempt is over: without a pause that
    // would keep a core busy for the four seconds of the three attempts. The attempts still end
    // just past their time, at most one pause late.
    constexpr DWORD kClosedPortPauseMs = 10;
    if (port_.IsConnected()) return false;
    Sleep(kClosedPortPauseMs);
    return true;
}

std::uint32_t TCommPortLink::ReadData(std::uint8_t* buffer, std::uint32_t count) {
    if (PausedOnClosedPort()) return 0;
    return port_.ReadData(buffer, count);
}

std::uint32_t TCommPortLink::ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                                          std::uint32_t idleMs) {
    if (PausedOnClosedPort()) return 0;
    const std::uint32_t inputTimeout = port_.InputTimeout();
    port_.SetInputTimeout(idleMs);
    const std::uint32_t got = port_.ReadData(buffer, count);
    port_.SetInputTimeout(inputTimeout);
    return got;
}

}  // namespace virel::app
