// The harvest from the command line: its arguments, its exit code for each way a harvest ends,
// its summary line and the line of the harvest file, and a whole harvest run with the view that
// shows nothing and the Esc key that is never down.
#include <gtest/gtest.h>

#include "core/meter/DeviceTexts.h"
#include "core/meter/HarvestCommand.h"
#include "tests/core/OpsFakes.h"

namespace virel {
namespace {

using fakes::OpsRig;

THarvestCommand Parse(std::vector<std::string> arguments) {
    return ParseHarvestCommand(arguments);
}

TEST(HarvestCommandLine, WithoutTheHarvestSwitchTheWindowStartsWhateverElseIsThere) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {}, {"/trace"}, {"/port", "COM3"}, {"/harvst"}, {"harvest"}, {"/harvest:"}}) {
        const THarvestCommand command = Parse(arguments);
        EXPECT_FALSE(command.requested) << arguments.size();
        EXPECT_TRUE(command.error.empty());
    }
}

TEST(HarvestCommandLine, SwitchesInAnyCaseWithASlashOrADash) {
    THarvestCommand plain = Parse({"/harvest"});
    EXPECT_TRUE(plain.requested);
    EXPECT_TRUE(plain.error.empty());
    EXPECT_FALSE(plain.port);
    EXPECT_FALSE(plain.speed);
    EXPECT_FALSE(plain.trace);

    const THarvestCommand full = Parse({"-SPEED", "9600", "/Port", "com12", "-Harvest", "/TRACE"});
    EXPECT_TRUE(full.requested);
    EXPECT_EQ(full.error, "");
    ASSERT_TRUE(full.port);
    EXPECT_EQ(full.port->Text(), "com12");
    EXPECT_EQ(full.port->Number(), 12) << "parsed once, where the command line is read";
    EXPECT_EQ(full.speed, std::optional<std::uint32_t>(9600));
    EXPECT_TRUE(full.trace);

    EXPECT_EQ(Parse({"/harvest", "/speed", " 4800 "}).speed, std::optional<std::uint32_t>(4800));
}

TEST(HarvestCommandLine, ABadSwitchIsRefusedInOneLineThatSaysWhyAndHowItIsWritten) {
    const std::string usage = texts::kCommandUsage;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"/harvest", "/prot", "COM3"}, "Неизвестный ключ «/prot»"},
        {{"/harvest", "COM3"}, "Неизвестный ключ «COM3»"},
        {{"/harvest", "/port"}, "После ключа «/port» не указано значение"},
        {{"/harvest", "/port", "/speed", "9600"}, "После ключа «/port» не указано значение"},
        {{"/harvest", "/port", "COM0"}, "«COM0» не является именем порта (COM1–COM255)"},
        {{"/harvest", "/port", "LPT1"}, "«LPT1» не является именем порта (COM1–COM255)"},
        {{"/harvest", "/speed", "115200"}, "Скорость «115200» не поддерживается (4800 или 9600)"},
        {{"/harvest", "/port", "COM1", "-PORT", "COM2"}, "Ключ «-PORT» указан дважды"},
        {{"/harvest", "/speed", "4800", "/speed", "4800"}, "Ключ «/speed» указан дважды"},
    };
    for (const auto& [arguments, reason] : cases) {
        const THarvestCommand command = Parse(arguments);
        EXPECT_TRUE(command.requested);
        EXPECT_EQ(command.error, reason + usage);
        EXPECT_EQ(command.error.find('\n'), std::string::npos);
    }
}

THarvestResult Done(std::size_t added) {
    THarvestResult result;
    result.meter = 42;
    result.read = 256;
    result.added = added;
    return result;
}

TEST(HarvestCommandExit, EachWayAHarvestEndsHasItsCode) {
    EXPECT_EQ(HarvestExitOf(Done(0)), THarvestExit::Done);
    EXPECT_EQ(HarvestExitOf(Done(17)), THarvestExit::Done);
    for (const auto outcome :
         {THarvestResult::Outcome::NoPort, THarvestResult::Outcome::NothingRead,
          THarvestResult::Outcome::TwoMeters}) {
        THarvestResult result;
        result.outcome = outcome;
        EXPECT_EQ(HarvestExitOf(result), THarvestExit::NothingHarvested);
    }
    THarvestResult held = Done(0);
    held.held = true;
    EXPECT_EQ(HarvestExitOf(held), THarvestExit::JournalUnwritable);
    THarvestResult gap = Done(256);
    gap.mayHaveOverwritten = true;
    EXPECT_EQ(HarvestExitOf(gap), THarvestExit::MayHaveOverwritten);
    EXPECT_EQ(static_cast<int>(THarvestExit::Done), 0);
    EXPECT_EQ(static_cast<int>(THarvestExit::NothingHarvested), 1);
    EXPECT_EQ(static_cast<int>(THarvestExit::JournalUnwritable), 2);
    EXPECT_EQ(static_cast<int>(THarvestExit::MayHaveOverwritten), 3);
}

TEST(HarvestCommandExit, RecordsTheJournalTookOnlyWhenAskedAgainAreJudgedAsAHarvests) {
    THarvestResult first = Done(0);
    first.held = true;
    KeptAfterAll(first, 12);
    EXPECT_FALSE(first.held);
    EXPECT_EQ(first.added, 12u);
    EXPECT_EQ(HarvestExitOf(first), THarvestExit::Done);

    THarvestResult all = Done(0);
    all.held = true;
    all.newestJournaled = DateTime{2010, 1, 1, 7, 7};
    all.oldestRead = DateTime{2010, 2, 2, 0, 0};
    KeptAfterAll(all, 256);
    EXPECT_TRUE(all.mayHaveOverwritten);
    EXPECT_EQ(HarvestExitOf(all), THarvestExit::MayHaveOverwritten);

    THarvestResult firstEver = Done(0);
    firstEver.held = true;
    KeptAfterAll(firstEver, 256);
    EXPECT_FALSE(firstEver.mayHaveOverwritten) << "a journal without this meter warns of nothing";
}

TEST(HarvestCommandSummary, TheStatusTextTheGapAndWhereHeldRecordsWent) {
    const RegionalFormats formats;
    EXPECT_EQ(HarvestCommandSummary(Done(17), "COM3", formats, "C:\\V\\VIREL1_Service.db", ""),
              "В журнал добавлено 17 новых записей из 256");

    THarvestResult noPort;
    noPort.outcome = THarvestResult::Outcome::NoPort;
    EXPECT_EQ(HarvestCommandSummary(noPort, "COM9", formats, "x", ""),
              "Архив не собран в журнал: не удалось открыть порт COM9");

    THarvestResult gap = Done(256);
    gap.mayHaveOverwritten = true;
    gap.newestJournaled = DateTime{2010, 1, 1, 7, 7};
    gap.oldestRead = DateTime{2010, 2, 2, 0, 0};
    EXPECT_EQ(HarvestCommandSummary(gap, "COM3", formats, "x", ""),
              "В журнал добавлено 256 новых записей из 256. " + HarvestGapWarning(gap, formats));
    EXPECT_NE(HarvestGapWarning(gap, formats).find("(01.01.2010 7:07:00)"), std::string::npos);

    THarvestResult held = Done(0);
    held.held = true;
    const std::string heldMessage =
        "Не удалось записать в журнал доз записей: 256; они сохранены в журнале "
        "C:\\Users\\u\\AppData\\Roaming\\VIREL1_Service\\VIREL1_Service.db";
    EXPECT_EQ(HarvestCommandSummary(held, "COM3", formats, "C:\\V\\VIREL1_Service.db", heldMessage),
              "Архив прочитан, но журнал доз C:\\V\\VIREL1_Service.db недоступен для записи. " +
                  heldMessage);
    const std::string summary =
        HarvestCommandSummary(held, "COM3", formats, "C:\\V\\VIREL1_Service.db", heldMessage);
    EXPECT_EQ(summary.find(texts::kHarvestHeld), std::string::npos)
        << "the process ends: nothing stays in its memory";
}

TEST(HarvestCommandSummary, RecordsOverAnAlertLevelAreCountedOnlyWhenThereAreAny) {
    const RegionalFormats formats;
    THarvestResult three = Done(17);
    three.alerts = 3;
    EXPECT_EQ(HarvestCommandSummary(three, "COM3", formats, "x", ""),
              "В журнал добавлено 17 новых записей из 256; выше порога оповещения: 3");
    EXPECT_EQ(HarvestSummary(three, "COM3"), "В журнал добавлено 17 новых записей из 256")
        << "the window shows its notice instead";

    THarvestResult gap = Done(256);
    gap.alerts = 1;
    gap.mayHaveOverwritten = true;
    gap.newestJournaled = DateTime{2010, 1, 1, 7, 7};
    gap.oldestRead = DateTime{2010, 2, 2, 0, 0};
    EXPECT_EQ(HarvestCommandSummary(gap, "COM3", formats, "x", ""),
              "В журнал добавлено 256 новых записей из 256; выше порога оповещения: 1. " +
                  HarvestGapWarning(gap, formats));

    // Taken only when asked again: the alerts of that capture count.
    THarvestResult later = Done(0);
    later.held = true;
    KeptAfterAll(later, 5, 2);
    EXPECT_EQ(HarvestCommandSummary(later, "COM3", formats, "x", ""),
              "В журнал добавлено 5 новых записей из 256; выше порога оповещения: 2");
}

TEST(HarvestCommandSummary, TheFileLineBeginsWithTheDateAndTime) {
    EXPECT_EQ(HarvestFileLine(DateTime{2025, 9, 1, 19, 0, 3, 999},
                              "В журнал добавлено 1 новых записей из 256"),
              "2025-09-01 19:00:03 В журнал добавлено 1 новых записей из 256");
}

TEST(HeadlessHarvest, TheWholeArchiveIsReadAndKeptWithoutAWindow) {
    OpsRig rig;
    THeadlessView view;
    TNoEscape keys;
    rig.keys.escape = true;  // the desk's Esc key, which a scheduled harvest never looks at
    TDeviceOperations device(
        view, rig.link, rig.clock, keys, rig.portLock, rig.files, OpsRig::kLogPath,
        [] { return std::unique_ptr<ISpreadsheet>(); }, rig.fileExport, rig.journal, rig.formats);
    const THarvestResult result = device.harvest.Harvest({TLinePort("COM3"), 9600});
    EXPECT_EQ(result.outcome, THarvestResult::Outcome::Done);
    EXPECT_EQ(result.read, 256u);
    EXPECT_EQ(rig.journal.rows.size(), 256u);
    EXPECT_EQ(HarvestExitOf(result), THarvestExit::Done);
    EXPECT_EQ(view.ArchiveNumberText(), "255");
    EXPECT_EQ(rig.link.sent.front(), commands::Rd(0)) << "no end of measurement first";
    EXPECT_TRUE(rig.view.statusHistory.empty()) << "nothing reached the window's view";

    const THarvestResult again = device.harvest.Harvest({TLinePort("COM3"), 9600});
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(rig.journal.rows.size(), 256u);
}

TEST(HeadlessHarvest, TheAlertsTheBatchRaisedReachTheSummary) {
    OpsRig rig;
    rig.journal.batchAlerts = 3;
    const THarvestResult result = rig.device->harvest.Harvest({TLinePort("COM3"), 9600});
    EXPECT_EQ(result.alerts, 3u);
    EXPECT_EQ(HarvestCommandSummary(result, "COM3", rig.formats, "x", ""),
              "В журнал добавлено 256 новых записей из 256; выше порога оповещения: 3");
}

TEST(HeadlessHarvest, AMeterThatDoesNotAnswerTheFirstRecordEndsItAtOnce) {
    OpsRig rig;
    rig.link.answer = [](const std::string&) { return std::string(); };
    rig.device->harvest.GiveUpOnSilentMeter(true);
    const auto start = rig.clock.now;
    const THarvestResult silent = rig.device->harvest.Harvest({TLinePort("COM3"), 9600});
    EXPECT_EQ(silent.outcome, THarvestResult::Outcome::NothingRead);
    EXPECT_EQ(HarvestExitOf(silent), THarvestExit::NothingHarvested);
    EXPECT_EQ(rig.link.sent, (std::vector<std::string>(3, commands::Rd(0))));
    EXPECT_LT(rig.clock.now - start, 6'000);
    EXPECT_TRUE(rig.journal.rows.empty());

    // A first record that answers: a later silence is only a record missing, as in the window.
    rig.link.sent.clear();
    rig.link.answer = [](const std::string& command) {
        return command == commands::Rd(0) ? OpsRig::DefaultAnswer(command) : std::string();
    };
    const THarvestResult later = rig.device->harvest.Harvest({TLinePort("COM3"), 9600});
    EXPECT_EQ(later.outcome, THarvestResult::Outcome::Done);
    EXPECT_EQ(later.read, 1u);
    EXPECT_EQ(rig.link.sent.size(), 1u + 255u * 3u);

    // The window's harvest tries every record: its operator can press Esc.
    OpsRig window;
    window.link.answer = [](const std::string&) { return std::string(); };
    EXPECT_EQ(window.device->harvest.Harvest({TLinePort("COM3"), 9600}).outcome,
              THarvestResult::Outcome::NothingRead);
    EXPECT_EQ(window.link.sent.size(), 256u * 3u);
}

}  // namespace
}  // namespace virel
