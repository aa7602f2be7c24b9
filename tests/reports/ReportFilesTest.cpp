// The report's files read back by independent readers: Python's csv module for the CSV text,
// openpyxl for the workbook.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "reports/ReportCsv.h"
#include "hash/Sha256.h"
#include "fileexport/ReportXlsx.h"
#include "reports/ReportTables.h"

namespace virel {
namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "report-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<std::string> Output(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[65536];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    EXPECT_TRUE(pipe && pclose(pipe) == 0) << command << "\n" << text;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const std::string kOdd = "Снимок \"с нагрузкой\"; две проекции";

// A report with an odd kind name (quotes and a separator) and a name of 10,000 characters.
TBook OddBook(TDoseUnit unit, std::string& longName) {
    longName.clear();
    while (longName.size() < 10'000) longName += "Ш;\"";
    const std::vector<TExamKind> catalogue = {{1, kOdd, 0.18, 0.3}, {2, longName, 0.1, 0.1}};
    const auto minute = [](DateTime t) { return ToMilliseconds(t) / 60'000; };
    const std::vector<TExamRow> rows = {{minute({2025, 8, 3, 9, 0}), 12.7, 1, 1980},
                                        {minute({2025, 8, 4, 9, 0}), 3.25, 1, 2015},
                                        {minute({2025, 10, 5, 9, 0}), 1.5, 2, 1950},
                                        {minute({2025, 10, 6, 9, 0}), 0.255, std::nullopt, 1950}};
    return ReportBook(ComputeReport({{2025, 8, 1}, {2025, 10, 31}}, rows, catalogue), unit);
}

TEST(ReportFiles, TheCsvKeepsEveryFieldIntactAndEveryRowOneWidth) {
    TempDir dir;
    std::string longName;
    const std::string csv = ReportCsv(OddBook(TDoseUnit::mGy, longName));
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
    {
        std::ofstream out(dir / "report.csv", std::ios::binary);
        out << csv;
    }
    const auto lines = Output(
        "/usr/bin/python3 -c \"import csv, hashlib, sys\n"
        "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline=''), "
        "delimiter=';'))\n"
        "for r in rows: print(len(r), '|'.join(f if len(f) < 100 else 'long:%d:%s' % "
        "(len(f.encode()), "
        "hashlib.sha256(f.encode()).hexdigest()) for f in r))\" " +
        (dir / "report.csv"));
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_EQ(line.substr(0, 2), "8 ") << line;
    EXPECT_EQ(lines[0], "8 Отчёт за период с 01.08.2025 по 31.10.2025|||||||");
    EXPECT_EQ(lines[1],
              "8 Вид исследования|Число исследований|Суммарный ДАП, мГр·см²|Медиана ДАП, мГр·см²|"
              "75-й процентиль ДАП, мГр·см²|Исследований с эффективной дозой|"
              "Суммарная эффективная доза, мЗв|Средняя эффективная доза, мЗв");
    // 12.7 Gy·cm² of an adult (K 0.18) and 3.25 of a child (K 0.3): 2.286 + 0.975 mSv.
    EXPECT_TRUE(Has(lines, "8 " + kOdd + "|2|15950|7975|10338|2|3,261|1,631"))
        << csv.substr(0, 2000);
    EXPECT_TRUE(Has(lines, "8 long:" + std::to_string(longName.size()) + ":" + Sha256Hex(longName) +
                               "|1|1500|1500|1500|1|0,150|0,150"));
    EXPECT_TRUE(Has(lines, "8 Без вида исследования|1|255|255|255|0||"));
    EXPECT_TRUE(Has(lines, "8 10.2025|2|1755|||||"));
    EXPECT_TRUE(Has(lines, "8 09.2025|0|0|||||"));
}

TEST(ReportFiles, TheWorkbookHasTypedCellsUnitsInHeadersAndTheMonthlyChart) {
    TempDir dir;
    std::string longName;
    WriteReportXlsx(dir / "report.xlsx", "", OddBook(TDoseUnit::Gy, longName));
    const auto lines = Output(VIREL_REPORT_READER " " + (dir / "report.xlsx"));
    const std::string kinds = "По видам исследований";
    const std::string months = "По месяцам";
    EXPECT_TRUE(Has(lines, "sheet\t" + kinds));
    EXPECT_TRUE(Has(lines, "sheet\t" + months));
    EXPECT_TRUE(Has(lines, "cell\t" + kinds +
                               "\tR1C1\tstr\tОтчёт за период с 01.08.2025 по 31.10.2025\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + kinds + "\tR2C3\tstr\tСуммарный ДАП, Гр·см²\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + kinds + "\tR2C5\tstr\t75-й процентиль ДАП, Гр·см²\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + kinds + "\tR3C1\tstr\t" + kOdd + "\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + kinds + "\tR3C2\tnumber\t2\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + kinds + "\tR3C3\tnumber\t15.95\t0.000"));
    EXPECT_TRUE(Has(lines, "cell\t" + kinds + "\tR3C7\tnumber\t3.261\t0.000"));
    // The 10,000 characters arrive whole.
    bool longFound = false;
    for (const std::string& line : lines)
        longFound = longFound || line.find("\tR4C1\tstr\t" + longName + "\t") != std::string::npos;
    EXPECT_TRUE(longFound);
    // No effective dose for the records without a kind: the cells are not there at all.
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("\tR5C7\t"), std::string::npos) << line;
        EXPECT_EQ(line.find("\tR5C8\t"), std::string::npos) << line;
    }
    EXPECT_TRUE(Has(lines, "cell\t" + months + "\tR2C3\tstr\tСуммарный ДАП, Гр·см²\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + months + "\tR3C1\tdatetime\t2025-08-01 00:00:00\tmm.yyyy"));
    EXPECT_TRUE(Has(lines, "cell\t" + months + "\tR4C2\tnumber\t0\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + months + "\tR5C3\tnumber\t1.755\t0.000"));
    // The chart's categories: the months as their cells read, as text in a hidden column.
    EXPECT_TRUE(Has(lines, "cell\t" + months + "\tR3C4\tstr\t08.2025\tGeneral"));
    EXPECT_TRUE(Has(lines, "cell\t" + months + "\tR5C4\tstr\t10.2025\tGeneral"));
    EXPECT_TRUE(Has(lines, "hidden\t" + months + "\tC4"));
    EXPECT_FALSE(Has(lines, "hidden\t" + kinds + "\tC4"));
    EXPECT_TRUE(Has(lines, "chart\t" + months +
                               "\tbarChart\tСуммарный ДАП по месяцам, Гр·см²\t"
                               "Суммарный ДАП, Гр·см²\t'" +
                               months + "'!$D$3:$D$5\t'" + months + "'!$C$3:$C$5"))
        << [&] {
               std::string all;
               for (const auto& l : lines)
                   if (l.rfind("chart", 0) == 0) all += l + "\n";
               return all;
           }();
}

}  // namespace
}  // namespace virel
