#include "app/FaceStorage.h"

#include "core/Errors.h"
#include "storage/ProgramSettings.h"

namespace virel::app {

namespace {

template <typename T>
IStoredValue<T>& Required(const TStoredControl<T>& control, const TSettingPlace& place) {
    if (!control.value)
        throw Exception("The stored control " + std::string(place.name) + " has no value");
    return *control.value;
}

// The control named as its stored property's place names it.
TWin32Control& AddControl(TWin32Form& form, const TSettingPlace& place, const char* className,
                          HWND handle) {
    return form.AddControl(std::string(place.name), className, handle);
}

void BindStoredControls(TWin32Form& form, const TFaceStoredControls& c) {
    auto& port = Required(c.port, kFacePort);
    AddControl(form, kFacePort, "TComboBox", c.port.handle)
        .AddString(
            std::string(kFacePort.property), [&port] { return port.StoredValue(); },
            [&port](const std::string& text) { port.SetStoredValue(text); });
    auto& autoTime = Required(c.autoTime, kFaceAutoTime);
    AddControl(form, kFaceAutoTime, "TRxSpinEdit", c.autoTime.handle)
        .AddFloat(
            std::string(kFaceAutoTime.property), TFloatType::ftExtended,
            [&autoTime] { return autoTime.StoredValue(); },
            [&autoTime](long double value) { autoTime.SetStoredValue(value); });
    auto& speed = Required(c.speed, kFaceSpeed);
    AddControl(form, kFaceSpeed, "TComboBox", c.speed.handle)
        .AddInteger(
            std::string(kFaceSpeed.property), [&speed] { return speed.StoredValue(); },
            [&speed](std::int32_t index) { speed.SetStoredValue(index); });
    auto& print = Required(c.printOnDevice, kFacePrintOnDevice);
    AddControl(form, kFacePrintOnDevice, "TCheckBox", c.printOnDevice.handle)
        .AddBoolean(
            std::string(kFacePrintOnDevice.property), [&print] { return print.StoredValue(); },
            [&print](bool checked) { print.SetStoredValue(checked); });
}

void SetFaceStorageOptions(TFormStorage& storage) {
    storage.SetOptions({TPlacementOption::fpPosition});
    storage.SetUseRegistry(true);
    storage.SetRegistryRoot(TPlacementRegRoot::prCurrentUser);
    storage.SetVersion(0);
    storage.SetStoredProps({kFacePort.PropertyEntry(), kFaceAutoTime.PropertyEntry(),
                            kFaceSpeed.PropertyEntry(), kFacePrintOnDevice.PropertyEntry()});
    storage.StoredValues().Add();  // the unnamed value of the section key
}

}  // namespace

std::unique_ptr<TWin32FormStorage> CreateFaceStorage(HWND face, const TFaceStoredControls& controls,
                                                     TFormEvents windowEvents) {
    if (ApplicationInfo().exePath.empty()) InitStorageApplicationInfo();
    TWin32FormOptions options;
    // The storage's section is the window's class name.
    options.className = std::string(kFaceSection);
    auto result = std::make_unique<TWin32FormStorage>(face, std::move(options), "FormStorage1");
    result->Form().Events() = std::move(windowEvents);
    BindStoredControls(result->Form(), controls);
    SetFaceStorageOptions(result->Storage());
    result->Storage().Loaded();
    return result;
}

}  // namespace virel::app
