#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/meter/DeviceOperations.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::OpsRig;

// The device operations as the window's commands: each command makes the line of the boxes'
// texts as it starts and runs its action on it.
class FaceCommands : public ::testing::Test {
protected:
    IFaceCommands& commands() { return *rig.device; }
    TFaceChoices Choices(const std::string& port, const std::string& speed,
                         bool printOnDevice = false) {
        return {port, speed, printOnDevice};
    }

    OpsRig rig;
};

TEST_F(FaceCommands, EachCommandRunsItsActionOnTheLineTheBoxesName) {
    const struct {
        const char* name;
        std::function<void(IFaceCommands&, const TFaceChoices&)> run;
        std::string command;  // the first command on the line
    } cases[] = {
        {"print", [](IFaceCommands& c, const TFaceChoices& s) { c.PrintExecute(s); },
         commands::kFpr},
        {"clear", [](IFaceCommands& c, const TFaceChoices& s) { c.ClearExecute(s); },
         commands::kRes},
        {"record", [](IFaceCommands& c, const TFaceChoices& s) { c.ReadArcNExecute(s, "7"); },
         commands::Rd(7)},
        {"harvest", [](IFaceCommands& c, const TFaceChoices& s) { c.HarvestExecute(s); },
         commands::Rd(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.link.sent.clear();
        rig.link.port = 0;
        c.run(commands(), Choices(" com12", "9600"));
        ASSERT_FALSE(rig.link.sent.empty());
        EXPECT_EQ(rig.link.sent.front(), c.command);
        EXPECT_EQ(rig.link.port, 12);
        EXPECT_EQ(rig.link.baud, 9600);
    }
}

TEST_F(FaceCommands, ThePrintOnTheMetersPrinterFollowsTheBox) {
    commands().PrintExecute(Choices("COM1", "4800", true));
    EXPECT_EQ(rig.link.sent, std::vector<std::string>{commands::kRpr});
}

TEST_F(FaceCommands, ASpeedBoxNamingNoSpeedShowsTheDefaultBeforeTheActionRuns) {
    commands().ClearExecute(Choices("COM1", "19200"));
    EXPECT_EQ(rig.link.baud, 4800);
    EXPECT_EQ(rig.view.speedText, "4800");
    ASSERT_FALSE(rig.view.events.empty());
    EXPECT_EQ(rig.view.events.front(), "speed 4800") << "shown before anything else";
}

TEST_F(FaceCommands, TheTimerCorrectsTheSpeedBoxOnlyWhenAPrintRan) {
    rig.view.speedText = "19200";
    // The switch off: no print, the box as typed (the operator may be typing into it).
    EXPECT_FALSE(commands().TimerTimer({false, 5}, Choices("COM1", "19200")));
    EXPECT_EQ(rig.view.speedText, "19200");
    bool printed = false;
    for (int tick = 0; tick < 10 && !printed; ++tick)
        printed = commands().TimerTimer({true, 5}, Choices("COM1", "19200"));
    ASSERT_TRUE(printed);
    EXPECT_EQ(rig.link.baud, 4800);
    EXPECT_EQ(rig.view.speedText, "4800");
}

}  // namespace
}  // namespace virel
