#pragma once
// The main window's serial port component as the exchange sees it.
#include "core/Exchange.h"
#include "serial/CPDrv.h"

namespace virel::app {

class TCommPortLink : public IDeviceLink {
public:
    // The component stays the window's; it must outlive this link.
    explicit TCommPortLink(TCPDrv& port) : port_(port) {}

    // CB_Spead index 0/1 -> br4800/br9600 and CB_ComPort index 0..7 -> pnCOM1..pnCOM8 (other
    // indices keep the setting), then Connect.
    bool Open(int speedIndex, int portIndex) override;
    void Close() override { port_.Disconnect(); }
    bool SendString(const std::string& bytes) override { return port_.SendString(bytes); }
    std::uint32_t ReadData(std::uint8_t* buffer, std::uint32_t count) override {
        return port_.ReadData(buffer, count);
    }

private:
    TCPDrv& port_;
};

}  // namespace virel::app
