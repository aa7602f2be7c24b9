#include "app/windows/JournalSettingsDialog.h"

#include "app/controls/Controls.h"
#include "app/frame/Application.h"
#include "core/Utf16.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

constexpr TDoseUnit kUnits[] = {TDoseUnit::Gy, TDoseUnit::cGy, TDoseUnit::mGy};
constexpr TPatientForm kForms[] = {TPatientForm::Typed, TPatientForm::Sha256, TPatientForm::None};

void Label(TDpiLayout& layout, HWND parent, const char* text, int y) {
    CreateControl(layout, L"STATIC", Widen(text).c_str(), SS_LEFT, {8, y + 3, 100, 13}, parent, -1);
}

HWND Combo(TDpiLayout& layout, HWND parent, int y, int id) {
    return CreateControl(layout, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                         {112, y, 300, 120}, parent, id);
}

void Add(HWND combo, const std::string& text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

}  // namespace

TJournalSettingsDialog::TJournalSettingsDialog(TApplication& application, TJournalSettings settings)
    : TOkCancelDialog(application), settings_(std::move(settings)) {}

TJournalSettingsDialog::~TJournalSettingsDialog() {
    DestroyHandle();
}

HWND TJournalSettingsDialog::Create(HWND owner) {
    if (!CreateModalHandle(kClassName, Widen(texts::kJournalSettingsCaption).c_str(), kClientWidth,
                           kClientHeight, owner))
        return nullptr;
    TDpiLayout& layout = Layout();
    const HWND self = Handle();
    Label(layout, self, texts::kSettingsUnit, 8);
    unit_ = Combo(layout, self, 8, kIdUnit);
    for (const TDoseUnit unit : kUnits) Add(unit_, DoseUnitText(unit));
    SendMessageW(unit_, CB_SETCURSEL, static_cast<WPARAM>(settings_.unit), 0);
    Label(layout, self, texts::kSettingsPatient, 36);
    patient_ = Combo(layout, self, 36, kIdPatient);
    for (const char* text : {texts::kPatientTyped, texts::kPatientSha256, texts::kPatientNone})
        Add(patient_, text);
    SendMessageW(patient_, CB_SETCURSEL, static_cast<WPARAM>(settings_.privacy.form), 0);
    Label(layout, self, texts::kSettingsSalt, 64);
    salt_ = CreateControl(layout, L"EDIT", Widen(settings_.privacy.salt).c_str(),
                          ES_AUTOHSCROLL | WS_TABSTOP, {112, 64, 300, 21}, self, kIdSalt,
                          WS_EX_CLIENTEDGE);
    CreateControl(layout, L"STATIC", Widen(texts::kSettingsSaltHint).c_str(), SS_LEFT | SS_NOPREFIX,
                  {112, 90, 300, 26}, self, -1);
    CreateControl(layout, L"STATIC", Widen(texts::kSettingsAlertLevel).c_str(), SS_LEFT,
                  {8, 124, 404, 13}, self, -1);
    alertLevel_ = CreateControl(layout, L"EDIT",
                                Widen(RecordAlertLevelText(settings_.recordAlertLevel)).c_str(),
                                ES_AUTOHSCROLL | WS_TABSTOP, {112, 140, 100, 21}, self,
                                kIdAlertLevel, WS_EX_CLIENTEDGE);
    CreateControl(layout, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {256, 172, 75, 25}, self,
                  IDOK);
    CreateControl(layout, L"BUTTON", L"Отмена", BS_PUSHBUTTON | WS_TABSTOP, {337, 172, 75, 25},
                  self, IDCANCEL);
    return Handle();
}

std::optional<TJournalSettings> TJournalSettingsDialog::ShowModal() {
    if (!RunOkCancel(unit_)) return std::nullopt;
    return settings_;
}

void TJournalSettingsDialog::OkExecute() {
    TJournalSettings chosen;
    const LRESULT unit = SendMessageW(unit_, CB_GETCURSEL, 0, 0);
    const LRESULT form = SendMessageW(patient_, CB_GETCURSEL, 0, 0);
    chosen.unit = unit >= 0 && unit < 3 ? kUnits[unit] : TDoseUnit::Gy;
    chosen.privacy.form = form >= 0 && form < 3 ? kForms[form] : TPatientForm::Typed;
    chosen.privacy.salt = Narrow(win::WindowText(salt_));
    if (chosen.privacy.form == TPatientForm::Sha256 && chosen.privacy.salt.empty()) {
        Application().ShowMessageBox(Widen(texts::kSettingsSaltEmpty), MB_OK | MB_ICONWARNING);
        SetFocus(salt_);
        return;
    }
    std::string why;
    const std::string levelText = Narrow(win::WindowText(alertLevel_));
    const std::optional<double> level = ParseRecordAlertLevel(levelText, why);
    if (!level) {
        Application().ShowMessageBox(
            Widen(texts::kSettingsAlertLevelWrong + levelText + "»: " + why), MB_OK | MB_ICONWARNING);
        SetFocus(alertLevel_);
        return;
    }
    chosen.recordAlertLevel = *level;
    settings_ = std::move(chosen);
    Accept();
}

}  // namespace virel::app
