// The one reader of the command lines without a window: switches with "/" or "-" in any case,
// values, and the first argument it cannot read. The commands' own cases (their texts, their
// checks of the values) are in their tests.
#include <gtest/gtest.h>

#include "core/CommandSwitches.h"

namespace virel {
namespace {

using Kind = TSwitchFault::Kind;

TSwitches Read(const std::vector<std::string>& arguments) {
    return ReadSwitches(arguments, {{"push"}, {"trace"}, {"room", true}, {"out", true}});
}

TEST(CommandSwitches, NamesInAnyCaseWithASlashOrADashAndOnlyLatinLettersFolded) {
    EXPECT_EQ(SwitchName("/Push"), std::optional<std::string>("push"));
    EXPECT_EQ(SwitchName("-ROOM"), std::optional<std::string>("room"));
    EXPECT_EQ(SwitchName("/ОТЧЁТ"), std::optional<std::string>("ОТЧЁТ"));
    for (const char* none : {"", "/", "-", "push", "Кабинет"})
        EXPECT_FALSE(SwitchName(none)) << none;
    EXPECT_TRUE(HasSwitch({"a", "-PUSH"}, "push"));
    EXPECT_FALSE(HasSwitch({"push", "/pushes"}, "push"));
}

TEST(CommandSwitches, ValuesAndPlainSwitchesAreReadWhereverTheyStand) {
    const TSwitches read =
        Read({"-Room", "Кабинет №1", "/PUSH", "/out", "-отчёт.csv", "/trace", "/push"});
    ASSERT_FALSE(read.fault);
    EXPECT_TRUE(read.Has("push"));
    EXPECT_TRUE(read.Has("trace"));
    EXPECT_TRUE(read.Has("room"));
    EXPECT_EQ(read.Value("room"), std::optional<std::string>("Кабинет №1"));
    // A value may begin as a switch does when it is none of the command's: a path, a name.
    EXPECT_EQ(read.Value("out"), std::optional<std::string>("-отчёт.csv"));
    EXPECT_EQ(Read({"/room", "/tmp/x"}).Value("room"), std::optional<std::string>("/tmp/x"));
    EXPECT_FALSE(read.Value("push"));

    const TSwitches none = Read({});
    EXPECT_FALSE(none.fault);
    EXPECT_FALSE(none.Has("push"));
    EXPECT_FALSE(none.Value("room"));
}

TEST(CommandSwitches, TheFirstArgumentThatCannotBeReadIsNamedAsTyped) {
    const std::vector<std::tuple<std::vector<std::string>, Kind, std::string>> faults = {
        {{"/push", "/port", "COM1"}, Kind::Unknown, "/port"},
        {{"/push", "extra"}, Kind::Unknown, "extra"},
        {{"/push", "/room"}, Kind::NoValue, "/room"},
        {{"/room", "/OUT", "a.csv"}, Kind::NoValue, "/room"},
        {{"/room", "a", "-ROOM", "b"}, Kind::Repeated, "-ROOM"},
        {{"/room", "a", "/x", "/room", "b"}, Kind::Unknown, "/x"},
    };
    for (const auto& [arguments, kind, argument] : faults) {
        const TSwitches read = Read(arguments);
        ASSERT_TRUE(read.fault) << argument;
        EXPECT_EQ(read.fault->kind, kind) << argument;
        EXPECT_EQ(read.fault->argument, argument);
    }
    EXPECT_EQ(SwitchFaultText({Kind::Unknown, "x"}), "лишний параметр «x»");
    EXPECT_EQ(SwitchFaultText({Kind::NoValue, "/room"}), "после /room нет значения");
    EXPECT_EQ(SwitchFaultText({Kind::Repeated, "-ROOM"}), "повторяется -ROOM");
}

}  // namespace
}  // namespace virel
