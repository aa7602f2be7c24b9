#include "storage/Placemnt.h"

#include "core/Errors.h"
#include "storage/AppUtils.h"
#include "storage/TextUtil.h"

namespace virel {

using storage_detail::SameText;

namespace {

// Closes the store that a sequence opened, also when the sequence fails.
class StoreCloser {
public:
    explicit StoreCloser(TFormPlacement& placement) : placement_(placement) {}
    StoreCloser(const StoreCloser&) = delete;
    StoreCloser& operator=(const StoreCloser&) = delete;
    ~StoreCloser() { placement_.CloseStore(); }

private:
    TFormPlacement& placement_;
};

// Runs a step whose errors go to the application's error report instead of the window.
template <typename Fn>
void Reported(Fn step) {
    try {
        step();
    } catch (const std::exception& e) {
        ReportStorageError(e);
    } catch (...) {
        ReportStorageError(Exception("Unknown error in the settings storage"));
    }
}

}  // namespace

// --- TWinMinMaxInfo --------------------------------------------------------------------------

void TWinMinMaxInfo::Set(Index i, std::int32_t value) {
    if (values_[i] == value) return;
    values_[i] = value;
    Changed();
}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo& other) {
    Assign(other.values_);
}

void TWinMinMaxInfo::Assign(const std::array<std::int32_t, 8>& values) {
    values_ = values;
    Changed();
}

bool TWinMinMaxInfo::DefaultMinMaxInfo() const {
    for (auto v : values_) {
        if (v != 0) return false;
    }
    return true;
}

void TWinMinMaxInfo::Changed() {
    if (owner_) owner_->MinMaxInfoChanged();
}

// --- TFormPlacement --------------------------------------------------------------------------

TFormPlacement::TFormPlacement(IForm* form, std::string name)
    : form_(form), name_(std::move(name)) {
    if (!form_) return;
    options_ = {TPlacementOption::fpState, TPlacementOption::fpPosition};
    hook_ = form_->CreateWindowHook();
    if (hook_) hook_->afterMessage = [this](THookMessage& msg) { WndMessage(msg); };
}

TFormPlacement::~TFormPlacement() {
    store_.reset();
    if (hooked_ && form_) form_->Events() = saved_handlers_;
    if (hook_) hook_->Detach();
}

std::string TFormPlacement::IniFileName() const {
    if (!iniFileName_.empty()) return iniFileName_;
    return useRegistry_ ? DefaultRegistryKey() : DefaultIniFileName();
}

std::string TFormPlacement::IniSection() const {
    if (!iniSection_.empty()) return iniSection_;
    // A window's section is its class name; a component on something else uses its own name.
    return form_ ? form_->ClassName() : name_;
}

void TFormPlacement::Loaded() {
    const bool wasLoading = loading_;
    loading_ = false;
    if (wasLoading && form_) {
        TFormEvents& events = form_->Events();
        saved_handlers_ = events;
        events.onShow = [this] { HandleFormShow(); };
        events.onCloseQuery = [this](bool& canClose) { HandleFormCloseQuery(canClose); };
        events.onDestroy = [this] { HandleFormDestroy(); };
        hooked_ = true;
        defMaximize_ = form_->HasMaximizeButton();
        if (preventResize_) UpdatePreventResize();
    }
    CheckToggleHook();
}

void TFormPlacement::HandleFormShow() {
    if (active_) Reported([this] { RestoreSettings(); });
    saved_handlers_.Show();
}

void TFormPlacement::HandleFormCloseQuery(bool& canClose) {
    if (saved_handlers_.onCloseQuery) saved_handlers_.onCloseQuery(canClose);
    if (canClose && active_ && form_ && form_->HandleAllocated()) {
        Reported([this] { SaveSettings(); });
    }
}

void TFormPlacement::HandleFormDestroy() {
    if (active_ && !saved_) {
        destroying_ = true;
        Reported([this] { SaveSettings(); });
        destroying_ = false;
    }
    saved_handlers_.Destroy();
}

void TFormPlacement::OpenStore(bool readOnly) {
    if (store_) return;
    if (!storeFactory_) throw Exception("No settings store is configured");
    TStoreLocation where;
    where.useRegistry = useRegistry_;
    where.root = registryRoot_;
    where.path = IniFileName();
    store_ = storeFactory_(where, readOnly);
}

void TFormPlacement::CloseStore() {
    store_.reset();
}

std::string TFormPlacement::ReadStoreString(const std::string& section, const std::string& name,
                                            const std::string& def) {
    if (store_) return store_->ReadString(section, name, def);
    OpenStore(true);
    StoreCloser closer(*this);
    return store_->ReadString(section, name, def);
}

void TFormPlacement::WriteStoreString(const std::string& section, const std::string& name,
                                      const std::string& value) {
    if (store_) {
        store_->WriteString(section, name, value);
        return;
    }
    OpenStore(false);
    StoreCloser closer(*this);
    store_->WriteString(section, name, value);
}

std::string TFormPlacement::ReadSettingString(const std::string& name, const std::string& def) {
    return ReadStoreString(IniSection(), name, def);
}

void TFormPlacement::WriteSettingString(const std::string& name, const std::string& value) {
    WriteStoreString(IniSection(), name, value);
}

std::int32_t TFormPlacement::ReadSettingInteger(const std::string& name, std::int32_t def) {
    const auto text = ReadSettingString(name, std::to_string(def));
    return storage_detail::ParseInt32(text).value_or(def);
}

std::string TFormPlacement::ReadUsableSettingString(const std::string& name,
                                                    const std::string& def) {
    try {
        return ReadSettingString(name, def);
    } catch (const EInvalidValueType&) {
        return def;
    }
}

std::int32_t TFormPlacement::ReadUsableSettingInteger(const std::string& name, std::int32_t def) {
    try {
        return ReadSettingInteger(name, def);
    } catch (const EInvalidValueType&) {
        return def;
    }
}

void TFormPlacement::WriteSettingInteger(const std::string& name, std::int32_t value) {
    WriteSettingString(name, std::to_string(value));
}

void TFormPlacement::EraseStoreSection(const std::string& section) {
    if (store_) store_->EraseSection(section);
}

void TFormPlacement::RestoreSettings() {
    saved_ = false;
    OpenStore(true);
    {
        StoreCloser closer(*this);
        if (ReadUsableSettingInteger("FormVersion", 0) >= version_) {
            ReadSettings();
            restored_ = true;
            RestorePlacementEvent();
            if (options_.Contains(TPlacementOption::fpActiveControl) && form_) {
                const std::string name = ReadUsableSettingString("ActiveControl", std::string());
                TComponent* control = name.empty() ? nullptr : form_->FindComponent(name);
                if (control && control->CanFocus()) form_->SetActiveControl(*control);
            }
        }
        // Also after an older version: the next save then overwrites everything.
        restored_ = true;
    }
    FitMaximizedPosition();
}

void TFormPlacement::SaveSettings() {
    // A window that never received its stored values must not overwrite them.
    if (!restored_ && active_) return;
    OpenStore(false);
    StoreCloser closer(*this);
    WriteSettingInteger("FormVersion", version_);
    WriteSettings();
    SavePlacementEvent();
    saved_ = true;
}

void TFormPlacement::WriteSettings() {
    if (!form_ || !store_) return;
    const std::string section = IniSection();
    if (options_.Contains(TPlacementOption::fpState) ||
        options_.Contains(TPlacementOption::fpPosition)) {
        WritePlacement(*form_, *store_, section);
        store_->WriteBool(section, "Visible", destroying_);
    }
    if (options_.Contains(TPlacementOption::fpActiveControl)) {
        if (TComponent* control = form_->ActiveControl()) {
            WriteSettingString("ActiveControl", control->Name());
        }
    }
}

void TFormPlacement::ReadSettings() {
    if (!form_ || !store_) return;
    ReadPlacement(*form_, *store_, IniSection(), options_.Contains(TPlacementOption::fpState),
                  options_.Contains(TPlacementOption::fpPosition));
}

void TFormPlacement::SavePlacementEvent() {
    if (OnSavePlacement) OnSavePlacement(*this);
}

void TFormPlacement::RestorePlacementEvent() {
    if (OnRestorePlacement) OnRestorePlacement(*this);
}

void TFormPlacement::FitMaximizedPosition() {
    if (!form_ || !form_->HandleAllocated() || loading_ || preventResize_ ||
        !minMaxInfo_.DefaultMinMaxInfo()) {
        return;
    }
    TWindowPlacement placement = form_->GetPlacement();
    placement.length = kWindowPlacementLength;
    if (!form_->Visible()) placement.showCmd = kSwHide;
    const TSize frame = form_->FrameSize(form_->BorderStyle());
    placement.maxPosition = {-frame.cx, -frame.cy};
    form_->SetPlacement(placement);
}

void TFormPlacement::MinMaxInfoChanged() {
    FitMaximizedPosition();
    if (!loading_) CheckToggleHook();
}

bool TFormPlacement::HookNeeded() const {
    return preventResize_ || !minMaxInfo_.DefaultMinMaxInfo();
}

void TFormPlacement::CheckToggleHook() {
    if (!hook_) return;
    if (HookNeeded()) {
        hook_->Attach();
    } else {
        hook_->Detach();
    }
}

void TFormPlacement::SetPreventResize(bool value) {
    if (!form_ || value == preventResize_) return;
    preventResize_ = value;
    // While loading, Loaded() sets the border icons once it knows the window's own ones.
    if (loading_) return;
    FitMaximizedPosition();
    UpdatePreventResize();
    CheckToggleHook();
}

void TFormPlacement::UpdatePreventResize() {
    const bool wasActive = active_;
    active_ = false;  // changing the border icons must not save or restore anything
    const bool maximize =
        !(preventResize_ || !defMaximize_ || form_->BorderStyle() == TFormBorderStyle::bsDialog);
    try {
        form_->SetMaximizeButton(maximize);
    } catch (...) {
        active_ = wasActive;
        throw;
    }
    active_ = wasActive;
}

void TFormPlacement::WndMessage(THookMessage& msg) {
    if (!form_) return;
    if (preventResize_) {
        KeepSize(msg);
        return;
    }
    if (msg.msg != kWmGetMinMaxInfo || !msg.lParam) return;
    ApplyMinMaxInfo(*reinterpret_cast<TMinMaxRecord*>(msg.lParam));
}

void TFormPlacement::KeepSize(THookMessage& msg) {
    switch (msg.msg) {
        case kWmGetMinMaxInfo:
            if (msg.lParam && form_->HandleAllocated() && form_->Visible()) {
                auto* limits = reinterpret_cast<TMinMaxRecord*>(msg.lParam);
                const TPoint size{form_->Width(), form_->Height()};
                limits->minTrackSize = size;
                limits->maxTrackSize = size;
            }
            break;
        case kWmNcHitTest:
            // The sizing borders and corners behave like the rest of the frame.
            if (msg.result >= kHtSizeFirst && msg.result <= kHtSizeLast) msg.result = 0;
            break;
        case kWmInitMenuPopup:
            // The high word of lParam: the system menu's popup.
            if ((static_cast<std::uintptr_t>(msg.lParam) >> 16) & 0xFFFF) {
                form_->GrayMenuCommand(msg.wParam, kScSize);
                form_->GrayMenuCommand(msg.wParam, kScMaximize);
            }
            break;
        default:
            break;
    }
}

void TFormPlacement::ApplyMinMaxInfo(TMinMaxRecord& limits) const {
    if (minMaxInfo_.DefaultMinMaxInfo()) {
        limits.maxPosition = {0, 0};
        return;
    }
    auto apply = [this](TWinMinMaxInfo::Index i, std::int32_t& field) {
        if (const auto v = minMaxInfo_.Get(i)) field = v;
    };
    apply(TWinMinMaxInfo::MaxPosLeft, limits.maxPosition.x);
    apply(TWinMinMaxInfo::MaxPosTop, limits.maxPosition.y);
    apply(TWinMinMaxInfo::MaxSizeHeight, limits.maxSize.y);
    apply(TWinMinMaxInfo::MaxSizeWidth, limits.maxSize.x);
    apply(TWinMinMaxInfo::MaxTrackHeight, limits.maxTrackSize.y);
    apply(TWinMinMaxInfo::MaxTrackWidth, limits.maxTrackSize.x);
    apply(TWinMinMaxInfo::MinTrackHeight, limits.minTrackSize.y);
    apply(TWinMinMaxInfo::MinTrackWidth, limits.minTrackSize.x);
}

// --- TStoredValue(s) ---------------------------------------------------------------------------

void TStoredValue::SetName(const std::string& name) {
    if (!name.empty() && !SameText(name, name_) && collection_->IndexOf(name) >= 0) {
        throw Exception("String list does not allow duplicates");
    }
    name_ = name;
}

std::string TStoredValue::DisplayName() const {
    return name_.empty() ? std::string("TStoredValue") : name_;
}

void TStoredValue::Assign(const TStoredValue& source) {
    if (&source == this) return;
    value = source.value;
    SetName(source.name_);
    keyString = source.keyString;
}

void TStoredValue::WriteToStore() {
    TFormPlacement* storage = collection_->Storage();
    if (!storage) return;
    TStoredVariant copy = value;
    if (onSave) onSave(*this, copy);
    std::string text = VariantToText(copy);
    if (!keyString.empty()) text = ScrambleText(text, keyString);
    storage->WriteSettingString(name_, text);
}

void TStoredValue::ReadFromStore() {
    TFormPlacement* storage = collection_->Storage();
    if (!storage) return;
    std::string def = VariantToText(value);
    if (!keyString.empty()) def = ScrambleText(def, keyString);
    std::string text = storage->ReadSettingString(name_, def);
    if (!keyString.empty()) text = UnscrambleText(text, keyString);
    TStoredVariant restored = text;
    if (onRestore) onRestore(*this, restored);
    value = std::move(restored);
}

TStoredValue& TStoredValues::Add() {
    items_.push_back(std::make_unique<TStoredValue>(*this));
    return *items_.back();
}

int TStoredValues::IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (SameText(items_[i]->Name(), name)) return static_cast<int>(i);
    }
    return -1;
}

TStoredValue* TStoredValues::ValueByName(const std::string& name) {
    const int i = IndexOf(name);
    return i < 0 ? nullptr : items_[static_cast<std::size_t>(i)].get();
}

void TStoredValues::WriteAllToStore() {
    for (auto& item : items_) item->WriteToStore();
}

void TStoredValues::ReadAllFromStore() {
    for (auto& item : items_) item->ReadFromStore();
}

// --- TFormStorage ------------------------------------------------------------------------------

TFormStorage::TFormStorage(IForm* form, std::string name) : TFormPlacement(form, std::move(name)) {}

TFormStorage::~TFormStorage() {
    destroyingStorage_ = true;
    storedProps_.clear();
    storedValues_.Clear();
}

void TFormStorage::SetStoredProps(const std::vector<std::string>& entries) {
    storedProps_.clear();
    for (const auto& e : entries) storedProps_.push_back({e, nullptr});
    // Entries given after loading are bound at once, so they are not dropped as unbound.
    if (!Loading() && Form()) ResolveStoredList(*Form(), storedProps_, true);
}

std::vector<std::string> TFormStorage::StoredPropsText() const {
    std::vector<std::string> out;
    for (const auto& e : storedProps_) out.push_back(e.text);
    return out;
}

void TFormStorage::Loaded() {
    TFormPlacement::Loaded();
    if (Form()) ResolveStoredList(*Form(), storedProps_, true);
}

void TFormStorage::ComponentRemoved(TComponent& component) {
    if (destroyingStorage_) return;
    std::erase_if(storedProps_,
                  [&](const TStoredPropEntry& e) { return e.component == &component; });
}

void TFormStorage::WriteSettings() {
    TFormPlacement::WriteSettings();
    WriteStoredProperties();
    storedValues_.WriteAllToStore();
}

void TFormStorage::ReadSettings() {
    TFormPlacement::ReadSettings();
    SetRestored();
    ReadStoredProperties();
    storedValues_.ReadAllFromStore();
}

void TFormStorage::WriteStoredProperties() {
    if (!Form()) return;
    TPropsStorage props;
    props.section = IniSection();
    props.findForm = findForm;
    props.writeStringHandler = [this](const std::string& s, const std::string& n,
                                      const std::string& v) { WriteStoreString(s, n, v); };
    props.eraseSectionHandler = [this](const std::string& s) { EraseStoreSection(s); };
    props.WriteListedProperties(*Form(), storedProps_);
}

void TFormStorage::ReadStoredProperties() {
    if (!Form()) return;
    TPropsStorage props;
    props.section = IniSection();
    props.findForm = findForm;
    props.readStringHandler = [this](const std::string& s, const std::string& n,
                                     const std::string& d) { return ReadStoreString(s, n, d); };
    try {
        props.ReadListedProperties(*Form(), storedProps_);
    } catch (...) {
        // A failure here ends only this step; the named values are still read.
    }
}

}  // namespace virel
