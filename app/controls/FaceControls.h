#pragma once
// The main window's stored controls as typed objects: the window reads and writes the port,
// the speed, the print-on-device check and the interval through them, and so does the
// settings storage (app/FaceStorage.h), through the same calls.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/controls/SpinEdit.h"
#include "storage/StoredValue.h"

namespace virel::app {

// A drop-down combo box (list and free text).
class TComboBox {
public:
    void Attach(HWND handle) { handle_ = handle; }
    HWND Handle() const { return handle_; }
    std::wstring Text() const;
    // Selects the item of that text (found without regard to case) where there is one, else
    // sets the text with no item selected.
    void SetText(const std::wstring& text);
    // A new list; the text stays.
    void SetItems(const std::vector<std::wstring>& items);

private:
    HWND handle_ = nullptr;
};

// CB_ComPort; stored as its text ("CB_ComPort.Text").
class TPortComboBox : public TComboBox, public IStoredValue<std::string> {
public:
    std::string StoredValue() const override;
    void SetStoredValue(const std::string& text) override;
};

// CB_Spead; stored as "CB_Spead.ItemIndex": the item of the speed the box stands for, typed
// or chosen (the default's when it shows no known speed). An index of no item shows the
// default.
class TSpeedComboBox : public TComboBox, public IStoredValue<std::int32_t> {
public:
    std::int32_t StoredValue() const override;
    void SetStoredValue(const std::int32_t& index) override;
};

// A check box; stored as "<name>.Checked".
class TCheckBox : public IStoredValue<bool> {
public:
    void Attach(HWND handle) { handle_ = handle; }
    HWND Handle() const { return handle_; }
    bool Checked() const;
    void SetChecked(bool checked);
    bool StoredValue() const override { return Checked(); }
    void SetStoredValue(const bool& checked) override { SetChecked(checked); }

private:
    HWND handle_ = nullptr;
};

// A spin edit's Value ("RxSpE_AutoTime.Value"); its limits and rounding belong to the edit.
class TSpinEditValue : public IStoredValue<long double> {
public:
    explicit TSpinEditValue(TSpinEdit& edit) : edit_(edit) {}
    long double StoredValue() const override { return edit_.Value(); }
    void SetStoredValue(const long double& value) override {
        edit_.SetValue(static_cast<double>(value));
    }

private:
    TSpinEdit& edit_;
};

// A stored control: its window and the value the storage reads and writes through it.
template <typename T>
struct TStoredControl {
    HWND handle = nullptr;
    IStoredValue<T>* value = nullptr;
};

// The main window's four stored controls.
struct TFaceStoredControls {
    TStoredControl<std::string> port;      // "CB_ComPort.Text"
    TStoredControl<long double> autoTime;  // "RxSpE_AutoTime.Value"
    TStoredControl<std::int32_t> speed;    // "CB_Spead.ItemIndex"
    TStoredControl<bool> printOnDevice;    // "CB_PrintOnDevice.Checked"
};

}  // namespace virel::app
