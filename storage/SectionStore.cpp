#include "storage/SectionStore.h"

#include <iterator>

#include "storage/TextUtil.h"

namespace virel {

EInvalidValueType::EInvalidValueType(const std::string& name)
    : Exception(storage_detail::Concat("Invalid data type for '", name, "'")) {}

std::uint32_t RegRootKeyValue(TPlacementRegRoot root) {
    // The system's predefined keys in the order of TPlacementRegRoot: HKEY_CURRENT_USER,
    // HKEY_LOCAL_MACHINE, HKEY_CURRENT_CONFIG, HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_DYN_DATA.
    static constexpr std::uint32_t kRoots[] = {0x80000001u, 0x80000002u, 0x80000005u,
                                               0x80000000u, 0x80000003u, 0x80000006u};
    const auto index = static_cast<std::size_t>(root);
    return index < std::size(kRoots) ? kRoots[index] : 0x80000001u;
}

std::int32_t TSectionStore::ReadInteger(const std::string& section, const std::string& name,
                                        std::int32_t def) {
    // A missing value and an unparsable one both give the default.
    const auto text = ReadString(section, name, std::string());
    return storage_detail::ParseInt32(text).value_or(def);
}

void TSectionStore::WriteInteger(const std::string& section, const std::string& name,
                                 std::int32_t value) {
    WriteString(section, name, std::to_string(value));
}

void TSectionStore::WriteBool(const std::string& section, const std::string& name, bool value) {
    WriteString(section, name, value ? "1" : "0");
}

std::string IniQuoted(const std::string& value) {
    if (value.empty()) return value;
    const char first = value.front();
    if ((first == '"' || first == '\'') && value.back() == first) return '"' + value + '"';
    return value;
}

}  // namespace virel
