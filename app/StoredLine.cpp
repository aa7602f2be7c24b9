#include "app/StoredLine.h"

#include <windows.h>

#include <string>

#include "app/windows/Face.h"
#include "core/Utf16.h"
#include "storage/AppUtils.h"
#include "storage/FormStorageWin32.h"
#include "storage/Persistent.h"
#include "storage/RXProps.h"
#include "storage/RegStore.h"
#include "win/Scopes.h"

namespace virel::app {

TLineSettings StoredLineSettings(TSectionStore& store) {
    // Stand-ins for the two boxes, with the window's design values: the same property kinds,
    // names and conversions as the window's storage binds (BindStoredControls), so a value the
    // window would refuse is refused here too.
    std::string port = "COM1";
    std::int32_t speedIndex = 0;
    TBoundComponent face("Face", TFace::kStorageSection);
    TBoundComponent portBox("CB_ComPort", "TComboBox", &face);
    portBox.AddString(
        "Text", [&port] { return port; }, [&port](const std::string& text) { port = text; });
    TBoundComponent speedBox("CB_Spead", "TComboBox", &face);
    speedBox.AddInteger(
        "ItemIndex", [&speedIndex] { return speedIndex; },
        [&speedIndex](std::int32_t index) { speedIndex = index; });
    TStoredPropsList list{{"CB_ComPort.Text", &portBox}, {"CB_Spead.ItemIndex", &speedBox}};

    TPropsStorage props;
    props.section = TFace::kStorageSection;
    props.readStringHandler = [&store](const std::string& section, const std::string& name,
                                       const std::string& def) {
        return store.ReadString(section, name, def);
    };
    props.ReadListedProperties(face, list);

    TLineSettings line;
    line.port = TLinePort(port);
    // The speed box shows its first item for an index it has no item for (TSpeedComboBox).
    constexpr auto kItems = static_cast<std::int32_t>(std::size(kKnownSpeeds));
    line.speed = speedIndex >= 0 && speedIndex < kItems ? kKnownSpeeds[speedIndex] : kDefaultSpeed;
    return line;
}

TLineSettings ReadStoredLineSettings() {
    if (ApplicationInfo().exePath.empty()) InitStorageApplicationInfo();
    const std::string key = DefaultRegistryKey();
    // Opening the store for reading would make the key: look first, so that a harvest on a PC
    // where the window never ran leaves the registry as it found it.
    win::TRegKey found;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, KEY_READ, found.Receive()) !=
        ERROR_SUCCESS) {
        found.Forget();
        TLineSettings defaults;
        defaults.port = TLinePort("COM1");
        return defaults;
    }
    found.Reset();
    TRegStore store(TPlacementRegRoot::prCurrentUser, key, true);
    return StoredLineSettings(store);
}

}  // namespace virel::app
