#include "app/StoredLine.h"

#include <iterator>

#include "storage/ProgramSettings.h"
#include "storage/RegSettingsStore.h"

namespace virel::app {

TLineSettings StoredLineSettings(const TSettings& settings) {
    TLineSettings line;
    line.port = TLinePort(settings.Read(kStoredPort));
    // The speed box shows its first item for an index it has no item for (TSpeedComboBox).
    const std::int32_t item = settings.Read(kStoredSpeedItem);
    constexpr auto kItems = static_cast<std::int32_t>(std::size(kKnownSpeeds));
    line.speed = item >= 0 && item < kItems ? kKnownSpeeds[item] : kDefaultSpeed;
    return line;
}

TLineSettings ReadStoredLineSettings() {
    // A read makes no key: a harvest on a PC where the window never ran leaves the registry as
    // it found it.
    return StoredLineSettings(ProgramSettings());
}

}  // namespace virel::app
