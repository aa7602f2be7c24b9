#pragma once
// Stored property values: the text form of each kind of published property, the object that
// writes and reads the properties of one component (TPropsStorage), the list of stored
// properties "Component.Property" and its binding to the window's components, and the
// scrambling of stored texts with a key.
//
// Numbers always use "." as the decimal separator, whatever the C locale or the Windows
// regional settings say, so stored values read back the same everywhere.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Persistent.h"

namespace virel {

// Significant digits of the general float format by float type: 7, 15, 18, 18, 19.
int FloatPrecision(TFloatType type);
// General number format: fixed notation without trailing zeros when the value has at most
// `precision` digits before the point and is at least 0.00001 in size, otherwise scientific
// notation ("1.5E20", "1E-6"). "NAN", "INF" and "-INF" for the special values.
std::string FloatToText(long double value, TFloatType type);
// Parses a decimal number with "." as separator and an optional exponent; anything else
// (empty text, a comma, blanks, "INF") is not a number.
std::optional<long double> TextToFloat(std::string_view text);

// The text form of a variant: empty and null give "", Booleans "True"/"False", numbers their
// decimal form, strings themselves.
std::string VariantToText(const TStoredVariant& value);

// Each byte of the text combined with the key byte at the same position (cyclic) by exclusive
// or, as two lower-case hexadecimal digits. The key must not be empty.
std::string ScrambleText(std::string_view text, std::string_view key);
// The reverse: pairs of characters (an odd last one is dropped); a pair that is not hexadecimal
// counts as 32.
std::string UnscrambleText(std::string_view text, std::string_view key);

// One entry of a stored-properties list: "Component.Property" and the component it is bound to.
struct TStoredPropEntry {
    std::string text;
    TComponent* component = nullptr;
};
using TStoredPropsList = std::vector<TStoredPropEntry>;

// Splits a valid entry into its trimmed component and property parts (both non-empty, split at
// the first "."); nullopt for an invalid entry.
struct TStoredPropName {
    std::string component;
    std::string property;
};
std::optional<TStoredPropName> ParseStoredPropName(std::string_view entry);

// Binds (fromWindow) or refreshes the entries against the window's components, last to first:
// from the window, an entry is bound to the component of its name or deleted; otherwise a bound
// valid entry is rewritten with the component's present name and every other entry is deleted.
void ResolveStoredList(TComponent& owner, TStoredPropsList& list, bool fromWindow);

class TPropsStorage {
public:
    using ReadHandler = std::function<std::string(const std::string& section,
                                                  const std::string& name, const std::string& def)>;
    using WriteHandler = std::function<void(const std::string& section, const std::string& name,
                                            const std::string& value)>;
    using EraseHandler = std::function<void(const std::string& section)>;

    TPropsStorage() = default;
    TPropsStorage(const TPropsStorage&) = delete;
    TPropsStorage& operator=(const TPropsStorage&) = delete;
    virtual ~TPropsStorage() = default;

    TPersistent* object = nullptr;  // whose properties are handled now
    std::string prefix;             // put in front of each property name to form the value name
    std::string section;
    TComponent* owner = nullptr;  // the window, during one listed operation
    ReadHandler readStringHandler;
    WriteHandler writeStringHandler;
    EraseHandler eraseSectionHandler;
    // Finds a form or data module of the application by name, for component references.
    std::function<TComponent*(std::string_view name)> findForm;

    // Writes or reads every property named in the list, in list order (the list is refreshed
    // against the owner first).
    void WriteListedProperties(TComponent& window, TStoredPropsList& list);
    void ReadListedProperties(TComponent& window, TStoredPropsList& list);

    // One property of `object`.
    void WriteProperty(const TPropInfo& prop);
    void ReadProperty(const TPropInfo& prop);
    // Every published property of `object`.
    void WriteObjectProperties();
    void ReadObjectProperties();

    // The text of a property as it would be written; class kinds other than component
    // references write their own values here and give an empty text.
    std::string StoreProperty(const TPropInfo& prop);
    // Sets a property from a text; a text that does not fit the kind changes nothing.
    void LoadProperty(const TPropInfo& prop, const std::string& text);

protected:
    virtual std::string ReadString(const std::string& sect, const std::string& name,
                                   const std::string& def);
    virtual void WriteString(const std::string& sect, const std::string& name,
                             const std::string& value);
    virtual void EraseSection(const std::string& sect);
    virtual std::string ValueName(const std::string& propName) const;
    // A storage of the same kind and with the same handlers, for nested objects.
    virtual std::unique_ptr<TPropsStorage> CreateStorage() const;

private:
    template <typename Fn>
    void ForListed(TComponent& window, TStoredPropsList& list, Fn each);
    std::string TextOf(const TPropInfo& prop);  // non-class kinds
    void LoadClassProperty(const TPropInfo& prop, const std::string& text);
    std::string StoreStrings(const TPropInfo& prop, TStrings& strings);
    void LoadStrings(const TPropInfo& prop, TStrings& strings);
    void StoreCollection(const TPropInfo& prop, TCollection& collection);
    void LoadCollection(const TPropInfo& prop, TCollection& collection);
    std::string ComponentReferenceText(TPersistent* value) const;
    void LoadComponentReference(const TPropInfo& prop, const std::string& text);
    std::unique_ptr<TPropsStorage> Nested(TPersistent& obj, std::string nestedPrefix,
                                          std::string nestedSection) const;
};

}  // namespace virel
