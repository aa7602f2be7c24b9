#include <gtest/gtest.h>

#include "reports/ReportCommandLine.h"

namespace virel {
namespace {

using Kind = TReportCommand::Kind;

TEST(ReportCommandLine, AReportWithItsPeriodFileAndUnit) {
    const TReportCommand none = ParseReportCommand({"/trace"});
    EXPECT_EQ(none.kind, Kind::None) << "the window starts";

    const TReportCommand report =
        ParseReportCommand({"/REPORT", "/from", "2025-09-01", "/to", "2025-09-30", "/out",
                            "D:\\Отчёты\\сентябрь.XLSX"});
    EXPECT_EQ(report.kind, Kind::Report);
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.period.from.month, 9);
    EXPECT_EQ(report.period.to.day, 30);
    EXPECT_FALSE(report.csv);
    EXPECT_EQ(report.unit, TDoseUnit::Gy);
    EXPECT_EQ(report.out, "D:\\Отчёты\\сентябрь.XLSX");

    const TReportCommand csv = ParseReportCommand(
        {"/report", "/unit", "cGy", "/out", "a.csv", "/to", "2025-01-01", "/from", "2025-01-01"});
    EXPECT_EQ(csv.error, "");
    EXPECT_TRUE(csv.csv);
    EXPECT_EQ(csv.unit, TDoseUnit::cGy);

    EXPECT_FALSE(csv.registry);

    const TReportCommand registry =
        ParseReportCommand({"/report", "/from", "2025-01-01", "/to", "2025-12-31", "/out",
                            "год.xlsx", "/Registry", "/ROOM", "Кабинет 2"});
    EXPECT_EQ(registry.error, "");
    EXPECT_TRUE(registry.registry);
    EXPECT_EQ(registry.room, "Кабинет 2");
    const TReportCommand allRooms = ParseReportCommand(
        {"/report", "/registry", "/from", "2025-01-01", "/to", "2025-12-31", "/out", "a.csv"});
    EXPECT_EQ(allRooms.error, "");
    EXPECT_TRUE(allRooms.registry);
    EXPECT_EQ(allRooms.room, "");

    const TReportCommand catalogue = ParseReportCommand({"/catalogue", "K.csv"});
    EXPECT_EQ(catalogue.kind, Kind::Catalogue);
    EXPECT_EQ(catalogue.error, "");
    EXPECT_EQ(catalogue.file, "K.csv");
}

TEST(ReportCommandLine, AWrongCommandLineSaysWhatIsWrongOnOneLine) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"/report", "/from", "2025-09-01", "/to", "2025-09-30"}, "нужно: /report"},
        {{"/report", "/from", "2025-02-29", "/to", "2025-09-30", "/out", "a.xlsx"},
         "/from «2025-02-29»"},
        {{"/report", "/from", "01.09.2025", "/to", "2025-09-30", "/out", "a.xlsx"},
         "/from «01.09.2025»"},
        {{"/report", "/from", "2025-09-01", "/to", "2025-08-31", "/out", "a.xlsx"}, "раньше /from"},
        {{"/report", "/from", "2025-09-01", "/to", "2025-09-30", "/out", "a.pdf"}, "/out «a.pdf»"},
        {{"/report", "/from", "2025-09-01", "/to", "2025-09-30", "/out", "a.csv", "/unit", "gy"},
         "/unit «gy»"},
        {{"/report", "/from", "2025-09-01", "/to", "2025-09-30", "/out", "a.csv", "/x"}, "«/x»"},
        {{"/report", "/from", "2025-09-01", "/from", "2025-09-02"}, "повторяется /from"},
        {{"/report", "/from"}, "после /from нет значения"},
        {{"/catalogue"}, "после /catalogue нет значения"},
        {{"/catalogue", "a.csv", "/report"}, "нельзя указывать вместе"},
        {{"/report", "/from", "2025-09-01", "/to", "2025-09-30", "/out", "a.csv", "/room", "1"},
         "только вместе с /registry"},
        {{"/report", "/from", "2025-09-01", "/to", "2025-09-30", "/out", "a.csv", "/registry",
          "/room"},
         "после /room нет значения"},
        {{"/catalogue", "a.csv", "/registry"}, "«/registry»"},
    };
    for (const auto& [arguments, says] : wrong) {
        const TReportCommand command = ParseReportCommand(arguments);
        EXPECT_NE(command.kind, Kind::None);
        EXPECT_NE(command.error.find(says), std::string::npos) << command.error;
        EXPECT_EQ(command.error.find('\n'), std::string::npos);
    }
}

// A scheduled task on a computer without stored settings gives the registry's connection on
// its command line, as /push takes it.
TEST(ReportCommandLine, TheRegistrysReportTakesAConnectionAsThePushDoes) {
    const TReportCommand given = ParseReportCommand(
        {"/report", "/from", "2025-01-01", "/to", "2025-12-31", "/out", "год.xlsx", "/registry",
         "/Connection", "Driver={PostgreSQL Unicode};Server=10.0.0.5;Uid=virel;", "/room",
         "Ангио"});
    EXPECT_EQ(given.kind, Kind::Report);
    EXPECT_EQ(given.error, "");
    EXPECT_TRUE(given.registry);
    EXPECT_EQ(given.room, "Ангио");
    EXPECT_EQ(given.connection,
              std::optional<std::string>("Driver={PostgreSQL Unicode};Server=10.0.0.5;Uid=virel;"));
    const TReportCommand stored = ParseReportCommand(
        {"-REPORT", "-from", "2025-01-01", "-to", "2025-12-31", "-out", "год.xlsx", "-registry"});
    EXPECT_EQ(stored.error, "");
    EXPECT_TRUE(stored.registry);
    EXPECT_FALSE(stored.connection) << "the stored one";

    const TReportCommand local =
        ParseReportCommand({"/report", "/from", "2025-01-01", "/to", "2025-12-31", "/out",
                            "год.xlsx", "/connection", "DSN=Клиника"});
    EXPECT_NE(local.error.find("/connection"), std::string::npos) << local.error;
    EXPECT_NE(local.error.find("/registry"), std::string::npos) << local.error;
}

// A catalogue whose K is questioned is taken from the command line only when /accept says so.
TEST(ReportCommandLine, TheCatalogueTakesAQuestionedKOnlyWithAccept) {
    EXPECT_FALSE(ParseReportCommand({"/catalogue", "K.csv"}).accept);
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"/catalogue", "K.csv", "/accept"}, {"-ACCEPT", "-catalogue", "K.csv"}}) {
        const TReportCommand command = ParseReportCommand(arguments);
        EXPECT_EQ(command.error, "");
        EXPECT_EQ(command.file, "K.csv");
        EXPECT_TRUE(command.accept);
    }
    EXPECT_NE(ParseReportCommand({"/catalogue", "K.csv", "/accept", "yes"}).error.find("«yes»"),
              std::string::npos);
}

// The local levels of all rooms' medians go to a catalogue file of their own, only from all
// rooms of the registry.
TEST(ReportCommandLine, TheLocalLevelsFileGoesWithTheRegistrysReportOfAllRooms) {
    const std::vector<std::string> report = {"/report", "/from", "2025-01-01", "/to",
                                             "2025-12-31", "/out", "год.xlsx"};
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> arguments = report;
        arguments.insert(arguments.end(), more.begin(), more.end());
        return ParseReportCommand(arguments);
    };
    const TReportCommand levels = with({"/registry", "/Levels", "Местные РДУ.CSV"});
    EXPECT_EQ(levels.error, "");
    EXPECT_EQ(levels.levels, "Местные РДУ.CSV");
    EXPECT_EQ(with({"/registry"}).levels, "") << "none unless asked";
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{"/levels", "a.csv"}, "только вместе с /registry"},
        {{"/registry", "/room", "1", "/levels", "a.csv"}, "без /room"},
        {{"/registry", "/levels", "a.xlsx"}, "/levels «a.xlsx»"},
        {{"/registry", "/levels"}, "после /levels нет значения"},
    };
    for (const auto& [more, says] : wrong) {
        const TReportCommand command = with(more);
        EXPECT_NE(command.error.find(says), std::string::npos) << command.error;
    }
}

}  // namespace
}  // namespace virel
