// The registry's entries of the report window's sources: there only when the registry is
// configured, and a server that cannot be reached gives the reason, never an exception.
#include <gtest/gtest.h>

#include "forms/JournalView.h"
#include "forms/ReportSources.h"

namespace virel {
namespace {

TEST(RegistryReportSources, AllRoomsAndThisRoomOnlyWhenConfiguredEachWithTheReasonItFails) {
    EXPECT_TRUE(RegistryReportSources({}).empty());
    EXPECT_TRUE(RegistryReportSources({"DSN=virel", " ", "секрет"}).empty());

    const std::string password = "секретный-пароль-7";
    const auto sources = RegistryReportSources({"DSN=virel-no-such-source", "Рентген 3", password});
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].name, "Все кабинеты");
    EXPECT_EQ(sources[1].name, "Кабинет на сервере");
    const TPeriod period = PeriodBetween({2025, 9, 1, 0, 0, 0, 0}, {2025, 9, 30, 0, 0, 0, 0});
    for (const TReportSource& source : sources) {
        const TReportOutcome outcome = source.report(period, TDoseUnit::Gy);
        EXPECT_FALSE(outcome.report.has_value()) << source.name;
        EXPECT_FALSE(outcome.error.empty()) << source.name;
        EXPECT_EQ(outcome.error.find(password), std::string::npos) << outcome.error;
    }
}

}  // namespace
}  // namespace virel
