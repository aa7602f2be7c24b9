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
    for (const char* text : {"COM1", " com255\t", "Com17"}) EXPECT_EQ(PortTextRefusal(text), "") << text;
    EXPECT_EQ(PortTextRefusal(""), "имя порта не указано");
    EXPECT_EQ(PortTextRefusal(" \t"), "имя порта не указано");
    EXPECT_EQ(PortTextRefusal("COM0"), "номер порта вне 1–255");
    EXPECT_EQ(PortTextRefusal("COM256"), "номер порта вне 1–255");
    EXPECT_EQ(PortTextRefusal("COM0255"), "номер порта с ведущим нулём");
    for (const char* text : {"\\\\.\\COM255", "COM1:", "LPT1", "CON", "NUL", "COM 1", "COM"}) {
        EXPECT_EQ(PortTextRefusal(text), "не имя порта вида COM1–COM255") << text;
    }
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
