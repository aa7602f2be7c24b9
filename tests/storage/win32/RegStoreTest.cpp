// The registry store against Wine's real registry in the build's private prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/Errors.h"
#include "core/Utf16.h"
#include "storage/RegStore.h"
#include "storage/TextUtil.h"

namespace virel {
namespace {

constexpr wchar_t kPath[] = L"Software\\VirelStorageRegTest";
const std::string kPathUtf8 = "Software\\VirelStorageRegTest";

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// Puts a raw value of any type, bypassing the store.
void PutRaw(const std::wstring& section, const std::wstring& name, DWORD type, const void* data,
            DWORD size) {
    HKEY k = nullptr;
    const std::wstring path = std::wstring(kPath) + L"\\" + section;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(k);
}

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};
RawValue GetRaw(const std::wstring& section, const std::wstring& name) {
    RawValue v;
    HKEY k = nullptr;
    const std::wstring path = std::wstring(kPath) + L"\\" + section;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (RegQueryValueExW(k, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.data.resize(size);
        RegQueryValueExW(k, name.c_str(), nullptr, &v.type, v.data.data(), &size);
    }
    RegCloseKey(k);
    return v;
}

class RegStoreTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kPath);
        RegDeleteKeyW(HKEY_CURRENT_USER, kPath);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPath);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPath);
    }
};

TEST_F(RegStoreTest, OpeningCreatesTheKeyPathAlsoForReadingButNoSection) {
    {
        TRegStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8, true);
        EXPECT_EQ(store.ReadString("TFace", "NormPos", "dflt"), "dflt");
        EXPECT_EQ(store.ReadInteger("TFace", "FormVersion", 7), 7);
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kPath));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kPath) + L"\\TFace"));
}

TEST_F(RegStoreTest, WritesStringValuesWithTheirTerminatingNul) {
    {
        TRegStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8, false);
        store.WriteString("TFace", "CB_ComPort_Text", "COM3");
        store.WriteInteger("TFace", "Flags", -5);
        store.WriteBool("TFace", "Visible", true);
        store.WriteBool("TFace", "Hidden", false);
        store.WriteString("TFace", "", "");
        store.WriteString("TFace", "Имя", "Значение");
    }
    const RawValue port = GetRaw(L"TFace", L"CB_ComPort_Text");
    EXPECT_EQ(port.type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(port.data.size(), 10u);  // "COM3" and its NUL, two bytes each
    EXPECT_EQ(port.data[8], 0);
    EXPECT_EQ(port.data[9], 0);
    EXPECT_EQ(GetRaw(L"TFace", L"Flags").data.size(), 6u);
    const RawValue unnamed = GetRaw(L"TFace", L"");
    EXPECT_EQ(unnamed.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(unnamed.data.size(), 2u);

    TRegStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8, true);
    EXPECT_EQ(store.ReadString("TFace", "CB_ComPort_Text", ""), "COM3");
    EXPECT_EQ(store.ReadInteger("TFace", "Flags", 0), -5);
    EXPECT_EQ(store.ReadString("TFace", "Visible", ""), "1");
    EXPECT_EQ(store.ReadString("TFace", "Hidden", ""), "0");
    EXPECT_EQ(store.ReadString("TFace", "", "dflt"), "");
    EXPECT_EQ(store.ReadString("tface", "имя", ""), "Значение");  // names ignore case
}

TEST_F(RegStoreTest, ReadRules) {
    const wchar_t withNul[] = L"COM2\0junk";
    PutRaw(L"S", L"WithNul", REG_SZ, withNul, sizeof withNul);
    const wchar_t noTerminator[] = {L'A', L'B'};
    PutRaw(L"S", L"NoTerminator", REG_SZ, noTerminator, sizeof noTerminator);
    PutRaw(L"S", L"Empty", REG_SZ, nullptr, 0);
    const wchar_t expand[] = L"%TEMP%\\x";
    PutRaw(L"S", L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
    const DWORD dword = 4;
    PutRaw(L"S", L"Dword", REG_DWORD, &dword, sizeof dword);
    const BYTE binary[] = {1, 2, 3};
    PutRaw(L"S", L"Binary", REG_BINARY, binary, sizeof binary);
    const wchar_t number[] = L" 12";
    PutRaw(L"S", L"Number", REG_SZ, number, sizeof number);
    const wchar_t junk[] = L"12abc";
    PutRaw(L"S", L"Junk", REG_SZ, junk, sizeof junk);

    TRegStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8, true);
    EXPECT_EQ(store.ReadString("S", "WithNul", ""), "COM2");
    EXPECT_EQ(store.ReadString("S", "NoTerminator", ""), "AB");
    EXPECT_EQ(store.ReadString("S", "Empty", "dflt"), "");
    EXPECT_EQ(store.ReadString("S", "Expand", ""), "%TEMP%\\x");  // not expanded
    EXPECT_EQ(store.ReadString("S", "Missing", "dflt"), "dflt");
    EXPECT_EQ(store.ReadString("NoSection", "Dword", "dflt"), "dflt");
    EXPECT_EQ(store.ReadInteger("S", "Number", 0), 12);
    EXPECT_EQ(store.ReadInteger("S", "Junk", 99), 99);
    EXPECT_EQ(store.ReadInteger("S", "Empty", 99), 99);
    for (const char* name : {"Dword", "Binary"}) {
        try {
            store.ReadString("S", name, "");
            ADD_FAILURE() << "no error for " << name;
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), std::string("Invalid data type for '") + name + "'");
        }
    }
    EXPECT_THROW(store.ReadInteger("S", "Dword", 0), Exception);
}

TEST_F(RegStoreTest, EraseSectionDeletesTheSubkeyWithEverythingBelow) {
    TRegStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8, false);
    store.WriteString("TFace.CB_ComPort_Items", "Count", "2");
    store.WriteString("TFace.CB_ComPort_Items\\Deeper", "x", "y");
    store.WriteString("TFace", "Keep", "1");
    store.EraseSection("TFace.CB_ComPort_Items");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kPath) + L"\\TFace.CB_ComPort_Items"));
    EXPECT_EQ(store.ReadString("TFace", "Keep", ""), "1");
    EXPECT_NO_THROW(store.EraseSection("NeverWritten"));
    store.EraseSection("");  // the key path itself is never erased
    EXPECT_EQ(store.ReadString("TFace", "Keep", ""), "1");
}

TEST_F(RegStoreTest, ErrorTextsNameTheKeyOrValue) {
    TRegStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8, false);
    // A key name component may not exceed 255 characters.
    const std::string longSection(300, 'k');
    try {
        store.WriteString(longSection, "X", "1");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  storage_detail::Concat("Failed to create key ", longSection));
    }
    // A value name may not exceed 16383 characters.
    const std::string longName(20000, 'v');
    try {
        store.WriteString("TFace", longName, "1");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  storage_detail::Concat("Failed to set data for '", longName, "'"));
    }
}

TEST_F(RegStoreTest, AnotherRootIsCreatedOnlyForWriting) {
    {
        TRegStore reader(TPlacementRegRoot::prLocalMachine, kPathUtf8, true);
        EXPECT_EQ(reader.ReadString("TFace", "X", "dflt"), "dflt");
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPath));
    {
        TRegStore writer(TPlacementRegRoot::prLocalMachine, kPathUtf8, false);
        writer.WriteString("TFace", "X", "machine");
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kPath) + L"\\TFace"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kPath) + L"\\TFace"));
    TRegStore reader(TPlacementRegRoot::prLocalMachine, kPathUtf8, true);
    EXPECT_EQ(reader.ReadString("TFace", "X", ""), "machine");
}

}  // namespace
}  // namespace virel
