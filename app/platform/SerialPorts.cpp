#include "app/platform/SerialPorts.h"

#include "storage/RegSettingsStore.h"

namespace virel::app {

std::vector<std::string> PresentSerialPorts() {
    // Read only, through the settings' registry store; a port name is short, and a longer value
    // (a driver's fault) is left out rather than read.
    constexpr std::size_t kPortBytes = 64 * sizeof(wchar_t);
    const TRegSettingsStore system(TPlacementRegRoot::prLocalMachine,
                                   "HARDWARE\\DEVICEMAP\\SERIALCOMM");
    std::vector<std::string> ports;
    for (const auto& [device, value] : system.Values({}, kPortBytes)) {
        if (value.kind == TSettingKind::Text) ports.push_back(value.data);
    }
    return ports;
}

}  // namespace virel::app
