#pragma once
// The run-time description of published properties that the settings storage works from:
// objects (TPersistent), components with a name and an owner (TComponent), and per class a
// list of property descriptions (TPropInfoList) with typed getters and setters. Values cross
// the getters and setters without any text; TPropsStorage owns the text forms.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace virel {

class TPersistent;
class TComponent;

// Kinds of published properties, in the order of the language runtime's type kinds.
enum class TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,
    tkWString,
    tkVariant,
    tkArray,
    tkRecord,
    tkInterface,
    tkInt64,
    tkDynArray,
};

enum class TFloatType { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

// What a property of class kind refers to; decides how the storage handles it.
enum class TClassKind {
    ckPersistent,  // any other object: its own properties, prefixed by the property name
    ckStrings,     // a string list (TStrings): its own section of Count/ItemN values
    ckCollection,  // a collection (TCollection): a section with the items' properties
    ckComponent,   // a reference to a component: its name
};

// Stored variant values: empty (unassigned), null, Boolean, integer, float or string.
struct TVarNull {
    bool operator==(const TVarNull&) const = default;
};
using TStoredVariant =
    std::variant<std::monostate, TVarNull, bool, std::int64_t, double, std::string>;

inline bool VarIsEmpty(const TStoredVariant& v) {
    return std::holds_alternative<std::monostate>(v);
}

// A property value as the getter returns it and the setter takes it:
// - tkInteger, tkInt64, tkChar, tkWChar (the character's code), tkEnumeration (the ordinal),
//   tkSet (bit n set for member ordinal n, 0..31): std::int64_t;
// - tkFloat: long double;
// - tkString, tkLString: std::string (UTF-8);
// - tkVariant: TStoredVariant;
// - tkClass: TPersistent* (may be null; for ckComponent a TComponent).
using TPropValue = std::variant<std::monostate, std::int64_t, long double, std::string,
                                TStoredVariant, TPersistent*>;

struct TPropInfo {
    std::string name;
    TTypeKind kind = TTypeKind::tkUnknown;
    TFloatType floatType = TFloatType::ftExtended;  // tkFloat only
    std::vector<std::string> enumNames;             // tkEnumeration: members; tkSet: element names
    TClassKind classKind = TClassKind::ckPersistent;  // tkClass only
    std::function<TPropValue(TPersistent&)> get;
    std::function<void(TPersistent&, const TPropValue&)> set;  // may be empty (read-only)
};

// Published properties of one class, in declaration order. Methods and untyped entries are
// left out, as the storage never handles them.
class TPropInfoList {
public:
    TPropInfoList() = default;
    explicit TPropInfoList(std::vector<TPropInfo> props);

    void Add(TPropInfo prop);
    // Looks a property up by name without regard to case; null when the class has none.
    const TPropInfo* Find(std::string_view name) const;

    std::size_t Count() const { return props_.size(); }
    const TPropInfo& operator[](std::size_t i) const { return props_[i]; }
    auto begin() const { return props_.begin(); }
    auto end() const { return props_.end(); }

private:
    std::vector<TPropInfo> props_;
};

class TPersistent {
public:
    TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;
    virtual ~TPersistent() = default;

    virtual std::string ClassName() const = 0;
    // The published properties of this object's class.
    virtual const TPropInfoList& Properties() const;
};

class TComponent : public TPersistent {
public:
    virtual std::string Name() const = 0;
    // The component that owns this one (a form owns its controls); null for none.
    virtual TComponent* Owner() const { return nullptr; }
    // A component owned by this one, by name without regard to case; null when none.
    virtual TComponent* FindComponent(std::string_view name) const;
    // A windowed control that can take the keyboard focus now.
    virtual bool CanFocus() const { return false; }
};

// A list of strings, as a string-list property holds it.
class TStrings : public TPersistent {
public:
    std::string ClassName() const override { return "TStrings"; }
    virtual std::vector<std::string> Strings() const = 0;
    virtual void SetStrings(std::vector<std::string> strings) = 0;
};

// A collection of items, each with its own published properties.
class TCollection : public TPersistent {
public:
    std::string ClassName() const override { return "TCollection"; }
    virtual std::size_t Count() const = 0;
    virtual TPersistent& Item(std::size_t index) = 0;
    virtual void Clear() = 0;
    virtual TPersistent& Add() = 0;
    // Change notifications are held back between these two calls.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

// A component whose published properties are given one by one with getters and setters bound
// to the real thing (a window control, a test double). The way a window hands its controls to
// the storage.
class TBoundComponent : public TComponent {
public:
    TBoundComponent(std::string name, std::string className, TComponent* owner = nullptr);

    std::string Name() const override { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    std::string ClassName() const override { return className_; }
    TComponent* Owner() const override { return owner_; }
    const TPropInfoList& Properties() const override { return props_; }
    bool CanFocus() const override { return canFocus_ && canFocus_(); }

    TBoundComponent& AddProperty(TPropInfo prop);
    // Shorthands for the kinds a window's controls publish.
    TBoundComponent& AddString(std::string name, std::function<std::string()> get,
                               std::function<void(const std::string&)> set);
    TBoundComponent& AddInteger(std::string name, std::function<std::int32_t()> get,
                                std::function<void(std::int32_t)> set);
    TBoundComponent& AddBoolean(std::string name, std::function<bool()> get,
                                std::function<void(bool)> set);
    TBoundComponent& AddFloat(std::string name, TFloatType type, std::function<long double()> get,
                              std::function<void(long double)> set);

    void SetCanFocus(std::function<bool()> canFocus) { canFocus_ = std::move(canFocus); }
    void SetFocusAction(std::function<void()> focus) { focus_ = std::move(focus); }
    void Focus() const {
        if (focus_) focus_();
    }

private:
    std::string name_;
    std::string className_;
    TComponent* owner_;
    TPropInfoList props_;
    std::function<bool()> canFocus_;
    std::function<void()> focus_;
};

}  // namespace virel
