// The period report's figures against an independent calculation (independent_report.py:
// exact fractions and Python's own median and quantiles), in every unit, cell text by text.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "reports/PeriodReport.h"
#include "reports/ReportTables.h"

namespace virel {
namespace {

struct TCase {
    TPeriod period;
    std::vector<TExamKind> catalogue;
    std::vector<TExamRow> rows;
    std::vector<std::string> doseTexts;  // each row's dose as the meter gives it
};

std::string IsoDate(const DateTime& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string KText(const std::optional<double>& k) {
    if (!k) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", *k);
    return text;
}

std::int64_t Minute(const DateTime& t) {
    return ToMilliseconds(t) / 60'000;
}

// A meter's dose: whole Gy·cm² and a fraction byte, read as its decimal digits.
void AddRow(TCase& c, std::int64_t minute, int whole, int fraction,
            std::optional<std::int64_t> kind, std::optional<int> birth) {
    const std::string text = std::to_string(whole) + "." + std::to_string(fraction);
    c.doseTexts.push_back(text);
    c.rows.push_back({minute, std::stod(text), kind, birth});
}

// The lines the independent calculation prints, as made from the report's tables.
std::multiset<std::string> OurLines(const TCase& c) {
    const TPeriodReport report = ComputeReport(c.period, c.rows, c.catalogue);
    std::multiset<std::string> lines;
    for (const auto& [unit, name] :
         {std::pair{TDoseUnit::Gy, "Gy"}, {TDoseUnit::cGy, "cGy"}, {TDoseUnit::mGy, "mGy"}}) {
        const TBook book = ReportBook(report, unit);
        for (const auto& row : book.sheets[0].rows) {
            std::string line = "kind\t" + row[0].text + "\t" + name;
            for (std::size_t i = 1; i < row.size(); ++i) line += "\t" + row[i].text;
            lines.insert(line);
        }
        for (const auto& row : book.sheets[1].rows) {
            lines.insert("month\t" + row[0].text + "\t" + name + "\t" + row[1].text + "\t" +
                         row[2].text);
        }
    }
    return lines;
}

std::multiset<std::string> IndependentLines(const TCase& c) {
    char path[] = "/tmp/report-case-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path);
        out << "period\t" << IsoDate(c.period.from) << "\t" << IsoDate(c.period.to) << "\n";
        for (const TExamKind& k : c.catalogue)
            out << "kind\t" << k.id << "\t" << k.name << "\t" << KText(k.kAdult) << "\t"
                << KText(k.kChild) << "\n";
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            const TExamRow& r = c.rows[i];
            out << "row\t" << r.minute << "\t" << c.doseTexts[i] << "\t"
                << (r.kindId ? std::to_string(*r.kindId) : "-") << "\t"
                << (r.birthYear ? std::to_string(*r.birthYear) : "-") << "\n";
        }
    }
    const std::string command =
        "/usr/bin/python3 " VIREL_INDEPENDENT_REPORT " " + std::string(path);
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    EXPECT_TRUE(pipe && pclose(pipe) == 0) << command;
    std::remove(path);
    std::multiset<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

void ExpectAgreement(const TCase& c) {
    const auto ours = OurLines(c);
    const auto theirs = IndependentLines(c);
    EXPECT_FALSE(theirs.empty());
    EXPECT_EQ(ours, theirs);
}

const TPeriod kYear{{2025, 1, 1}, {2025, 12, 31}};

TEST(ReportArithmetic, PercentilesOnOddAndEvenCountsAndASingleRecord) {
    for (int count : {1, 2, 3, 4, 5, 6, 7, 8, 11, 12}) {
        TCase c;
        c.period = kYear;
        c.catalogue = {{1, "Грудная клетка", 0.18, 0.3}};
        std::mt19937 random(static_cast<unsigned>(count));
        for (int i = 0; i < count; ++i) {
            AddRow(c, Minute({2025, 3, 1 + i, 10, 0}), static_cast<int>(random() % 40),
                   static_cast<int>(random() % 256), 1, 1980);
        }
        SCOPED_TRACE(count);
        ExpectAgreement(c);
    }
}

TEST(ReportArithmetic, AgeGroupsAndMissingKOrYearGiveNoEffectiveDose) {
    TCase c;
    c.period = {{2024, 11, 15}, {2025, 2, 10}};
    c.catalogue = {{1, "Грудная клетка", 0.18, 0.3},
                   {2, "Без K", std::nullopt, std::nullopt},
                   {3, "Только взрослые", 0.05, std::nullopt}};
    const std::int64_t when = Minute({2025, 1, 20, 9, 30});
    AddRow(c, when, 10, 0, 1, 2008);           // 17 in 2025: a child
    AddRow(c, when, 10, 0, 1, 2007);           // 18: an adult
    AddRow(c, when, 3, 125, 1, std::nullopt);  // no year of birth
    AddRow(c, when, 7, 5, 2, 1950);            // a kind without K
    AddRow(c, when, 2, 255, 3, 2015);          // a child where only adults have K
    AddRow(c, when, 2, 1, 3, 1960);
    AddRow(c, Minute({2024, 12, 31, 23, 59}), 1, 7, std::nullopt, 1990);  // no kind
    AddRow(c, when, 4, 4, 99, 1990);  // a kind no longer in the catalogue
    ExpectAgreement(c);

    const TBook book = ReportBook(ComputeReport(c.period, c.rows, c.catalogue), TDoseUnit::Gy);
    const auto& kinds = book.sheets[0].rows;
    ASSERT_EQ(kinds.size(), 5u);
    EXPECT_EQ(kinds[0][0].text, "Без K");
    EXPECT_EQ(kinds[0][6].kind, TBookCell::Kind::Empty) << "empty, never zero";
    EXPECT_EQ(kinds[0][7].kind, TBookCell::Kind::Empty);
    EXPECT_EQ(kinds[3][0].text, kWithoutKindRow);
    EXPECT_EQ(kinds[3][1].text, "2");
    EXPECT_EQ(book.sheets[1].rows.size(), 4u) << "November to February";
}

TEST(ReportArithmetic, AnEmptyPeriodHasItsMonthsAndNoFigures) {
    TCase c;
    c.period = {{2025, 2, 1}, {2025, 4, 30}};
    c.catalogue = {{1, "Грудная клетка", 0.18, 0.3}};
    ExpectAgreement(c);
    const TBook book = ReportBook(ComputeReport(c.period, c.rows, c.catalogue), TDoseUnit::cGy);
    ASSERT_EQ(book.sheets[0].rows.size(), 2u) << "only the rows apart and all";
    for (const auto& row : book.sheets[0].rows) {
        EXPECT_EQ(row[1].text, "0");
        EXPECT_EQ(row[3].kind, TBookCell::Kind::Empty) << "no median of nothing";
        EXPECT_EQ(row[6].kind, TBookCell::Kind::Empty);
    }
    ASSERT_EQ(book.sheets[1].rows.size(), 3u);
    EXPECT_EQ(book.sheets[1].rows[0][0].text, "02.2025");
    EXPECT_EQ(book.sheets[1].rows[2][2].text, "0.0");
}

TEST(ReportArithmetic, RandomJournalsAgreeInEveryUnit) {
    std::mt19937 random(20250914);
    for (int round = 0; round < 6; ++round) {
        TCase c;
        c.period = {{2021, 1 + round, 1}, {2025, 12, 31}};
        for (int k = 1; k <= 5; ++k) {
            auto coefficient = [&]() -> std::optional<double> {
                if (random() % 5 == 0) return std::nullopt;
                return static_cast<double>(random() % 2'000'000) / 1e6;
            };
            c.catalogue.push_back({k, "Вид " + std::to_string(k), coefficient(), coefficient()});
        }
        const int count = 200 + static_cast<int>(random() % 300);
        for (int i = 0; i < count; ++i) {
            const DateTime when{2021 + static_cast<int>(random() % 5),
                                1 + static_cast<int>(random() % 12),
                                1 + static_cast<int>(random() % 28),
                                static_cast<int>(random() % 24), static_cast<int>(random() % 60)};
            if (ToMilliseconds(when) < ToMilliseconds(c.period.from)) continue;
            std::optional<std::int64_t> kind;
            if (random() % 6 != 0) kind = 1 + random() % 5;
            std::optional<int> birth;
            if (random() % 8 != 0) birth = 1930 + static_cast<int>(random() % 95);
            AddRow(c, Minute(when), static_cast<int>(random() % 300),
                   static_cast<int>(random() % 256), kind, birth);
        }
        SCOPED_TRACE(round);
        ExpectAgreement(c);
    }
}

// Rounding happens once, from the exact value: a percentile half way between two whole mGy·cm²
// shows the same digits in every unit.
TEST(ReportArithmetic, UnitsShowTheSameExactValue) {
    const std::vector<std::int64_t> doses = {1000, 1001};  // mGy·cm²: the median is 1000.5
    EXPECT_EQ(PercentileQuarter(doses, 2), 4002);
    EXPECT_EQ(PercentileQuarter(doses, 3), 4003);  // 1000.75
    EXPECT_EQ(QuarterDoseCell(4002, TDoseUnit::Gy).text, "1.001");
    EXPECT_EQ(QuarterDoseCell(4002, TDoseUnit::cGy).text, "100.1");
    EXPECT_EQ(QuarterDoseCell(4002, TDoseUnit::mGy).text, "1001");
    EXPECT_EQ(QuarterDoseCell(4001, TDoseUnit::mGy).text, "1000");
    EXPECT_EQ(DoseCell(65'535'255, TDoseUnit::Gy).text, "65535.255");
    EXPECT_EQ(DoseCell(65'535'255, TDoseUnit::cGy).text, "6553525.5");
    EXPECT_DOUBLE_EQ(DoseCell(65'535'255, TDoseUnit::cGy).number, 6553525.5);
    EXPECT_EQ(DoseCell(7, TDoseUnit::Gy).text, "0.007");
    EXPECT_EQ(MilliOf(12.7), 12700);
    EXPECT_EQ(MilliOf(0.255), 255);
    EXPECT_EQ(MeanEffectiveCell(2'000'000, 3).text, "0.001");  // 0.000667 mSv
    EXPECT_EQ(MeanEffectiveCell(1'499'999, 1).text, "0.001");
    EXPECT_EQ(MeanEffectiveCell(1'500'000, 1).text, "0.002");
    for (TDoseUnit unit : {TDoseUnit::Gy, TDoseUnit::cGy, TDoseUnit::mGy}) {
        const TBook book = ReportBook(ComputeReport(kYear, {}, {}), unit);
        for (const auto& sheet : book.sheets) {
            for (const std::string& header : sheet.headers) {
                if (header.find("ДАП") != std::string::npos) {
                    EXPECT_NE(header.find(DoseUnitText(unit)), std::string::npos) << header;
                }
            }
        }
    }
}

}  // namespace
}  // namespace virel
