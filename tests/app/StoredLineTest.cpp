// The window's stored port and speed as the harvest without a window reads them: the values
// the window's storage writes, trimmed and converted as the window restores them, and the
// window's own defaults for what is missing or does not fit.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/StoredLine.h"
#include "tests/support/MemorySettingsStore.h"

namespace virel::app {
namespace {

TLineSettings Read(const std::map<std::string, std::string>& values) {
    virel::test::TMemorySettings memory;
    for (const auto& [place, text] : values) {
        const auto slash = place.find('/');
        memory.store->PutText(place.substr(0, slash), place.substr(slash + 1), text);
    }
    const TLineSettings line = StoredLineSettings(memory.settings);
    EXPECT_EQ(memory.store->writes, 0) << "the window's settings are only read";
    return line;
}

TEST(StoredLine, TheWindowsStoredPortAndSpeed) {
    TLineSettings line =
        Read({{"TFace/CB_ComPort_Text", " COM7 "}, {"TFace/CB_Spead_ItemIndex", "1"}});
    EXPECT_EQ(line.port.Text(), "COM7");
    EXPECT_EQ(line.speed, 9600u);
    line = Read({{"TFace/CB_ComPort_Text", "COM12"}, {"TFace/CB_Spead_ItemIndex", "0"}});
    EXPECT_EQ(line.port.Text(), "COM12");
    EXPECT_EQ(line.speed, 4800u);
    // Another window's section is not the main window's.
    line = Read({{"TOther/CB_ComPort_Text", "COM9"}, {"TOther/CB_Spead_ItemIndex", "1"}});
    EXPECT_EQ(line.port.Text(), "COM1");
    EXPECT_EQ(line.speed, 4800u);
}

TEST(StoredLine, MissingOrUnfitValuesGiveWhatTheWindowShows) {
    // Nothing stored (the window never closed on this PC): its first items.
    TLineSettings line = Read({});
    EXPECT_EQ(line.port.Text(), "COM1");
    EXPECT_EQ(line.speed, 4800u);
    // A speed item the box does not have, none, or no number: the box's first item.
    for (const char* index : {"2", "-1", "speed", ""}) {
        line = Read({{"TFace/CB_Spead_ItemIndex", index}});
        EXPECT_EQ(line.speed, 4800u) << index;
    }
    // An empty stored port empties the box: no port, which the harvest reports as such.
    line = Read({{"TFace/CB_ComPort_Text", ""}});
    EXPECT_EQ(line.port.Text(), "");
}

}  // namespace
}  // namespace virel::app
