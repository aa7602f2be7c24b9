#include "storage/Persistent.h"

#include "storage/TextUtil.h"

namespace virel {

using storage_detail::SameText;

TPropInfoList::TPropInfoList(std::vector<TPropInfo> props) {
    for (auto& p : props) Add(std::move(p));
}

void TPropInfoList::Add(TPropInfo prop) {
    if (prop.kind == TTypeKind::tkMethod || prop.kind == TTypeKind::tkUnknown) return;
    props_.push_back(std::move(prop));
}

const TPropInfo* TPropInfoList::Find(std::string_view name) const {
    for (const auto& p : props_) {
        if (SameText(p.name, name)) return &p;
    }
    return nullptr;
}

const TPropInfoList& TPersistent::Properties() const {
    static const TPropInfoList none;
    return none;
}

TComponent* TComponent::FindComponent(std::string_view) const {
    return nullptr;
}

TBoundComponent::TBoundComponent(std::string name, std::string className, TComponent* owner)
    : name_(std::move(name)), className_(std::move(className)), owner_(owner) {}

TBoundComponent& TBoundComponent::AddProperty(TPropInfo prop) {
    props_.Add(std::move(prop));
    return *this;
}

TBoundComponent& TBoundComponent::AddString(std::string name, std::function<std::string()> get,
                                            std::function<void(const std::string&)> set) {
    TPropInfo p;
    p.name = std::move(name);
    p.kind = TTypeKind::tkLString;
    p.get = [get = std::move(get)](TPersistent&) -> TPropValue { return get(); };
    p.set = [set = std::move(set)](TPersistent&, const TPropValue& v) {
        set(std::get<std::string>(v));
    };
    return AddProperty(std::move(p));
}

TBoundComponent& TBoundComponent::AddInteger(std::string name, std::function<std::int32_t()> get,
                                             std::function<void(std::int32_t)> set) {
    TPropInfo p;
    p.name = std::move(name);
    p.kind = TTypeKind::tkInteger;
    p.get = [get = std::move(get)](TPersistent&) -> TPropValue {
        return static_cast<std::int64_t>(get());
    };
    p.set = [set = std::move(set)](TPersistent&, const TPropValue& v) {
        set(static_cast<std::int32_t>(std::get<std::int64_t>(v)));
    };
    return AddProperty(std::move(p));
}

TBoundComponent& TBoundComponent::AddBoolean(std::string name, std::function<bool()> get,
                                             std::function<void(bool)> set) {
    TPropInfo p;
    p.name = std::move(name);
    p.kind = TTypeKind::tkEnumeration;
    p.enumNames = {"False", "True"};
    p.get = [get = std::move(get)](TPersistent&) -> TPropValue {
        return static_cast<std::int64_t>(get() ? 1 : 0);
    };
    p.set = [set = std::move(set)](TPersistent&, const TPropValue& v) {
        set(std::get<std::int64_t>(v) != 0);
    };
    return AddProperty(std::move(p));
}

TBoundComponent& TBoundComponent::AddFloat(std::string name, TFloatType type,
                                           std::function<long double()> get,
                                           std::function<void(long double)> set) {
    TPropInfo p;
    p.name = std::move(name);
    p.kind = TTypeKind::tkFloat;
    p.floatType = type;
    p.get = [get = std::move(get)](TPersistent&) -> TPropValue { return get(); };
    p.set = [set = std::move(set)](TPersistent&, const TPropValue& v) {
        set(std::get<long double>(v));
    };
    return AddProperty(std::move(p));
}

}  // namespace virel
