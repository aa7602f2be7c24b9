// The ini-file store with the system's private profile functions under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "core/Errors.h"
#include "core/Utf16.h"
#include "storage/IniStore.h"

namespace virel {
namespace {

class IniStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        path_ = Narrow(dir) + "virel_storage_test.ini";
        DeleteFileW(Widen(path_).c_str());
    }
    void TearDown() override { DeleteFileW(Widen(path_).c_str()); }
    std::string FileText() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string path_;
};

TEST_F(IniStoreTest, WritesAndReadsSectionsOfValues) {
    TIniStore store(path_);
    EXPECT_EQ(store.ReadString("TFace", "NormPos", "dflt"), "dflt");  // no file yet
    store.WriteString("TFace", "NormPos", "10,20,30,40");
    store.WriteInteger("TFace", "Flags", 2);
    store.WriteBool("TFace", "Visible", false);
    store.WriteString("TFace", "CB_ComPort_Text", "СОМ3");
    EXPECT_EQ(store.ReadString("TFace", "NormPos", ""), "10,20,30,40");
    EXPECT_EQ(store.ReadInteger("TFace", "Flags", 0), 2);
    EXPECT_EQ(store.ReadString("TFace", "Visible", ""), "0");
    EXPECT_EQ(store.ReadString("TFace", "CB_ComPort_Text", ""), "СОМ3");
    EXPECT_EQ(store.ReadString("Other", "NormPos", "dflt"), "dflt");
    EXPECT_NE(FileText().find("NormPos=10,20,30,40"), std::string::npos);

    // Long values come back whole.
    const std::string longValue(5000, 'x');
    store.WriteString("TFace", "Long", longValue);
    EXPECT_EQ(store.ReadString("TFace", "Long", ""), longValue);
}

TEST_F(IniStoreTest, QuotedTextsComeBackUnchanged) {
    TIniStore store(path_);
    for (const std::string& text :
         std::vector<std::string>{"\"a\"", "'a'", "\"a'", "\"", "'", "\"\"", "plain \"mid\" x"}) {
        store.WriteString("Q", "V", text);
        EXPECT_EQ(store.ReadString("Q", "V", ""), text) << text;
    }
    store.WriteString("Q", "V", "\"quoted\"");
    EXPECT_NE(FileText().find("V=\"\"quoted\"\""), std::string::npos);
}

TEST_F(IniStoreTest, EraseSectionRemovesOnlyThatSection) {
    TIniStore store(path_);
    store.WriteString("TFace.Items", "Count", "1");
    store.WriteString("TFace", "Keep", "1");
    store.EraseSection("TFace.Items");
    EXPECT_EQ(store.ReadString("TFace.Items", "Count", "none"), "none");
    EXPECT_EQ(store.ReadString("TFace", "Keep", ""), "1");
    EXPECT_NO_THROW(store.EraseSection("Never"));
}

TEST_F(IniStoreTest, AnUnwritableFileIsAnError) {
    TIniStore store("Z:\\no\\such\\directory\\x.ini");
    EXPECT_THROW(store.WriteString("S", "Name", "v"), Exception);
}

}  // namespace
}  // namespace virel
