#include "core/CommandSwitches.h"

#include <algorithm>

namespace virel {

namespace {

const TSwitchSpec* Find(std::initializer_list<TSwitchSpec> known,
                        const std::optional<std::string>& name) {
    if (!name) return nullptr;
    const auto found = std::find_if(known.begin(), known.end(),
                                    [&](const TSwitchSpec& spec) { return spec.name == *name; });
    return found == known.end() ? nullptr : found;
}

}  // namespace

std::optional<std::string> SwitchName(std::string_view argument) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
    std::string name(argument.substr(1));
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [&](const std::string& argument) { return SwitchName(argument) == name; });
}

bool TSwitches::Has(std::string_view name) const {
    const std::string key(name);
    return flags.count(key) > 0 || values.count(key) > 0;
}

std::optional<std::string> TSwitches::Value(std::string_view name) const {
    const auto found = values.find(std::string(name));
    if (found == values.end()) return std::nullopt;
    return found->second;
}

TSwitches ReadSwitches(const std::vector<std::string>& arguments,
                       std::initializer_list<TSwitchSpec> known) {
    TSwitches read;
    auto fail = [&](TSwitchFault::Kind kind, const std::string& argument) {
        read.fault = TSwitchFault{kind, argument};
        return read;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const TSwitchSpec* spec = Find(known, SwitchName(argument));
        if (!spec) return fail(TSwitchFault::Kind::Unknown, argument);
        const std::string name(spec->name);
        if (!spec->takesValue) {
            read.flags.insert(name);
            continue;
        }
        if (i + 1 >= arguments.size() || Find(known, SwitchName(arguments[i + 1])))
            return fail(TSwitchFault::Kind::NoValue, argument);
        if (read.values.count(name)) return fail(TSwitchFault::Kind::Repeated, argument);
        read.values[name] = arguments[++i];
    }
    return read;
}

std::string SwitchFaultText(const TSwitchFault& fault) {
    switch (fault.kind) {
        case TSwitchFault::Kind::NoValue:
            return "после " + fault.argument + " нет значения";
        case TSwitchFault::Kind::Repeated:
            return "повторяется " + fault.argument;
        case TSwitchFault::Kind::Unknown:
            break;
    }
    return "лишний параметр «" + fault.argument + "»";
}

}  // namespace virel
