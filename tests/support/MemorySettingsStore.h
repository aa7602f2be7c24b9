#pragma once
// The settings' store in memory, for tests of what reads and writes the typed settings: values
// by section and name as a test puts them (of any kind), every write counted, and a switch that
// makes the store refuse writes.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "storage/Settings.h"

namespace virel::test {

class TMemorySettingsStore final : public ISettingsStore {
public:
    std::optional<TSettingData> Read(std::string_view section,
                                     std::string_view name) const override {
        const auto found = values.find(Key(section, name));
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    bool Write(std::string_view section, std::string_view name,
               const TSettingData& value) override {
        ++writes;
        if (refuseWrites) return false;
        values[Key(section, name)] = value;
        return true;
    }
    bool Remove(std::string_view section, std::string_view name) override {
        ++writes;
        if (refuseWrites) return false;
        values.erase(Key(section, name));
        return true;
    }

    void Put(std::string_view section, std::string_view name, TSettingKind kind, std::string data) {
        values[Key(section, name)] = {kind, std::move(data)};
    }
    void PutText(std::string_view section, std::string_view name, std::string text) {
        Put(section, name, TSettingKind::Text, std::move(text));
    }

    static std::pair<std::string, std::string> Key(std::string_view section,
                                                   std::string_view name) {
        return {std::string(section), std::string(name)};
    }

    std::map<std::pair<std::string, std::string>, TSettingData> values;
    int writes = 0;  // writes and removals, refused ones included
    bool refuseWrites = false;
};

// Typed settings over a fresh store in memory, and the store to look into.
struct TMemorySettings {
    std::shared_ptr<TMemorySettingsStore> store = std::make_shared<TMemorySettingsStore>();
    TSettings settings{store};
};

}  // namespace virel::test
