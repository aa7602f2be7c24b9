#include "storage/Settings.h"

#include <utility>

#include "storage/TextUtil.h"

namespace virel {

using storage_detail::Concat;

std::string TSettingPlace::ValueName() const {
    // The window's storage (TPropsStorage) puts the control's name and "_" before the property.
    if (IsProperty()) return Concat(name, "_", property);
    return std::string(name);
}

std::string TSettingPlace::PropertyEntry() const {
    return Concat(name, ".", property);
}

TSettings::TSettings(std::shared_ptr<ISettingsStore> store) : store_(std::move(store)) {}

std::optional<TSettingData> TSettings::Stored(const TSettingPlace& place, TSettingKind kind,
                                              std::size_t limit) const {
    auto stored = store_->Read(place.section, place.ValueName());
    if (!stored || stored->kind != kind || stored->data.size() > limit) return std::nullopt;
    return stored;
}

std::string TSettings::Read(const TTextSetting& setting) const {
    const auto stored = Stored(setting.place, TSettingKind::Text, kMaxSettingText);
    if (!stored) return std::string(setting.def);
    if (setting.place.IsProperty()) return storage_detail::Trim(stored->data);
    return stored->data;
}

std::int32_t TSettings::Read(const TIntegerSetting& setting) const {
    const auto stored = Stored(setting.place, TSettingKind::Text, kMaxSettingText);
    if (!stored) return setting.def;
    return storage_detail::ParseInt32(storage_detail::Trim(stored->data)).value_or(setting.def);
}

std::string TSettings::Read(const TBytesSetting& setting) const {
    const auto stored = Stored(setting.place, TSettingKind::Bytes, kMaxSettingBytes);
    return stored ? stored->data : std::string();
}

bool TSettings::Write(const TTextSetting& setting, std::string_view text) {
    return store_->Write(setting.place.section, setting.place.ValueName(),
                         {TSettingKind::Text, std::string(text)});
}

bool TSettings::Write(const TIntegerSetting& setting, std::int32_t value) {
    return store_->Write(setting.place.section, setting.place.ValueName(),
                         {TSettingKind::Text, std::to_string(value)});
}

bool TSettings::Write(const TBytesSetting& setting, std::string_view bytes) {
    return store_->Write(setting.place.section, setting.place.ValueName(),
                         {TSettingKind::Bytes, std::string(bytes)});
}

bool TSettings::Clear(const TBytesSetting& setting) {
    return store_->Remove(setting.place.section, setting.place.ValueName());
}

}  // namespace virel
