#pragma once
// Window settings storage. TFormPlacement sits on a window, takes over its show, close-query
// and destroy events once loaded, restores the stored placement when the window is shown and
// writes it back when the window closes or is destroyed. TFormStorage adds the values of listed
// control properties (StoredProps) and named values (StoredValues) to the same section.
//
// Life cycle: construct with the window, set the properties, call Loaded() (installs the
// hooks); the window then fires its events (IForm::Events()). Destroying the component puts
// the window's own handlers back.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/Form.h"
#include "storage/RXProps.h"
#include "storage/RxHook.h"
#include "storage/SectionStore.h"

namespace virel {

class TFormPlacement;

enum class TPlacementOption { fpState, fpPosition, fpActiveControl };

class TPlacementOptions {
public:
    constexpr TPlacementOptions() = default;
    constexpr TPlacementOptions(std::initializer_list<TPlacementOption> options) {
        for (auto o : options) bits_ |= Bit(o);
    }
    constexpr bool Contains(TPlacementOption o) const { return bits_ & Bit(o); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TPlacementOptions&) const = default;

private:
    static constexpr unsigned Bit(TPlacementOption o) { return 1u << static_cast<unsigned>(o); }
    unsigned bits_ = 0;
};

// Size and position limits applied through the window hook; 0 means no limit for a field.
class TWinMinMaxInfo {
public:
    enum Index {
        MaxPosLeft,
        MaxPosTop,
        MaxSizeHeight,
        MaxSizeWidth,
        MaxTrackHeight,
        MaxTrackWidth,
        MinTrackHeight,
        MinTrackWidth,
    };

    TWinMinMaxInfo() = default;
    explicit TWinMinMaxInfo(TFormPlacement* owner) : owner_(owner) {}
    TWinMinMaxInfo(const TWinMinMaxInfo&) = delete;
    TWinMinMaxInfo& operator=(const TWinMinMaxInfo&) = delete;

    std::int32_t Get(Index i) const { return values_[i]; }
    void Set(Index i, std::int32_t value);
    // Copies all eight values.
    void Assign(const TWinMinMaxInfo& other);
    void Assign(const std::array<std::int32_t, 8>& values);
    bool DefaultMinMaxInfo() const;  // all zero

private:
    void Changed();
    TFormPlacement* owner_ = nullptr;
    std::array<std::int32_t, 8> values_{};
};

class TFormPlacement {
public:
    // `form` is the owner when it is a window; null for an owner that is not (then nothing is
    // hooked and no placement is read or written).
    explicit TFormPlacement(IForm* form, std::string name = "FormPlacement1");
    TFormPlacement(const TFormPlacement&) = delete;
    TFormPlacement& operator=(const TFormPlacement&) = delete;
    virtual ~TFormPlacement();

    const std::string& Name() const { return name_; }
    IForm* Form() const { return form_; }

    // Published properties.
    bool Active() const { return active_; }
    void SetActive(bool active) { active_ = active; }
    // Reading gives the default of the mode when empty (registry key or ini file name).
    std::string IniFileName() const;
    void SetIniFileName(std::string name) { iniFileName_ = std::move(name); }
    // Reading gives the owner's default section when empty.
    std::string IniSection() const;
    void SetIniSection(std::string section) { iniSection_ = std::move(section); }
    TWinMinMaxInfo& MinMaxInfo() { return minMaxInfo_; }
    void SetMinMaxInfo(const TWinMinMaxInfo& info) { minMaxInfo_.Assign(info); }
    TPlacementOptions Options() const { return options_; }
    void SetOptions(TPlacementOptions options) { options_ = options; }
    bool PreventResize() const { return preventResize_; }
    void SetPreventResize(bool value);
    TPlacementRegRoot RegistryRoot() const { return registryRoot_; }
    void SetRegistryRoot(TPlacementRegRoot root) { registryRoot_ = root; }
    bool UseRegistry() const { return useRegistry_; }
    void SetUseRegistry(bool value) { useRegistry_ = value; }
    std::int32_t Version() const { return version_; }
    void SetVersion(std::int32_t version) { version_ = version; }
    std::function<void(TFormPlacement&)> OnSavePlacement;     // after WriteSettings, store open
    std::function<void(TFormPlacement&)> OnRestorePlacement;  // after ReadSettings, store open

    // How stores are opened (registry, ini file or a test double); the Windows layer sets it.
    void SetStoreFactory(TStoreFactory factory) { storeFactory_ = std::move(factory); }

    // End of loading: takes over the window's events and decides on the window hook.
    virtual void Loaded();
    bool Loading() const { return loading_; }

    void SaveSettings();
    void RestoreSettings();

    void OpenStore(bool readOnly);
    void CloseStore();
    TSectionStore* Store() const { return store_.get(); }

    // One value of any section through the open store, or through a store opened just for it.
    virtual std::string ReadStoreString(const std::string& section, const std::string& name,
                                        const std::string& def);
    virtual void WriteStoreString(const std::string& section, const std::string& name,
                                  const std::string& value);
    // One value of the component's own section.
    std::string ReadSettingString(const std::string& name, const std::string& def);
    void WriteSettingString(const std::string& name, const std::string& value);
    std::int32_t ReadSettingInteger(const std::string& name, std::int32_t def);
    void WriteSettingInteger(const std::string& name, std::int32_t value);
    // The same, but a value of a type that holds no text reads as `def` (the component's own
    // values: one damaged value must not stop the restore).
    std::string ReadUsableSettingString(const std::string& name, const std::string& def);
    std::int32_t ReadUsableSettingInteger(const std::string& name, std::int32_t def);

    // Puts the maximized position just outside the screen by the window frame, so a maximized
    // window hides its frame.
    void FitMaximizedPosition();

    bool Restored() const { return restored_; }
    bool Saved() const { return saved_; }
    bool Destroying() const { return destroying_; }
    bool HooksInstalled() const { return hooked_; }
    bool WindowHookAttached() const { return hook_ && hook_->Attached(); }

    // The after-message handler of the window hook.
    void WndMessage(THookMessage& msg);

protected:
    virtual void WriteSettings();
    virtual void ReadSettings();
    virtual void SavePlacementEvent();
    virtual void RestorePlacementEvent();
    void SetRestored() { restored_ = true; }
    // Erases a section of the open store (nothing without one).
    void EraseStoreSection(const std::string& section);

private:
    // While resizing is prevented: the size stays, and the sizing frame and commands are off.
    void KeepSize(THookMessage& msg);
    void ApplyMinMaxInfo(TMinMaxRecord& limits) const;

    friend class TWinMinMaxInfo;
    void HandleFormShow();
    void HandleFormCloseQuery(bool& canClose);
    void HandleFormDestroy();
    void MinMaxInfoChanged();
    void CheckToggleHook();
    bool HookNeeded() const;
    void UpdatePreventResize();

    IForm* form_;
    std::string name_;
    bool active_ = true;
    std::string iniFileName_;
    std::string iniSection_;
    TWinMinMaxInfo minMaxInfo_{this};
    TPlacementOptions options_;
    bool preventResize_ = false;
    TPlacementRegRoot registryRoot_ = TPlacementRegRoot::prCurrentUser;
    bool useRegistry_ = false;
    std::int32_t version_ = 0;
    TStoreFactory storeFactory_;

    std::unique_ptr<TSectionStore> store_;
    bool loading_ = true;
    bool restored_ = false;
    bool saved_ = false;
    bool destroying_ = false;
    bool defMaximize_ = false;
    bool hooked_ = false;
    TFormEvents saved_handlers_;
    std::unique_ptr<TRxWindowHook> hook_;
};

class TStoredValues;

using TStoredValueEvent = std::function<void(class TStoredValue& sender, TStoredVariant& value)>;

// A named value kept in the storage component's section.
class TStoredValue {
public:
    explicit TStoredValue(TStoredValues& collection) : collection_(&collection) {}
    TStoredValue(const TStoredValue&) = delete;
    TStoredValue& operator=(const TStoredValue&) = delete;
    virtual ~TStoredValue() = default;

    const std::string& Name() const { return name_; }
    // Names are unique in the collection without regard to case: a clash raises
    // "String list does not allow duplicates".
    void SetName(const std::string& name);
    std::string DisplayName() const;

    TStoredVariant value;
    std::string keyString;
    TStoredValueEvent onSave;
    TStoredValueEvent onRestore;

    // Copies value, name (by the name rule) and key string.
    void Assign(const TStoredValue& source);

    virtual void WriteToStore();
    virtual void ReadFromStore();

private:
    TStoredValues* collection_;
    std::string name_;
};

class TStoredValues {
public:
    explicit TStoredValues(TFormPlacement* storage) : storage_(storage) {}
    TStoredValues(const TStoredValues&) = delete;
    TStoredValues& operator=(const TStoredValues&) = delete;

    TStoredValue& Add();
    std::size_t Count() const { return items_.size(); }
    TStoredValue& operator[](std::size_t i) { return *items_[i]; }
    TStoredValue* ValueByName(const std::string& name);
    int IndexOf(const std::string& name) const;
    void Clear() { items_.clear(); }
    TFormPlacement* Storage() const { return storage_; }

    void WriteAllToStore();
    void ReadAllFromStore();

private:
    TFormPlacement* storage_;
    std::vector<std::unique_ptr<TStoredValue>> items_;
};

class TFormStorage : public TFormPlacement {
public:
    explicit TFormStorage(IForm* form, std::string name = "FormStorage1");
    ~TFormStorage() override;

    // "Component.Property" entries. Before loading they are bound by Loaded(); an assignment
    // after loading is bound against the window at once.
    void SetStoredProps(const std::vector<std::string>& entries);
    std::vector<std::string> StoredPropsText() const;
    TStoredPropsList& StoredProps() { return storedProps_; }
    TStoredValues& StoredValues() { return storedValues_; }
    // Finds a form or data module of the application by name (for component references).
    std::function<TComponent*(std::string_view name)> findForm;

    void Loaded() override;
    // A component leaves the window: its entries go.
    void ComponentRemoved(TComponent& component);

protected:
    void WriteSettings() override;
    void ReadSettings() override;
    virtual void WriteStoredProperties();
    virtual void ReadStoredProperties();

private:
    TStoredPropsList storedProps_;
    TStoredValues storedValues_{this};
    bool destroyingStorage_ = false;
};

}  // namespace virel
