// The report workbook as a spreadsheet program prints it: LibreOffice Calc converts it to PDF
// without a display (Debian's libreoffice-calc-nogui), and poppler's pdftotext reads the pages
// back as laid-out text. The months on the chart's axis read as on their cells, each page is
// one page wide, and the headers repeat on every page, whole, above the numbers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "fileexport/ReportXlsx.h"
#include "reports/ReportTables.h"

namespace virel {
namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "print-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

std::string Output(const std::string& command, int& status) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[65536];
    std::size_t n = 0;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    status = pipe ? pclose(pipe) : -1;
    return text;
}

// The workbook printed: the text of each page, laid out as on paper. A profile of the run's
// own, so that runs side by side do not share one; the first start of LibreOffice makes it
// (some ten seconds).
std::vector<std::vector<std::string>> PrintedPages(const TempDir& dir, const std::string& xlsx) {
    int status = 0;
    const std::string converted =
        Output("timeout 240 soffice -env:UserInstallation=file://" + dir.Path() +
                   "/profile --headless --convert-to pdf --outdir " + dir.Path() + " " +
                   dir / xlsx + " 2>&1",
               status);
    EXPECT_EQ(status, 0) << converted;
    const std::string pdf = dir / (xlsx.substr(0, xlsx.rfind('.')) + ".pdf");
    const std::string text = Output("pdftotext -layout " + pdf + " - 2>&1", status);
    EXPECT_EQ(status, 0) << text;
    std::vector<std::vector<std::string>> pages(1);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        for (auto feed = line.find('\f'); feed != std::string::npos; feed = line.find('\f')) {
            pages.back().push_back(line.substr(0, feed));
            pages.emplace_back();
            line.erase(0, feed + 1);
        }
        pages.back().push_back(line);
    }
    while (!pages.empty() && pages.back().size() <= 1 && pages.back()[0].empty()) pages.pop_back();
    return pages;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// Where `month` ("03.2011") stands alone in the line, not as part of a date ("01.03.2011").
std::vector<std::size_t> MonthsIn(const std::string& line, const std::string& month) {
    std::vector<std::size_t> found;
    for (auto at = line.find(month); at != std::string::npos; at = line.find(month, at + 1)) {
        const char before = at > 0 ? line[at - 1] : ' ';
        if (before != '.' && (before < '0' || before > '9')) found.push_back(at);
    }
    return found;
}

// The first line of the page that holds `text` (a month: standing alone); the page's size when
// none does.
std::size_t LineOf(const std::vector<std::string>& page, const std::string& text,
                   bool month = false) {
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (month ? !MonthsIn(page[i], text).empty() : page[i].find(text) != std::string::npos)
            return i;
    }
    return page.size();
}

std::string Shown(const std::vector<std::string>& page) {
    std::string all;
    for (const std::string& line : page) all += line + "\n";
    return all;
}

// Forty kinds of examination over one month, March 2011, with DAP in the unit of the longest
// headers.
TBook MarchBook() {
    std::vector<TExamKind> catalogue;
    std::vector<TExamRow> rows;
    for (int k = 1; k <= 40; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "Рентгенография, вид %02d", k);
        catalogue.push_back({k, name, 0.1 + k / 100.0, 0.2});
        for (int i = 0; i < 3; ++i) {
            const DateTime at{2011, 3, 1 + (k + i) % 28, 9 + i, 0};
            rows.push_back({ToMilliseconds(at) / 60'000, 1.25 * k + i, k, 1970 + i * 20});
        }
    }
    return ReportBook(ComputeReport({{2011, 3, 1}, {2011, 3, 31}}, rows, catalogue),
                      TDoseUnit::cGy);
}

TEST(ReportPrint, EveryPageIsOneWideWithItsHeadersAboveTheNumbersAndTheMonthAsOnItsCell) {
    TempDir dir;
    const TBook book = MarchBook();
    WriteReportXlsx(dir / "report.xlsx", "", book);
    const auto pages = PrintedPages(dir, "report.xlsx");
    ASSERT_FALSE(pages.empty());

    const TBookSheet& kinds = book.sheets[0];
    const TBookSheet& months = book.sheets[1];
    std::size_t kindPages = 0, monthPages = 0;
    for (const auto& page : pages) {
        const std::size_t firstKind = LineOf(page, "Рентгенография, вид");
        const bool ofMonths = firstKind == page.size();
        const TBookSheet& sheet = ofMonths ? months : kinds;
        ++(ofMonths ? monthPages : kindPages);
        // The first row of numbers: a kind's name, or the month.
        const std::size_t firstRow = ofMonths ? LineOf(page, "03.2011", true) : firstKind;
        if (firstRow == page.size()) {
            ADD_FAILURE() << "a page without the table's first column:\n" << Shown(page);
            continue;
        }
        std::string below;
        for (const std::string& header : sheet.headers) {
            for (const std::string& word : Words(header)) {
                if (LineOf(page, word) >= firstRow) below += " «" + word + "»";
            }
        }
        EXPECT_TRUE(below.empty()) << "header words not above the numbers:" << below << "\n"
                                   << Shown(page);
        // The month on the chart's axis reads as on its cell, and no other month is there.
        std::size_t shown = 0, others = 0;
        for (const std::string& line : page) {
            shown += MonthsIn(line, "03.2011").size();
            others += MonthsIn(line, "01.2011").size();
        }
        EXPECT_EQ(shown, ofMonths ? 2u : 0u) << Shown(page);
        EXPECT_EQ(others, 0u) << Shown(page);
    }
    // One page wide: the kinds take the pages their rows need, the month one page.
    EXPECT_GE(kindPages, 1u);
    EXPECT_LE(kindPages, 2u);
    EXPECT_EQ(monthPages, 1u);
}

}  // namespace
}  // namespace virel
