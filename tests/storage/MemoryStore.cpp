#include "tests/storage/MemoryStore.h"

#include "core/Errors.h"
#include "storage/TextUtil.h"

namespace virel {

using storage_detail::Concat;
using storage_detail::FoldCase;
using storage_detail::SameText;

namespace {

std::string KeyId(const TStoreLocation& where) {
    return Concat(std::to_string(where.useRegistry ? RegRootKeyValue(where.root) : 0), ":",
                  FoldCase(where.path));
}

}  // namespace

TStoreFactory TMemoryRegistry::Factory() {
    return [this](const TStoreLocation& where, bool readOnly) -> std::unique_ptr<TSectionStore> {
        return std::make_unique<TMemoryStore>(*this, where, readOnly);
    };
}

TMemoryRegistry::Key* TMemoryRegistry::FindKey(const TStoreLocation& where) {
    auto it = keys_.find(KeyId(where));
    return it == keys_.end() ? nullptr : &it->second;
}

const TMemoryRegistry::Key* TMemoryRegistry::FindKey(const TStoreLocation& where) const {
    auto it = keys_.find(KeyId(where));
    return it == keys_.end() ? nullptr : &it->second;
}

TMemoryRegistry::Key& TMemoryRegistry::MakeKey(const TStoreLocation& where) {
    return keys_[KeyId(where)];
}

void TMemoryRegistry::Put(const TStoreLocation& where, const std::string& section,
                          const std::string& name, const std::string& text, bool isString) {
    auto& values = MakeKey(where).sections[FoldCase(section)].values;
    for (auto& v : values) {
        if (SameText(v.name, name)) {
            v.text = text;
            v.isString = isString;
            return;
        }
    }
    values.push_back({name, text, isString});
}

std::optional<std::string> TMemoryRegistry::Get(const TStoreLocation& where,
                                                const std::string& section,
                                                const std::string& name) const {
    const Key* key = FindKey(where);
    if (!key) return std::nullopt;
    auto it = key->sections.find(FoldCase(section));
    if (it == key->sections.end()) return std::nullopt;
    for (const auto& v : it->second.values) {
        if (SameText(v.name, name)) return v.text;
    }
    return std::nullopt;
}

bool TMemoryRegistry::HasKey(const TStoreLocation& where) const {
    return FindKey(where);
}

bool TMemoryRegistry::HasSection(const TStoreLocation& where, const std::string& section) const {
    const Key* key = FindKey(where);
    return key && key->sections.count(FoldCase(section));
}

std::vector<std::string> TMemoryRegistry::ValueNames(const TStoreLocation& where,
                                                     const std::string& section) const {
    std::vector<std::string> names;
    const Key* key = FindKey(where);
    if (!key) return names;
    auto it = key->sections.find(FoldCase(section));
    if (it == key->sections.end()) return names;
    for (const auto& v : it->second.values) names.push_back(v.name);
    return names;
}

void TMemoryRegistry::Clear() {
    keys_.clear();
    journal.clear();
    failingWrites.clear();
}

TMemoryStore::TMemoryStore(TMemoryRegistry& registry, TStoreLocation where, bool readOnly)
    : registry_(registry), where_(std::move(where)), readOnly_(readOnly) {
    // As in the registry: the key path is created on opening, for reading too, but under a
    // root other than the current user's only when writable.
    const bool create = where_.root == TPlacementRegRoot::prCurrentUser || !readOnly_;
    if (create) registry_.MakeKey(where_);
    registry_.journal.push_back(Concat(readOnly_ ? "open ro " : "open rw ", where_.path));
    ++registry_.openStores;
}

TMemoryStore::~TMemoryStore() {
    registry_.journal.push_back("close");
    --registry_.openStores;
}

std::string TMemoryStore::ReadString(const std::string& section, const std::string& name,
                                     const std::string& def) {
    registry_.journal.push_back(Concat("read ", section, "/", name));
    const auto* key = registry_.FindKey(where_);
    if (!key) return def;
    auto it = key->sections.find(FoldCase(section));
    if (it == key->sections.end()) return def;
    for (const auto& v : it->second.values) {
        if (!SameText(v.name, name)) continue;
        if (!v.isString) throw EInvalidValueType(name);
        // Like a registry string, the text ends at its first NUL.
        return v.text.substr(0, v.text.find('\0'));
    }
    return def;
}

void TMemoryStore::WriteString(const std::string& section, const std::string& name,
                               const std::string& value) {
    registry_.journal.push_back(Concat("write ", section, "/", name, "=", value));
    if (registry_.failingWrites.count(name)) {
        throw Exception(Concat("Failed to set data for '", name, "'"));
    }
    registry_.Put(where_, section, name, value);
}

void TMemoryStore::EraseSection(const std::string& section) {
    registry_.journal.push_back(Concat("erase ", section));
    if (auto* key = registry_.FindKey(where_)) key->sections.erase(FoldCase(section));
}

}  // namespace virel
