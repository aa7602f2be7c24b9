#pragma once
// The section store: named string values in named sections, behind one interface so that the
// placement and property logic runs against the registry, an ini file or a test double alike.
// A store object lives from its opening to its closing (the destructor closes it).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/Errors.h"

namespace virel {

// A stored value of a type that holds no text (a number or binary data in the registry):
// "Invalid data type for '<name>'".
class EInvalidValueType : public Exception {
public:
    explicit EInvalidValueType(const std::string& name);
};

// Root key of the registry store, in the order the component publishes them.
enum class TPlacementRegRoot {
    prCurrentUser,
    prLocalMachine,
    prCurrentConfig,
    prClassesRoot,
    prUsers,
    prDynData,
};

// The predefined root key handle value each member selects (HKEY_CURRENT_USER is 0x80000001).
std::uint32_t RegRootKeyValue(TPlacementRegRoot root);

class TSectionStore {
public:
    TSectionStore() = default;
    TSectionStore(const TSectionStore&) = delete;
    TSectionStore& operator=(const TSectionStore&) = delete;
    virtual ~TSectionStore() = default;

    // The stored text, or `def` when the section or the value does not exist.
    virtual std::string ReadString(const std::string& section, const std::string& name,
                                   const std::string& def) = 0;
    virtual void WriteString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
    // Deletes the section with everything in it; a missing section is no error.
    virtual void EraseSection(const std::string& section) = 0;

    // Integers and Booleans are kept as text: a value that is missing or not a decimal integer
    // reads as `def`; Booleans are written as "1" and "0".
    virtual std::int32_t ReadInteger(const std::string& section, const std::string& name,
                                     std::int32_t def);
    virtual void WriteInteger(const std::string& section, const std::string& name,
                              std::int32_t value);
    virtual void WriteBool(const std::string& section, const std::string& name, bool value);
};

// Where a store lives: the registry (root and key path) or an ini file (path in `path`).
struct TStoreLocation {
    bool useRegistry = false;
    TPlacementRegRoot root = TPlacementRegRoot::prCurrentUser;
    std::string path;
};

// Opens a store; read-only stores open their sections for reading only.
using TStoreFactory =
    std::function<std::unique_ptr<TSectionStore>(const TStoreLocation& where, bool readOnly)>;

// The ini files' quote stripping takes one pair of matching quotes off a value when reading;
// a text that itself begins and ends with the same quote is therefore written wrapped in a
// further pair of double quotes, so that it reads back unchanged.
std::string IniQuoted(const std::string& value);

}  // namespace virel
