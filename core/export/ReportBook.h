#pragma once
// A report as tables of typed cells, which the writers turn into an xlsx workbook
// (fileexport/ReportXlsx.h, a sheet per table) or one CSV text (reports/ReportCsv.h). The cells
// carry their shown text, so that both files show the same digits.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace virel {

struct TBookCell {
    enum class Kind {
        Empty,  // nothing: an unknown value, never shown as zero
        Text,
        Integer,  // a count
        Decimal,  // a fixed-point number: `text` with `decimals` digits after the point
        Month,    // a calendar month (year, month)
    };
    Kind kind = Kind::Empty;
    std::string text;   // Text; Integer and Decimal: the number as shown, with "." as the point
    double number = 0;  // Integer, Decimal: the value of `text`
    int decimals = 0;   // Decimal
    int year = 0, month = 0;  // Month

    static TBookCell Blank() { return {}; }
    static TBookCell Of(std::string text);
    static TBookCell Count(std::int64_t value);
    // `scaled` / 10^decimals, shown with exactly `decimals` digits after the point.
    static TBookCell Fixed(std::int64_t scaled, int decimals);
    static TBookCell MonthOf(int year, int month);
};

// A column chart of one column against the first (the categories), drawn on the sheet.
struct TBookChart {
    std::string title;
    std::string valueAxis;  // the values' name with their unit
    int valueColumn = 1;    // counted from 0
};

struct TBookSheet {
    std::string name;   // the sheet's name in the workbook (at most 31 characters)
    std::string title;  // the first row
    std::vector<std::string> headers;
    std::vector<std::vector<TBookCell>> rows;
    std::optional<TBookChart> chart;
};

struct TBook {
    std::vector<TBookSheet> sheets;
};

// "MM.YYYY": how a month cell reads as text.
std::string MonthText(int year, int month);

}  // namespace virel
