#pragma once
// The program's stored settings outside the main window's own storage, typed: each value is
// declared once (storage/ProgramSettings.h) with its place, its type and its default, and read
// and written through TSettings, which does the conversions. Under it a store that only keeps
// places and raw data: the registry (storage/RegSettingsStore.h) or, in tests, memory.
// Portable: the conversions and defaults are tested natively.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace virel {

// Where a value lives: a section (a subkey of the program's key) and the value's name there.
// A control's property kept by a window's storage names the control and the property; its
// value is named as that storage names it ("CB_ComPort_Text").
struct TSettingPlace {
    std::string_view section;
    std::string_view name;
    std::string_view property = {};

    bool IsProperty() const { return !property.empty(); }
    std::string ValueName() const;
    // The entry of a window storage's list of stored properties ("CB_ComPort.Text").
    std::string PropertyEntry() const;
};

// What a store holds at a place, as it holds it.
enum class TSettingKind {
    Text,   // a text (in the registry REG_SZ or REG_EXPAND_SZ): `data` is UTF-8
    Bytes,  // binary data (REG_BINARY): `data` holds the bytes
    Other,  // anything else (a number, a list of texts): never the program's, `data` empty
};
struct TSettingData {
    TSettingKind kind = TSettingKind::Other;
    std::string data;
};

// The store under the settings: places and raw data, no conversions.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // What is stored at the place; nothing when it is missing or cannot be read. Reading never
    // makes a section or a key.
    [[nodiscard]] virtual std::optional<TSettingData> Read(std::string_view section,
                                                           std::string_view name) const = 0;
    // Makes the section when it is missing.
    [[nodiscard]] virtual bool Write(std::string_view section, std::string_view name,
                                     const TSettingData& value) = 0;
    // A value that is not there is no failure.
    [[nodiscard]] virtual bool Remove(std::string_view section, std::string_view name) = 0;
};

// A text value. A control's property is trimmed as the window's storage trims it on reading.
struct TTextSetting {
    TSettingPlace place;
    std::string_view def;
};
// A whole number kept as its decimal text, as the window's storage keeps one.
struct TIntegerSetting {
    TSettingPlace place;
    std::int32_t def = 0;
};
// Binary data; nothing stored reads as no bytes.
struct TBytesSetting {
    TSettingPlace place;
};

// A stored value larger than these is junk: it reads as the default. Far above any value the
// program writes (a folder's path, a connection string, an encrypted password).
inline constexpr std::size_t kMaxSettingText = 32 * 1024;  // UTF-8 bytes
inline constexpr std::size_t kMaxSettingBytes = 64 * 1024;

// The typed settings over a store. A value that is missing, of another kind, too large or not
// what its type holds reads as its default, never as an error. Copies share the store; the
// registry's holds nothing open between calls, so threads may each use a copy.
class TSettings {
public:
    explicit TSettings(std::shared_ptr<ISettingsStore> store);

    std::string Read(const TTextSetting& setting) const;
    std::int32_t Read(const TIntegerSetting& setting) const;
    std::string Read(const TBytesSetting& setting) const;

    // False when the store refused the value.
    [[nodiscard]] bool Write(const TTextSetting& setting, std::string_view text);
    [[nodiscard]] bool Write(const TIntegerSetting& setting, std::int32_t value);
    [[nodiscard]] bool Write(const TBytesSetting& setting, std::string_view bytes);
    // Takes the value away, so that nothing of it stays stored.
    [[nodiscard]] bool Clear(const TBytesSetting& setting);

private:
    std::optional<TSettingData> Stored(const TSettingPlace& place, TSettingKind kind,
                                       std::size_t limit) const;

    std::shared_ptr<ISettingsStore> store_;
};

}  // namespace virel
