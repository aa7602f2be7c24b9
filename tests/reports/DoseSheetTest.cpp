// The patient's dose sheet: its lines against an independent calculation
// (independent_dose_sheet.py: exact fractions), in every unit; its text and HTML forms as the
// clipboard carries them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "reports/DoseSheet.h"

namespace virel {
namespace {

const std::vector<TExamKind> kCatalogue = {{1, "Грудная клетка", 0.18, 0.2},
                                           {2, "Череп; <боковая> & \"прямая\"", std::nullopt, 0.03},
                                           {3, "Кисть\tправая", 0.01, std::nullopt}};

std::string KText(const std::optional<double>& k) {
    if (!k) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", *k);
    return text;
}

struct TInput {
    std::string doseText;  // as the meter gives it
    DateTime when;
    bool timeValid = true;
    std::optional<std::int64_t> kind;
    std::optional<int> birth;
    bool annotated = true;
};

TDoseSheetRecord RecordOf(const TInput& in, std::int64_t id) {
    char minute[32];
    std::snprintf(minute, sizeof minute, "%04d-%02d-%02d %02d:%02d", in.when.year, in.when.month,
                  in.when.day, in.when.hour, in.when.minute);
    TDoseSheetRecord record;
    record.row.id = id;
    record.row.record.dose = std::stod(in.doseText);
    if (in.timeValid) {
        record.row.record.measuredAt = minute;
        record.row.record.firstSeen = "2030-01-01 00:00:00";  // never the one taken
    } else {
        record.row.record.firstSeen = std::string(minute) + ":07";
    }
    if (in.annotated) {
        TAnnotation annotation;
        annotation.recordId = id;
        annotation.kindId = in.kind;
        annotation.birthYear = in.birth;
        annotation.patient = "Иванов";  // never on the sheet
        record.annotation = annotation;
    }
    return record;
}

// The independent lines: DAP in the three units and the effective dose, per input, in order.
std::vector<std::vector<std::string>> Independent(const std::vector<TInput>& inputs) {
    char path[] = "/tmp/dose_sheet_XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path);
        for (const TInput& in : inputs) {
            const TExamKind* kind = nullptr;
            for (const TExamKind& k : kCatalogue)
                if (in.kind && k.id == *in.kind) kind = &k;
            out << in.doseText << "\t" << in.when.year << "\t"
                << (in.birth && in.annotated ? std::to_string(*in.birth) : "-") << "\t"
                << (kind && in.annotated ? KText(kind->kAdult) : "x") << "\t"
                << (kind && in.annotated ? KText(kind->kChild) : "x") << "\n";
        }
    }
    const std::string command =
        "/usr/bin/python3 " VIREL_INDEPENDENT_DOSE_SHEET " " + std::string(path);
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    EXPECT_TRUE(pipe && pclose(pipe) == 0) << command;
    std::remove(path);
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
        if (!line.empty() && line.back() == '\t') fields.push_back("");
        lines.push_back(fields);
    }
    return lines;
}

std::string Dotted(std::string text) {
    for (char& c : text)
        if (c == ',') c = '.';
    return text;
}

// Inputs in date order, so that the sheet's line i is input i.
std::vector<TInput> Inputs() {
    std::vector<TInput> in = {
        {"0.123", {2024, 3, 5, 9, 30}, true, 1, 1975},            // adult
        {"12.7", {2024, 3, 6, 10, 0}, true, 1, 2007},             // 17 in 2024: a child
        {"12.7", {2025, 3, 6, 10, 0}, true, 1, 2007},             // 18 in 2025: an adult
        {"2.05", {2025, 4, 1, 8, 0}, true, 2, 1960},              // no K for adults: no dose
        {"2.05", {2025, 4, 2, 8, 0}, true, 2, 2020},              // a child's K
        {"1.5", {2025, 4, 3, 8, 0}, true, 3, std::nullopt},       // no year of birth: no dose
        {"3.333", {2025, 4, 4, 8, 0}, true, std::nullopt, 1980},  // no kind: no dose
        {"4.4", {2025, 4, 5, 8, 0}, true, 99, 1980},              // a kind not in the catalogue
        {"0.001", {2025, 4, 6, 0, 0}, false, 1, 1950},       // no valid time: the day first seen
        {"7.25", {2025, 4, 7, 8, 0}, true, 1, 1950, false},  // not annotated
    };
    // And random ones: every rounding that can happen to a dose times K.
    std::mt19937 random(21);
    for (int i = 0; i < 200; ++i) {
        TInput r;
        r.doseText = std::to_string(random() % 300) + "." + std::to_string(random() % 1000);
        r.when = {2026, 1 + i / 28 % 12, 1 + i % 28, 12, 0};
        r.kind = 1 + static_cast<std::int64_t>(random() % 3);
        r.birth = 1990 + static_cast<int>(random() % 36);
        in.push_back(r);
    }
    return in;
}

TEST(DoseSheet, LinesAgreeWithAnIndependentCalculationInEveryUnit) {
    const std::vector<TInput> inputs = Inputs();
    std::vector<TDoseSheetRecord> records;
    // Given newest first, as the journal's list shows them: the sheet puts the oldest first.
    for (std::size_t i = inputs.size(); i-- > 0;)
        records.push_back(RecordOf(inputs[i], static_cast<std::int64_t>(i) + 1));
    const auto expected = Independent(inputs);
    ASSERT_EQ(expected.size(), inputs.size());
    const TDoseUnit units[] = {TDoseUnit::Gy, TDoseUnit::cGy, TDoseUnit::mGy};
    for (std::size_t u = 0; u < 3; ++u) {
        const TDoseSheet sheet = DoseSheetOf(records, kCatalogue, units[u], {}, ',');
        ASSERT_EQ(sheet.lines.size(), inputs.size());
        EXPECT_EQ(sheet.headers[2], "ДАП, " + DoseUnitText(units[u]));
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const TDoseSheetLine& line = sheet.lines[i];
            ASSERT_EQ(expected[i].size(), 4u) << i;
            EXPECT_EQ(Dotted(line.dap), expected[i][u]) << i << " " << inputs[i].doseText;
            EXPECT_EQ(Dotted(line.effective), expected[i][3]) << i << " " << inputs[i].doseText;
            EXPECT_EQ(line.dap.find('.'), std::string::npos) << "the separator given";
        }
    }
    const TDoseSheet sheet = DoseSheetOf(records, kCatalogue, TDoseUnit::Gy, {}, '.');
    EXPECT_EQ(sheet.lines[0].date, "05.03.2024");
    EXPECT_EQ(sheet.lines[0].examination, "Грудная клетка");
    EXPECT_EQ(sheet.lines[6].examination, "") << "no kind";
    EXPECT_EQ(sheet.lines[7].examination, "") << "a kind not in the catalogue";
    EXPECT_EQ(sheet.lines[8].date, "06.04.2025") << "the day it was first seen";
    EXPECT_EQ(sheet.lines[9].examination, "");
    EXPECT_EQ(sheet.lines[9].dap, "7.250");
    // Never a zero for an unknown dose; a real dose that rounds to zero shows as one.
    for (std::size_t i : {3u, 5u, 6u, 7u, 9u}) EXPECT_EQ(sheet.lines[i].effective, "") << i;
    EXPECT_EQ(sheet.lines[8].effective, "0.000");
}

TEST(DoseSheet, TextAndTableKeepEveryCellInItsPlace) {
    std::vector<TDoseSheetRecord> records = {
        RecordOf({"0.5", {2025, 9, 2, 8, 0}, true, 3, 1970}, 1),
        RecordOf({"1.25", {2025, 9, 1, 8, 0}, true, 2, 2019}, 2)};
    RegionalFormats formats;
    formats.shortDate = "yyyy-MM-dd";
    const TDoseSheet sheet = DoseSheetOf(records, kCatalogue, TDoseUnit::mGy, formats, ',');
    EXPECT_EQ(DoseSheetText(sheet),
              "Дата\tИсследование\tДАП, мГр·см²\tЭффективная доза, мЗв\r\n"
              "2025-09-01\tЧереп; <боковая> & \"прямая\"\t1250\t0,038\r\n"
              "2025-09-02\tКисть правая\t500\t0,005\r\n");
    EXPECT_EQ(
        DoseSheetTable(sheet),
        "<table border=\"1\"><tr><th>Дата</th><th>Исследование</th><th>ДАП, мГр·см²</th>"
        "<th>Эффективная доза, мЗв</th></tr>"
        "<tr><td>2025-09-01</td><td>Череп; &lt;боковая&gt; &amp; &quot;прямая&quot;</td>"
        "<td>1250</td><td>0,038</td></tr>"
        "<tr><td>2025-09-02</td><td>Кисть\tправая</td><td>500</td><td>0,005</td></tr></table>");
    // Two in one minute, given newest first as the list shows them: in the journal's order.
    const TDoseSheet sameMinute =
        DoseSheetOf({RecordOf({"2.5", {2025, 9, 1, 8, 0}, true, 3, 1970}, 8),
                     RecordOf({"1.5", {2025, 9, 1, 8, 0}, true, 3, 1970}, 7)},
                    kCatalogue, TDoseUnit::Gy, {}, '.');
    ASSERT_EQ(sameMinute.lines.size(), 2u);
    EXPECT_EQ(sameMinute.lines[0].dap, "1.500");
    EXPECT_EQ(sameMinute.lines[1].dap, "2.500");
    // No record chosen: the header alone.
    EXPECT_EQ(DoseSheetText(DoseSheetOf({}, kCatalogue, TDoseUnit::Gy, {}, ',')),
              "Дата\tИсследование\tДАП, Гр·см²\tЭффективная доза, мЗв\r\n");
}

// The clipboard's HTML: its description's offsets point at the document and the fragment, in
// bytes of UTF-8, whatever the fragment's length.
TEST(DoseSheet, TheClipboardsHtmlOffsetsPointAtTheDocumentAndTheFragment) {
    for (const std::string& fragment : {std::string("<table><tr><td>Череп</td></tr></table>"),
                                        std::string(5000, 'x'), std::string()}) {
        const std::string html = ClipboardHtml(fragment);
        const auto number = [&html](const std::string& name) -> std::size_t {
            const auto at = html.find(name + ":");
            if (at == std::string::npos) return std::string::npos;
            return std::stoul(html.substr(at + name.size() + 1, 10));
        };
        ASSERT_EQ(html.rfind("Version:0.9\r\n", 0), 0u);
        const std::size_t startHtml = number("StartHTML"), endHtml = number("EndHTML");
        const std::size_t startFragment = number("StartFragment"),
                          endFragment = number("EndFragment");
        ASSERT_LE(endHtml, html.size());
        EXPECT_EQ(endHtml, html.size());
        EXPECT_EQ(html.compare(startHtml, 6, "<html>"), 0);
        EXPECT_EQ(html.substr(startFragment, endFragment - startFragment), fragment);
        EXPECT_EQ(html.substr(startFragment - 20, 20), "<!--StartFragment-->");
        EXPECT_EQ(html.compare(endFragment, 18, "<!--EndFragment-->"), 0);
    }
}

}  // namespace
}  // namespace virel
