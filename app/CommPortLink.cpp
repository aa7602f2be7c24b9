#include "app/CommPortLink.h"

namespace virel::app {

bool TCommPortLink::Open(int speedIndex, int portIndex) {
    if (speedIndex == 0) port_.SetBaudRate(br4800);
    if (speedIndex == 1) port_.SetBaudRate(br9600);
    // The combo box lists COM1..COM4, but its text may be set to any of the eight ports.
    if (portIndex >= 0 && portIndex <= 7) {
        port_.SetPort(static_cast<TPortNumber>(pnCOM1 + portIndex));
    }
    return port_.Connect();
}

}  // namespace virel::app
