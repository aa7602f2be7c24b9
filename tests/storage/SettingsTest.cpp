// The typed settings over a store in memory: where each declared value is kept, what a stored
// value of each kind reads as (junk as the default), what a write leaves in the store, and the
// main window's stored line read under the names its storage writes.
#include <gtest/gtest.h>

#include <string>

#include "storage/Persistent.h"
#include "storage/ProgramSettings.h"
#include "storage/RXProps.h"
#include "tests/support/MemorySettingsStore.h"

namespace virel {
namespace {

using test::TMemorySettings;

// Every declared value: written through the settings, it lands at its section and name, as a
// text or as bytes; nothing stored, it reads as its default.
TEST(TypedSettings, EachValueIsKeptWhereItWasAlwaysKeptAndReadsAsItsDefaultWhenMissing) {
    const struct {
        TTextSetting setting;
        const char* section;
        const char* name;
        const char* def;
    } texts[] = {
        {kStoredPort, "TFace", "CB_ComPort_Text", "COM1"},
        {kArchiveFolder, "TFace", "ArchiveFolder", ""},
        {kStoredDoseUnit, "TJournalWindow", "DoseUnit", "Gy"},
        {kStoredPatientForm, "TJournalWindow", "PatientForm", "typed"},
        {kStoredPatientSalt, "TJournalWindow", "PatientSalt", ""},
        {kCentralConnection, "TCentralJournal", "Connection", ""},
        {kCentralRoom, "TCentralJournal", "Room", ""},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.name);
        TMemorySettings memory;
        EXPECT_EQ(memory.settings.Read(t.setting), t.def);
        ASSERT_TRUE(memory.settings.Write(t.setting, "значение"));
        const auto stored = memory.store->Read(t.section, t.name);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->kind, TSettingKind::Text);
        EXPECT_EQ(stored->data, "значение");
        EXPECT_EQ(memory.store->values.size(), 1u);
    }

    TMemorySettings memory;
    EXPECT_EQ(memory.settings.Read(kStoredSpeedItem), 0);
    ASSERT_TRUE(memory.settings.Write(kStoredSpeedItem, -5));
    EXPECT_EQ(memory.store->Read("TFace", "CB_Spead_ItemIndex")->data, "-5");
    EXPECT_EQ(memory.settings.Read(kCentralPassword), "");
    ASSERT_TRUE(memory.settings.Write(kCentralPassword, std::string("VRL\x01\0\xff", 6)));
    const auto blob = memory.store->Read("TCentralJournal", "Password");
    ASSERT_TRUE(blob.has_value());
    EXPECT_EQ(blob->kind, TSettingKind::Bytes);
    EXPECT_EQ(blob->data, std::string("VRL\x01\0\xff", 6));
}

// What is stored, of which kind, and what each type of setting reads from it.
TEST(TypedSettings, StoredValuesReadAsTheirTypeAndJunkAsTheDefault) {
    constexpr TTextSetting kPlain{{"S", "Plain"}, "нет"};
    constexpr TTextSetting kProperty{{"S", "Box", "Text"}, "COM1"};
    constexpr TIntegerSetting kNumber{{"S", "Number"}, 7};
    constexpr TBytesSetting kBlob{{"S", "Blob"}};
    const std::string atLimit(kMaxSettingText, 'x');
    const std::string overLimit(kMaxSettingText + 1, 'x');
    const std::string bytesOverLimit(kMaxSettingBytes + 1, '\x01');
    using K = TSettingKind;
    const struct {
        K kind;
        std::string data;
        std::string plain;     // kPlain reads
        std::string property;  // kProperty reads
        std::int32_t number;   // kNumber reads
        std::string blob;      // kBlob reads
    } cases[] = {
        {K::Text, " C:\\Архив ", " C:\\Архив ", "C:\\Архив", 7, ""},
        {K::Text, "", "", "", 7, ""},
        {K::Text, " 12 ", " 12 ", "12", 12, ""},
        {K::Text, "-1", "-1", "-1", -1, ""},
        {K::Text, "2147483648", "2147483648", "2147483648", 7, ""},
        {K::Text, "1 2", "1 2", "1 2", 7, ""},
        {K::Text, atLimit, atLimit, atLimit, 7, ""},
        {K::Text, overLimit, "нет", "COM1", 7, ""},
        {K::Bytes, std::string("\0\x01", 2), "нет", "COM1", 7, std::string("\0\x01", 2)},
        {K::Bytes, "12", "нет", "COM1", 7, "12"},
        {K::Bytes, bytesOverLimit, "нет", "COM1", 7, ""},
        {K::Other, "", "нет", "COM1", 7, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.substr(0, 16) + " of kind " + std::to_string(static_cast<int>(c.kind)));
        TMemorySettings memory;
        for (const char* name : {"Plain", "Box_Text", "Number", "Blob"})
            memory.store->Put("S", name, c.kind, c.data);
        EXPECT_EQ(memory.settings.Read(kPlain), c.plain);
        EXPECT_EQ(memory.settings.Read(kProperty), c.property);
        EXPECT_EQ(memory.settings.Read(kNumber), c.number);
        EXPECT_EQ(memory.settings.Read(kBlob), c.blob);
        EXPECT_EQ(memory.store->writes, 0) << "reading writes nothing";
    }
}

TEST(TypedSettings, ClearedBytesLeaveNoValueAndARefusedWriteIsReported) {
    TMemorySettings memory;
    ASSERT_TRUE(memory.settings.Write(kCentralPassword, "blob"));
    ASSERT_TRUE(memory.settings.Clear(kCentralPassword));
    EXPECT_TRUE(memory.store->values.empty());
    EXPECT_TRUE(memory.settings.Clear(kCentralPassword)) << "nothing to clear is no failure";

    memory.store->refuseWrites = true;
    EXPECT_FALSE(memory.settings.Write(kCentralRoom, "другой"));
    EXPECT_FALSE(memory.settings.Write(kStoredSpeedItem, 1));
    EXPECT_FALSE(memory.settings.Write(kCentralPassword, "blob"));
    EXPECT_FALSE(memory.settings.Clear(kCentralPassword));
}

// The window's storage writes its controls' values under its own naming; the line read through
// the typed settings finds them there, converted as the window converts them when it restores.
TEST(TypedSettings, TheWindowsStoredLineIsReadUnderTheNamesItsStorageWrites) {
    std::string port = " COM12 ";
    std::int32_t speedItem = 1;
    TBoundComponent face("Face", std::string(kFaceSection));
    TBoundComponent portBox(std::string(kFacePort.name), "TComboBox", &face);
    portBox.AddString(
        std::string(kFacePort.property), [&port] { return port; },
        [&port](const std::string& text) { port = text; });
    TBoundComponent speedBox(std::string(kFaceSpeed.name), "TComboBox", &face);
    speedBox.AddInteger(
        std::string(kFaceSpeed.property), [&speedItem] { return speedItem; },
        [&speedItem](std::int32_t item) { speedItem = item; });
    TStoredPropsList list{{kFacePort.PropertyEntry(), &portBox},
                          {kFaceSpeed.PropertyEntry(), &speedBox}};

    TMemorySettings memory;
    TPropsStorage props;
    props.section = std::string(kFaceSection);
    props.writeStringHandler = [&memory](const std::string& section, const std::string& name,
                                         const std::string& value) {
        memory.store->PutText(section, name, value);
    };
    props.WriteListedProperties(face, list);
    EXPECT_EQ(memory.store->values.size(), 2u);
    EXPECT_EQ(memory.settings.Read(kStoredPort), "COM12");
    EXPECT_EQ(memory.settings.Read(kStoredSpeedItem), 1);

    // What the window restores from a text it did not write itself, the settings read too.
    memory.store->PutText(std::string(kFaceSection), kFacePort.ValueName(), "\tCOM3  ");
    props.readStringHandler = [&memory](const std::string& section, const std::string& name,
                                        const std::string& def) {
        const auto stored = memory.store->Read(section, name);
        return stored ? stored->data : def;
    };
    props.ReadListedProperties(face, list);
    EXPECT_EQ(port, "COM3");
    EXPECT_EQ(memory.settings.Read(kStoredPort), port);
}

}  // namespace
}  // namespace virel
