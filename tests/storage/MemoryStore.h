#pragma once
// An in-memory section store with the registry store's rules (key created on opening, values
// kept in write order, non-string values refused on reading) and a journal of every operation,
// for tests of the placement and property logic without Windows.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "storage/SectionStore.h"

namespace virel {

class TMemoryRegistry {
public:
    struct Value {
        std::string name;
        std::string text;
        bool isString = true;  // false: a value of another registry type
    };
    struct Section {
        std::vector<Value> values;  // in the order of their first write
    };
    struct Key {
        std::map<std::string, Section> sections;  // by folded section name
    };

    // A factory that opens stores on this registry.
    TStoreFactory Factory();

    // Direct access for tests: puts or looks at values without going through a store.
    void Put(const TStoreLocation& where, const std::string& section, const std::string& name,
             const std::string& text, bool isString = true);
    std::optional<std::string> Get(const TStoreLocation& where, const std::string& section,
                                   const std::string& name) const;
    bool HasKey(const TStoreLocation& where) const;
    bool HasSection(const TStoreLocation& where, const std::string& section) const;
    std::vector<std::string> ValueNames(const TStoreLocation& where,
                                        const std::string& section) const;
    void Clear();

    // Every operation: "open ro <path>", "open rw <path>", "close", "read <section>/<name>",
    // "write <section>/<name>=<text>", "erase <section>".
    std::vector<std::string> journal;
    // Value names whose writing fails ("Failed to set data for '%s'").
    std::set<std::string> failingWrites;
    int openStores = 0;  // stores open right now

    Key* FindKey(const TStoreLocation& where);
    const Key* FindKey(const TStoreLocation& where) const;
    Key& MakeKey(const TStoreLocation& where);

private:
    std::map<std::string, Key> keys_;  // by root and folded path
};

class TMemoryStore : public TSectionStore {
public:
    TMemoryStore(TMemoryRegistry& registry, TStoreLocation where, bool readOnly);
    ~TMemoryStore() override;

    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& def) override;
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    void EraseSection(const std::string& section) override;

private:
    TMemoryRegistry& registry_;
    TStoreLocation where_;
    bool readOnly_;
};

}  // namespace virel
