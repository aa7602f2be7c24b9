#pragma once
// The switches of the command lines that run without a window (/harvest, /push, /report,
// /catalogue), read one way: "/name" or "-name" in any case, a switch's value the argument after
// it. Each command lists its switches and words its own refusals; this only reads.
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace virel {

// The switch's name in lower case without its "/" or "-"; none for an argument that is no
// switch. Only ASCII letters are folded: the switches are Latin.
std::optional<std::string> SwitchName(std::string_view argument);

// `name` (lower case, without "/") is among the arguments as a switch.
bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name);

struct TSwitchSpec {
    std::string_view name;  // lower case, without "/"
    bool takesValue = false;
};

struct TSwitchFault {
    enum class Kind {
        Unknown,   // an argument that is no switch of the command, or no switch at all
        NoValue,   // the last argument, or followed by another of the command's switches
        Repeated,  // a switch with a value given twice (a plain switch may repeat)
    };
    Kind kind = Kind::Unknown;
    std::string argument;  // the argument at fault, as typed
};

struct TSwitches {
    std::map<std::string, std::string> values;  // by name: the switches with a value given
    std::set<std::string> flags;                // the switches without a value given
    std::optional<TSwitchFault> fault;          // the first argument that could not be read

    bool Has(std::string_view name) const;
    std::optional<std::string> Value(std::string_view name) const;
};

// Reads every argument against the command's switches and stops at the first fault. A value is
// the next argument unless that is one of the command's own switches, so a value may begin with
// "/" or "-" (a path, a room's name).
[[nodiscard]] TSwitches ReadSwitches(const std::vector<std::string>& arguments,
                                     std::initializer_list<TSwitchSpec> known);

// The fault in the words of /push, /report and /catalogue ("после /room нет значения").
std::string SwitchFaultText(const TSwitchFault& fault);

}  // namespace virel
