#include <gtest/gtest.h>

#include "core/ProgramDir.h"

namespace virel {
namespace {

TEST(ProgramDir, KeepsTheDirectoryWithItsBackslash) {
    EXPECT_EQ(ProgramDir("C:\\Program Files\\VIREL\\VIREL1_Service.exe"),
              "C:\\Program Files\\VIREL\\");
    EXPECT_EQ(ProgramDir("\\\\server\\share\\VIREL1_Service.exe"), "\\\\server\\share\\");
    EXPECT_EQ(ProgramDir("C:\\VIREL1_Service.exe"), "C:\\");
    EXPECT_EQ(ProgramDir("D:\\Программы\\ВИРЕЛ\\VIREL1_Service.exe"), "D:\\Программы\\ВИРЕЛ\\");
}

TEST(ProgramDir, AppendsABackslashAfterADriveColon) {
    // The directory part ends at the colon when there is no backslash after it.
    EXPECT_EQ(ProgramDir("C:VIREL1_Service.exe"), "C:\\");
}

TEST(ProgramDir, AnEmptyDirectoryPartGivesTheCurrentDirectory) {
    EXPECT_EQ(ProgramDir("VIREL1_Service.exe"), ".\\");
    EXPECT_EQ(ProgramDir(""), ".\\");
}

TEST(ProgramDir, ARootBackslashAloneIsTooShort) {
    // "\" is a directory part of one character: shorter than two, so ".\" is used.
    EXPECT_EQ(ProgramDir("\\VIREL1_Service.exe"), ".\\");
    EXPECT_EQ(ProgramDir("\\"), ".\\");
}

TEST(ProgramDir, ADirectoryPathEndingInABackslashStaysAsItIs) {
    EXPECT_EQ(ProgramDir("C:\\VIREL\\"), "C:\\VIREL\\");
}

}  // namespace
}  // namespace virel
