// The version information of VIREL1_Service.exe, as Explorer shows it in the file's properties:
// the numbers come from the build's one version, the texts name the maker and the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ExpectedTexts.h"

#ifndef VIREL_EXPECTED_VERSION
#error "build with the project version"
#endif

namespace virel::app::test {
namespace {

class TVersionInfo {
public:
    explicit TVersionInfo(const std::wstring& file) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
        if (size == 0) return;
        data_.resize(size);
        if (!GetFileVersionInfoW(file.c_str(), 0, size, data_.data())) data_.clear();
    }
    bool Loaded() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\", &value, &length) ||
            length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // A text of the string table named by the first translation entry, as Explorer looks it up.
    std::wstring Text(const wchar_t* name) const {
        struct TTranslation {
            WORD language;
            WORD codePage;
        };
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
            length < sizeof(TTranslation))
            return L"<no translation>";
        const auto* translation = static_cast<const TTranslation*>(value);
        wchar_t path[96];
        swprintf(path, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
                 translation->codePage, name);
        if (!VerQueryValueW(data_.data(), path, &value, &length) || length == 0)
            return L"<missing>";
        return static_cast<const wchar_t*>(value);
    }

private:
    std::vector<BYTE> data_;
};

std::wstring Wide(const char* ascii) {
    return std::wstring(ascii, ascii + strlen(ascii));
}

TEST(VersionResource, ExplorerShowsTheBuildVersionMakerAndProgram) {
    const TVersionInfo info(L"" VIREL_PROGRAM_PATH);
    ASSERT_TRUE(info.Loaded()) << "no version information in the program file";

    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(sscanf(VIREL_EXPECTED_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(minor, major));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, patch));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(info.Text(L"FileVersion"), Wide(VIREL_EXPECTED_VERSION) + L".0");
    EXPECT_EQ(info.Text(L"ProductVersion"), Wide(VIREL_EXPECTED_VERSION));
    EXPECT_EQ(info.Text(L"CompanyName"), L"KESTA");
    EXPECT_EQ(info.Text(L"FileDescription"), kWantAppTitle);
    EXPECT_EQ(info.Text(L"OriginalFilename"), L"VIREL1_Service.exe");
    // The same maker and year as the about box.
    EXPECT_EQ(info.Text(L"LegalCopyright"), L"© KESTA, 2007. Все права защищены.");
}

}  // namespace
}  // namespace virel::app::test
