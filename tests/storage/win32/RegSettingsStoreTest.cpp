// The typed settings' registry store against Wine's real registry in the build's private
// prefix: the bytes each kind of value leaves, reads that make no key, junk of other types and
// sizes read as the defaults, and refused writes. Its listing of a key's values is the system's
// port list's (SystemPortList).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/Utf16.h"
#include "storage/RegSettingsStore.h"

namespace virel {
namespace {

constexpr wchar_t kPath[] = L"Software\\VirelSettingsRegTest";
const std::string kPathUtf8 = "Software\\VirelSettingsRegTest";
const std::wstring kSectionPath = std::wstring(kPath) + L"\\Section";

constexpr TTextSetting kText{{"Section", "Text"}, "по умолчанию"};
constexpr TIntegerSetting kNumber{{"Section", "Number"}, 7};
constexpr TBytesSetting kBlob{{"Section", "Blob"}};

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void PutRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSectionPath.c_str(), name, type, data, size),
              ERROR_SUCCESS);
}

struct TRaw {
    DWORD type = REG_NONE;
    std::string bytes;
};
TRaw GetRaw(const wchar_t* name) {
    TRaw raw;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSectionPath.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return raw;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
        raw.bytes.resize(size);
        RegQueryValueExW(key, name, nullptr, &raw.type, reinterpret_cast<BYTE*>(raw.bytes.data()),
                         &size);
        raw.bytes.resize(size);
    }
    RegCloseKey(key);
    return raw;
}

std::string Utf16Bytes(const std::wstring& text, bool withZero) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + (withZero ? 1 : 0)) * sizeof(wchar_t));
}

class RegSettingsStore : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kPath); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kPath);
        RegDeleteKeyW(HKEY_CURRENT_USER, kPath);
    }

    TSettings settings = UserSettings(kPathUtf8);
};

TEST_F(RegSettingsStore, TextsWithTheirZeroNumbersAsTextAndBytesAsBinary) {
    ASSERT_TRUE(settings.Write(kText, "Кабинет №5"));
    ASSERT_TRUE(settings.Write(kNumber, -12));
    const std::string blob("VRL\x01\0\0\xff", 7);
    ASSERT_TRUE(settings.Write(kBlob, blob));

    const TRaw text = GetRaw(L"Text");
    EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text.bytes, Utf16Bytes(L"Кабинет №5", true)) << "the terminating zero counted";
    const TRaw number = GetRaw(L"Number");
    EXPECT_EQ(number.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(number.bytes, Utf16Bytes(L"-12", true));
    const TRaw binary = GetRaw(L"Blob");
    EXPECT_EQ(binary.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(binary.bytes, blob);

    EXPECT_EQ(settings.Read(kText), "Кабинет №5");
    EXPECT_EQ(settings.Read(kNumber), -12);
    EXPECT_EQ(settings.Read(kBlob), blob);
    ASSERT_TRUE(settings.Clear(kBlob));
    EXPECT_EQ(GetRaw(L"Blob").type, static_cast<DWORD>(REG_NONE)) << "no value left";
    EXPECT_EQ(settings.Read(kText), "Кабинет №5");
}

TEST_F(RegSettingsStore, ReadingWhatIsNotThereMakesNoKey) {
    const TRegSettingsStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "no key" : "the key without the section");
        EXPECT_EQ(settings.Read(kText), "по умолчанию");
        EXPECT_EQ(settings.Read(kNumber), 7);
        EXPECT_EQ(settings.Read(kBlob), "");
        EXPECT_TRUE(settings.Clear(kBlob)) << "nothing to take away";
        EXPECT_TRUE(store.Values("Section", 1024).empty());
        EXPECT_FALSE(KeyExists(kSectionPath));
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    EXPECT_TRUE(KeyExists(kPath));
}

TEST_F(RegSettingsStore, ValuesOfAnotherTypeOrSizeReadAsTheDefaults) {
    const DWORD dword = 5;
    PutRaw(L"Text", REG_DWORD, &dword, sizeof dword);
    PutRaw(L"Number", REG_BINARY, "12", 2);
    const std::wstring text = L"текст";
    PutRaw(L"Blob", REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
    EXPECT_EQ(settings.Read(kText), "по умолчанию");
    EXPECT_EQ(settings.Read(kNumber), 7);
    EXPECT_EQ(settings.Read(kBlob), "");

    // A list of texts is not a text; a text to expand, one without its zero, one with an odd
    // byte over or with nothing at all is.
    const wchar_t list[] = L"a\0b\0";
    PutRaw(L"Text", REG_MULTI_SZ, list, sizeof list);
    EXPECT_EQ(settings.Read(kText), "по умолчанию");
    PutRaw(L"Text", REG_EXPAND_SZ, L"%TEMP%", 14);
    EXPECT_EQ(settings.Read(kText), "%TEMP%");
    PutRaw(L"Text", REG_SZ, L"COM3", 8);
    EXPECT_EQ(settings.Read(kText), "COM3");
    PutRaw(L"Text", REG_SZ, L"COM3", 9);
    EXPECT_EQ(settings.Read(kText), "COM3");
    PutRaw(L"Text", REG_SZ, L"", 0);
    EXPECT_EQ(settings.Read(kText), "");
    PutRaw(L"Number", REG_SZ, L" 42", 8);
    EXPECT_EQ(settings.Read(kNumber), 42);

    // Larger than any value of the program: not read at all, whatever its type.
    const std::wstring huge(TRegSettingsStore::kMaxReadBytes / 2 + 1, L'9');
    PutRaw(L"Number", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() * 2));
    PutRaw(L"Blob", REG_BINARY, huge.c_str(), static_cast<DWORD>(huge.size() * 2));
    EXPECT_EQ(settings.Read(kNumber), 7);
    EXPECT_EQ(settings.Read(kBlob), "");
    const TRegSettingsStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8);
    EXPECT_FALSE(store.Read("Section", "Blob").has_value());
}

TEST_F(RegSettingsStore, AWriteTheRegistryRefusesIsReported) {
    // A key's name is at most 255 characters long.
    const std::string longName(300, 'k');
    const TTextSetting unplaceable{{longName, "Text"}, ""};
    EXPECT_FALSE(settings.Write(unplaceable, "x"));
    TRegSettingsStore store(TPlacementRegRoot::prCurrentUser, kPathUtf8);
    EXPECT_FALSE(store.Write("Section", "Other", {TSettingKind::Other, ""}));
    EXPECT_FALSE(KeyExists(kSectionPath)) << "a value of no kind the program keeps is not made";
}

}  // namespace
}  // namespace virel
