#include "reports/DoseSheet.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "core/DateTimeFormat.h"
#include "reports/PeriodReport.h"

namespace virel {

namespace {

// "YYYY-MM-DD ..." as a day; none for a text that does not begin so.
std::optional<DateTime> DayOfJournalText(const std::string& text) {
    int year = 0, month = 0, day = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d", &year, &month, &day) != 3) return std::nullopt;
    return DateTime{year, month, day, 0, 0, 0, 0};
}

// The meter's time orders and dates the record; without a valid one, the PC's first sight.
std::string WhenOf(const TJournalRow& row) {
    return row.record.measuredAt ? *row.record.measuredAt : row.record.firstSeen;
}

std::string WithSeparator(std::string number, char separator) {
    std::replace(number.begin(), number.end(), '.', separator);
    return number;
}

std::string OneLine(const std::string& text) {
    std::string line = text;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return line;
}

std::string Escaped(const std::string& text) {
    std::string html;
    for (const char c : text) {
        switch (c) {
            case '&':
                html += "&amp;";
                break;
            case '<':
                html += "&lt;";
                break;
            case '>':
                html += "&gt;";
                break;
            case '"':
                html += "&quot;";
                break;
            default:
                html += c;
        }
    }
    return html;
}

std::string Row(const std::vector<std::string>& cells, const char* tag) {
    std::string row = "<tr>";
    for (const std::string& cell : cells)
        row += std::string("<") + tag + ">" + Escaped(cell) + "</" + tag + ">";
    return row + "</tr>";
}

std::string Offset(std::size_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%010zu", value);
    return text;
}

}  // namespace

TDoseSheet DoseSheetOf(const std::vector<TDoseSheetRecord>& records,
                       const std::vector<TExamKind>& catalogue, TDoseUnit unit,
                       const RegionalFormats& formats, char decimalSeparator) {
    std::map<std::int64_t, const TExamKind*> kinds;
    for (const TExamKind& kind : catalogue) kinds[kind.id] = &kind;
    std::vector<const TDoseSheetRecord*> ordered;
    for (const TDoseSheetRecord& record : records) ordered.push_back(&record);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TDoseSheetRecord* a, const TDoseSheetRecord* b) {
                         // Within one minute, in the order the journal took them.
                         const std::string whenA = WhenOf(a->row), whenB = WhenOf(b->row);
                         return whenA != whenB ? whenA < whenB : a->row.id < b->row.id;
                     });

    TDoseSheet sheet;
    sheet.headers = {texts::kDoseSheetDate, texts::kDoseSheetExamination,
                     texts::kDoseSheetDap + DoseUnitText(unit), texts::kDoseSheetEffective};
    for (const TDoseSheetRecord* record : ordered) {
        TDoseSheetLine line;
        const std::optional<DateTime> day = DayOfJournalText(WhenOf(record->row));
        if (day) line.date = DateToText(*day, formats);
        const std::int64_t milli = MilliOf(record->row.record.dose);
        line.dap = WithSeparator(DoseCell(milli, unit).text, decimalSeparator);
        const std::optional<TAnnotation>& note = record->annotation;
        const auto kind = note && note->kindId ? kinds.find(*note->kindId) : kinds.end();
        if (kind != kinds.end()) {
            line.examination = kind->second->name;
            const auto effective =
                day ? EffectiveNano(milli, day->year, note->birthYear, *kind->second)
                    : std::nullopt;
            if (effective)
                line.effective = WithSeparator(EffectiveCell(*effective).text, decimalSeparator);
        }
        sheet.lines.push_back(std::move(line));
    }
    return sheet;
}

std::string DoseSheetText(const TDoseSheet& sheet) {
    std::string text;
    const auto add = [&text](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) text += '\t';
            text += OneLine(fields[i]);
        }
        text += "\r\n";
    };
    add(sheet.headers);
    for (const TDoseSheetLine& line : sheet.lines)
        add({line.date, line.examination, line.dap, line.effective});
    return text;
}

std::string DoseSheetTable(const TDoseSheet& sheet) {
    std::string table = "<table border=\"1\">" + Row(sheet.headers, "th");
    for (const TDoseSheetLine& line : sheet.lines)
        table += Row({line.date, line.examination, line.dap, line.effective}, "td");
    return table + "</table>";
}

std::string ClipboardHtml(const std::string& fragment) {
    // The offsets are written with a fixed width, so the description's length is known before
    // they are.
    const std::string before =
        "<html><head><meta charset=\"utf-8\"></head><body>\r\n<!--StartFragment-->";
    const std::string after = "<!--EndFragment-->\r\n</body></html>";
    const auto description = [&](std::size_t startHtml) {
        const std::size_t startFragment = startHtml + before.size();
        const std::size_t endFragment = startFragment + fragment.size();
        return "Version:0.9\r\nStartHTML:" + Offset(startHtml) +
               "\r\nEndHTML:" + Offset(endFragment + after.size()) +
               "\r\nStartFragment:" + Offset(startFragment) +
               "\r\nEndFragment:" + Offset(endFragment) + "\r\n";
    };
    const std::size_t startHtml = description(0).size();
    return description(startHtml) + before + fragment + after;
}

}  // namespace virel
