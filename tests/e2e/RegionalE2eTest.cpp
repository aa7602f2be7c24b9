// Regional formats changed while the program runs: once Windows announces the change, the
// record's time stamp is shown in the new formats; the dose keeps its ".".
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "E2eSupport.h"

namespace virel::e2e {
namespace {

std::wstring LocaleText(LCTYPE type) {
    wchar_t text[128] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 128);
    return text;
}

// The user's formats as Control Panel changes them, put back when the test ends.
class TUserFormats {
public:
    TUserFormats() {
        for (LCTYPE type : kTypes) saved_.push_back(LocaleText(type));
    }
    ~TUserFormats() {
        for (std::size_t i = 0; i < std::size(kTypes); ++i)
            SetLocaleInfoW(LOCALE_USER_DEFAULT, kTypes[i], saved_[i].c_str());
        Announce();
    }
    TUserFormats(const TUserFormats&) = delete;
    TUserFormats& operator=(const TUserFormats&) = delete;

    static void Set(LCTYPE type, const wchar_t* text) {
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, type, text));
        ASSERT_EQ(LocaleText(type), text);
    }
    // What Control Panel does after a change: tells every top-level window.
    static void Announce() {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                            SMTO_ABORTIFHUNG, 2000, &result);
    }

private:
    static constexpr LCTYPE kTypes[] = {LOCALE_SSHORTDATE, LOCALE_STIMEFORMAT, LOCALE_SDECIMAL};
    std::vector<std::wstring> saved_;
};

TEST(RegionalFormats, AChangeWhileRunningIsFollowedOnceAnnounced) {
    TMeter meter;
    TUserFormats formats;
    TRunningProgram program;
    app::TFace& face = program.Face();
    face.SpE_Num().SetText(L"0");
    program.Click(face.BitBtn4());
    ASSERT_EQ(program.FieldText(face.LE_Time()).substr(0, 16), "05.03.2007 14:35");

    TUserFormats::Set(LOCALE_SSHORTDATE, L"yyyy-MM-dd");
    TUserFormats::Set(LOCALE_STIMEFORMAT, L"HH'h'mm");
    TUserFormats::Set(LOCALE_SDECIMAL, L",");
    // Not yet announced: the program keeps the formats it has.
    program.Click(face.BitBtn4());
    EXPECT_EQ(program.FieldText(face.LE_Time()).substr(0, 16), "05.03.2007 14:35");

    TUserFormats::Announce();
    program.Pump();
    program.Click(face.BitBtn4());
    EXPECT_EQ(program.FieldText(face.LE_Time()), "2007-03-05 14h35");
    EXPECT_EQ(program.FieldText(face.LE_Dose()), "258.45");
    EXPECT_EQ(program.FieldText(face.LE_MeasureNumber()), "7");
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x00})), 3);
}

}  // namespace
}  // namespace virel::e2e
