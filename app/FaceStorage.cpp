#include "app/FaceStorage.h"

#include "core/Errors.h"

namespace virel::app {

namespace {

template <typename T>
IStoredValue<T>& Required(const TStoredControl<T>& control, const char* name) {
    if (!control.value)
        throw Exception(std::string("The stored control ") + name + " has no value");
    return *control.value;
}

void BindStoredControls(TWin32Form& form, const TFaceStoredControls& c) {
    auto& port = Required(c.port, "CB_ComPort");
    form.AddControl("CB_ComPort", "TComboBox", c.port.handle)
        .AddString(
            "Text", [&port] { return port.StoredValue(); },
            [&port](const std::string& text) { port.SetStoredValue(text); });
    auto& autoTime = Required(c.autoTime, "RxSpE_AutoTime");
    form.AddControl("RxSpE_AutoTime", "TRxSpinEdit", c.autoTime.handle)
        .AddFloat(
            "Value", TFloatType::ftExtended, [&autoTime] { return autoTime.StoredValue(); },
            [&autoTime](long double value) { autoTime.SetStoredValue(value); });
    auto& speed = Required(c.speed, "CB_Spead");
    form.AddControl("CB_Spead", "TComboBox", c.speed.handle)
        .AddInteger(
            "ItemIndex", [&speed] { return speed.StoredValue(); },
            [&speed](std::int32_t index) { speed.SetStoredValue(index); });
    auto& print = Required(c.printOnDevice, "CB_PrintOnDevice");
    form.AddControl("CB_PrintOnDevice", "TCheckBox", c.printOnDevice.handle)
        .AddBoolean(
            "Checked", [&print] { return print.StoredValue(); },
            [&print](bool checked) { print.SetStoredValue(checked); });
}

void SetFaceStorageOptions(TFormStorage& storage) {
    storage.SetOptions({TPlacementOption::fpPosition});
    storage.SetUseRegistry(true);
    storage.SetRegistryRoot(TPlacementRegRoot::prCurrentUser);
    storage.SetVersion(0);
    storage.SetStoredProps({"CB_ComPort.Text", "RxSpE_AutoTime.Value", "CB_Spead.ItemIndex",
                            "CB_PrintOnDevice.Checked"});
    storage.StoredValues().Add();  // the unnamed value of the section key
}

}  // namespace

std::unique_ptr<TWin32FormStorage> CreateFaceStorage(HWND face, const TFaceStoredControls& controls,
                                                     TFormEvents windowEvents) {
    if (ApplicationInfo().exePath.empty()) InitStorageApplicationInfo();
    auto result = std::make_unique<TWin32FormStorage>(face, TWin32FormOptions{}, "FormStorage1");
    result->Form().Events() = std::move(windowEvents);
    BindStoredControls(result->Form(), controls);
    SetFaceStorageOptions(result->Storage());
    result->Storage().Loaded();
    return result;
}

}  // namespace virel::app
