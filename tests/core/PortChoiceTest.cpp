#include <gtest/gtest.h>

#include "core/meter/PortChoice.h"

namespace virel {
namespace {

TEST(PortNumberFromText, NamesComOneTo255InAnyCaseWithSpacesAround) {
    EXPECT_EQ(PortNumberFromText("COM1"), 1);
    EXPECT_EQ(PortNumberFromText("COM7"), 7);
    EXPECT_EQ(PortNumberFromText("com7"), 7);
    EXPECT_EQ(PortNumberFromText("cOm10"), 10);
    EXPECT_EQ(PortNumberFromText("  COM20\t "), 20);
    EXPECT_EQ(PortNumberFromText("\tCOM99"), 99);
    EXPECT_EQ(PortNumberFromText("COM255"), 255);
}

TEST(PortNumberFromText, NamesNoPortOutOfBoundsOrJunk) {
    for (const char* text :
         {"",      "   ",   "COM",         "COM0",  "COM256", "COM999", "COM4294967297", "COM-1",
          "COM+1", "COM01", "COM 1",       "CO M1", "COM1 x", "COM1.",  "COM1\n",        "LPT1",
          "AUX",   "1",     "\\\\.\\COM1", "COM١",  "СОМ1" /* Cyrillic look-alikes */}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(PortNumberFromText(text), std::nullopt);
    }
    EXPECT_EQ(PortNumberFromText(std::string_view("COM1\0", 5)), std::nullopt);
}

TEST(PortTextRefusal, SaysWhyATextNamesNoPort) {
    for (const char* text : {"COM1", " com255\t", "Com17"})
        EXPECT_EQ(PortTextRefusal(text), "") << text;
    EXPECT_EQ(PortTextRefusal(""), "имя порта не указано");
    EXPECT_EQ(PortTextRefusal(" \t"), "имя порта не указано");
    EXPECT_EQ(PortTextRefusal("COM0"), "номер порта вне 1–255");
    EXPECT_EQ(PortTextRefusal("COM256"), "номер порта вне 1–255");
    EXPECT_EQ(PortTextRefusal("COM0255"), "номер порта с ведущим нулём");
    for (const char* text : {"\\\\.\\COM255", "COM1:", "LPT1", "CON", "NUL", "COM 1", "COM"}) {
        EXPECT_EQ(PortTextRefusal(text), "не имя порта вида COM1–COM255") << text;
    }
}

// The line carries the port parsed where its text was read: the number, or the refusal, with the
// text as typed for the texts that name it.
TEST(TLinePort, HoldsTheTextAsTypedWithItsNumberOrWhyItNamesNone) {
    const struct {
        const char* text;
        std::optional<int> number;
        const char* refusal;
    } cases[] = {
        {"COM3", 3, ""},
        {" com17\t", 17, ""},
        {"COM255", 255, ""},
        {"", std::nullopt, "имя порта не указано"},
        {"COM0", std::nullopt, "номер порта вне 1–255"},
        {"COM07", std::nullopt, "номер порта с ведущим нулём"},
        {"LPT1", std::nullopt, "не имя порта вида COM1–COM255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const TLinePort port(c.text);
        EXPECT_EQ(port.Text(), c.text);
        EXPECT_EQ(port.Number(), c.number);
        EXPECT_EQ(port.Refusal(), c.refusal);
        EXPECT_EQ(port.Refusal(), PortTextRefusal(c.text)) << "the same verdict as the free parse";
    }
    // No text at all is no port, and says so.
    EXPECT_EQ(TLinePort().Number(), std::nullopt);
    EXPECT_EQ(TLinePort().Refusal(), "имя порта не указано");
}

TEST(LineSettingsFromTexts, ParsesThePortAndFallsBackToTheDefaultSpeed) {
    TLineChoice choice = LineSettingsFromTexts(" com12", "9600");
    EXPECT_EQ(choice.line.port.Text(), " com12");
    EXPECT_EQ(choice.line.port.Number(), 12);
    EXPECT_EQ(choice.line.speed, 9600u);
    EXPECT_FALSE(choice.speedFellBack);
    choice = LineSettingsFromTexts("COM1?", "19200");
    EXPECT_EQ(choice.line.port.Number(), std::nullopt);
    EXPECT_EQ(choice.line.port.Refusal(), "не имя порта вида COM1–COM255");
    EXPECT_EQ(choice.line.speed, kDefaultSpeed);
    EXPECT_TRUE(choice.speedFellBack);
}

TEST(PortList, KeepsTheFourFixedPortsFirstAndAppendsOthersInNumericOrder) {
    const std::vector<std::string> fixed = {"COM1", "COM2", "COM3", "COM4"};
    EXPECT_EQ(PortList({}), fixed);
    // As a system lists them: any order, the fixed ones among them, repeats, odd case.
    EXPECT_EQ(PortList({"COM12", "COM3", "COM7", "com10", "COM1", "COM7", " COM5 "}),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM7", "COM10",
                                        "COM12"}));
    // Names of no usable port are left out.
    EXPECT_EQ(PortList({"", "COM0", "COM256", "LPT1", "junk", "COM08", "COM255"}),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM255"}));
}

TEST(SpeedFromText, KnowsTheListedSpeedsOnly) {
    EXPECT_EQ(SpeedFromText("4800"), 4800u);
    EXPECT_EQ(SpeedFromText("9600"), 9600u);
    EXPECT_EQ(SpeedFromText(" 9600\t"), 9600u);
    for (const char* text : {"", "0", "19200", "2400", "04800", "+4800", "4800.0", "48 00",
                             "4800 baud", "99999999999999999999", "abc"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(SpeedFromText(text), std::nullopt);
    }
    EXPECT_EQ(kDefaultSpeed, 4800u);
    EXPECT_EQ(SpeedItemIndex(4800), 0);
    EXPECT_EQ(SpeedItemIndex(9600), 1);
    EXPECT_EQ(SpeedItemIndex(19200), -1);
}

}  // namespace
}  // namespace virel
