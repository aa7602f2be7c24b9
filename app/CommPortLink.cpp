#include "app/CommPortLink.h"

#include "core/PortChoice.h"

namespace virel::app {

bool TCommPortLink::Open(std::uint32_t speed, int portNumber) {
    if (portNumber < 1 || portNumber > kHighestPortNumber) {
        port_.Disconnect();
        return false;
    }
    switch (speed) {
        case 4800:
            port_.SetBaudRate(br4800);
            break;
        case 9600:
            port_.SetBaudRate(br9600);
            break;
        default:
            port_.SetBaudRateValue(speed);
            break;
    }
    // The numbered setting where the component has one, so that its Port says which; the
    // path is "\\.\COM<n>" either way.
    if (portNumber <= pnCOM16) {
        port_.SetPort(static_cast<TPortNumber>(portNumber));
    } else {
        port_.SetPortName(PortPath(portNumber));
    }
    return port_.Connect();
}

std::uint32_t TCommPortLink::ReadDataIdle(std::uint8_t* buffer, std::uint32_t count,
                                          std::uint32_t idleMs) {
    const std::uint32_t inputTimeout = port_.InputTimeout();
    port_.SetInputTimeout(idleMs);
    const std::uint32_t got = port_.ReadData(buffer, count);
    port_.SetInputTimeout(inputTimeout);
    return got;
}

}  // namespace virel::app
