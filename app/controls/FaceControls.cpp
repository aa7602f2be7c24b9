#include "app/controls/FaceControls.h"

#include "core/meter/PortChoice.h"
#include "core/Utf16.h"
#include "win/Windows.h"

namespace virel::app {

std::wstring TComboBox::Text() const {
    return win::WindowText(handle_);
}

void TComboBox::SetText(const std::wstring& text) {
    const LRESULT item = text.empty()
                             ? CB_ERR
                             : SendMessageW(handle_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(item == CB_ERR ? -1 : item), 0);
    if (item == CB_ERR) SetWindowTextW(handle_, text.c_str());
}

void TComboBox::SetItems(const std::vector<std::wstring>& items) {
    const std::wstring text = Text();
    SendMessageW(handle_, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : items) {
        SendMessageW(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SetText(text);
}

std::string TPortComboBox::StoredValue() const {
    return Narrow(Text());
}

void TPortComboBox::SetStoredValue(const std::string& text) {
    SetText(Widen(text));
}

std::int32_t TSpeedComboBox::StoredValue() const {
    return SpeedItemIndex(SpeedFromText(Narrow(Text())).value_or(kDefaultSpeed));
}

void TSpeedComboBox::SetStoredValue(const std::int32_t& index) {
    const auto count = static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0));
    const int shown = index < 0 || index >= count ? SpeedItemIndex(kDefaultSpeed) : index;
    SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
}

bool TCheckBox::Checked() const {
    return SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    SendMessageW(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace virel::app
