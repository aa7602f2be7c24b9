#include "fileexport/ReportXlsx.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <map>

#include "core/Errors.h"

namespace virel {

namespace {

constexpr lxw_row_t kHeaderRow = 1;
constexpr lxw_row_t kFirstRow = 2;

class TReportWorkbook {
public:
    TReportWorkbook(const std::string& path, const std::string& tempFolder)
        : tempFolder_(tempFolder) {
        lxw_workbook_options options{};
        options.tmpdir = tempFolder_.empty() ? nullptr : tempFolder_.data();
        book_ = workbook_new_opt(path.c_str(), &options);
        if (!book_) throw Exception(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
    }
    ~TReportWorkbook() {
        if (book_) workbook_close(book_);
    }
    TReportWorkbook(const TReportWorkbook&) = delete;
    TReportWorkbook& operator=(const TReportWorkbook&) = delete;

    lxw_workbook* Get() const { return book_; }
    static void Check(lxw_error error) {
        if (error != LXW_NO_ERROR) throw Exception(lxw_strerror(error));
    }
    template <typename T>
    static T* Made(T* made) {
        if (!made) throw Exception(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
        return made;
    }
    void Close() {
        lxw_workbook* book = book_;
        book_ = nullptr;
        Check(workbook_close(book));
    }
    // "0", "0.0", "0.000", ...: a number shows the digits its cell was made with.
    lxw_format* Decimals(int digits) {
        auto& format = decimals_[digits];
        if (!format) {
            format = Made(workbook_add_format(book_));
            std::string pattern =
                digits > 0 ? "0." + std::string(static_cast<std::size_t>(digits), '0') : "0";
            format_set_num_format(format, pattern.c_str());
        }
        return format;
    }

private:
    std::string tempFolder_;
    lxw_workbook* book_ = nullptr;
    std::map<int, lxw_format*> decimals_;
};

void WriteCell(TReportWorkbook& book, lxw_worksheet* ws, lxw_row_t row, lxw_col_t column,
               const TBookCell& cell, lxw_format* month) {
    switch (cell.kind) {
        case TBookCell::Kind::Empty:
            return;
        case TBookCell::Kind::Text:
            TReportWorkbook::Check(
                worksheet_write_string(ws, row, column, cell.text.c_str(), nullptr));
            return;
        case TBookCell::Kind::Integer:
            TReportWorkbook::Check(worksheet_write_number(ws, row, column, cell.number, nullptr));
            return;
        case TBookCell::Kind::Decimal:
            TReportWorkbook::Check(
                worksheet_write_number(ws, row, column, cell.number, book.Decimals(cell.decimals)));
            return;
        case TBookCell::Kind::Month: {
            lxw_datetime first{cell.year, cell.month, 1, 0, 0, 0};
            TReportWorkbook::Check(worksheet_write_datetime(ws, row, column, &first, month));
            return;
        }
    }
}

// The length of a text in characters (UTF-8 counted by its leading bytes).
double Characters(const std::string& text) {
    double n = 0;
    for (const unsigned char c : text) n += (c & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

// Column widths from the longest text a column shows, in characters, within bounds.
double Width(const std::string& text) {
    return std::clamp(Characters(text) + 2, 10.0, 50.0);
}

// A header wraps at most this wide: the numbers below it set the width, not the header.
constexpr double kHeaderWidth = 16;

// The lines a text takes wrapped at its words in a column `width` characters wide.
int WrappedLines(const std::string& text, double width) {
    int lines = 1;
    double used = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const double word = Characters(text.substr(at, end - at));
        if (used > 0 && used + 1 + word > width - 1) {
            ++lines;
            used = word;
        } else {
            used += (used > 0 ? 1 : 0) + word;
        }
        at = end + 1;
    }
    return lines;
}

// The height of a row of `lines` lines of the default font, in points, with a little to spare:
// a spreadsheet program does not grow a row for wrapped text it reads from a file.
double RowHeight(int lines) {
    return 15.0 * lines + 3;
}

struct TSheetFormats {
    lxw_format* title;
    lxw_format* header;
    lxw_format* month;
};

// The title, the headers and the column widths; the columns the table takes.
lxw_col_t WriteHeading(lxw_worksheet* ws, const TBookSheet& sheet, const TSheetFormats& formats) {
    TReportWorkbook::Check(worksheet_write_string(ws, 0, 0, sheet.title.c_str(), formats.title));
    std::size_t columns = sheet.headers.size();
    for (const auto& row : sheet.rows) columns = std::max(columns, row.size());
    int headerLines = 1;
    for (std::size_t c = 0; c < columns; ++c) {
        const auto column = static_cast<lxw_col_t>(c);
        double width = 10;
        for (const auto& row : sheet.rows) {
            if (c < row.size() && row[c].kind == TBookCell::Kind::Text)
                width = std::max(width, Width(row[c].text));
        }
        if (c < sheet.headers.size()) {
            const std::string& header = sheet.headers[c];
            width = std::max(width, std::min(Width(header), kHeaderWidth));
            headerLines = std::max(headerLines, WrappedLines(header, width));
            TReportWorkbook::Check(
                worksheet_write_string(ws, kHeaderRow, column, header.c_str(), formats.header));
        }
        TReportWorkbook::Check(worksheet_set_column(ws, column, column, width, nullptr));
    }
    TReportWorkbook::Check(worksheet_set_row(ws, kHeaderRow, RowHeight(headerLines), nullptr));
    return static_cast<lxw_col_t>(columns);
}

// On A4, one page wide (as many pages down as the rows need), the header row on every page;
// across the page for a sheet too wide to read upright (more than five columns, or a chart
// beside the table).
void SetUpPages(lxw_worksheet* ws, bool wide) {
    worksheet_set_paper(ws, 9);  // A4
    if (wide) worksheet_set_landscape(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    TReportWorkbook::Check(worksheet_repeat_rows(ws, kHeaderRow, kHeaderRow));
}

// The chart's categories as text, in a hidden column after the table: a spreadsheet program
// that takes date categories for a time axis of its own (LibreOffice Calc) would otherwise
// label one month's bar with the year's first month; as text each bar reads as its cell does.
void WriteCategories(lxw_worksheet* ws, const TBookSheet& sheet, lxw_col_t column) {
    lxw_row_col_options hidden{};
    hidden.hidden = LXW_TRUE;
    TReportWorkbook::Check(worksheet_set_column_opt(ws, column, column, 10, nullptr, &hidden));
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        const TBookCell& cell = sheet.rows[r].empty() ? TBookCell{} : sheet.rows[r][0];
        const std::string label =
            cell.kind == TBookCell::Kind::Month ? MonthText(cell.year, cell.month) : cell.text;
        TReportWorkbook::Check(worksheet_write_string(ws, static_cast<lxw_row_t>(kFirstRow + r),
                                                      column, label.c_str(), nullptr));
    }
}

void InsertChart(lxw_workbook* wb, lxw_worksheet* ws, const TBookSheet& sheet, lxw_col_t columns) {
    const lxw_col_t categories = columns;
    WriteCategories(ws, sheet, categories);
    lxw_chart* chart = TReportWorkbook::Made(workbook_add_chart(wb, LXW_CHART_COLUMN));
    lxw_chart_series* series = TReportWorkbook::Made(chart_add_series(chart, nullptr, nullptr));
    const auto last = static_cast<lxw_row_t>(kFirstRow + sheet.rows.size() - 1);
    const auto value = static_cast<lxw_col_t>(sheet.chart->valueColumn);
    // Ranges given by numbers, with the sheet's name quoted by the library.
    chart_series_set_categories(series, sheet.name.c_str(), kFirstRow, categories, last,
                                categories);
    chart_series_set_values(series, sheet.name.c_str(), kFirstRow, value, last, value);
    chart_series_set_name(series, sheet.chart->valueAxis.c_str());
    chart_title_set_name(chart, sheet.chart->title.c_str());
    chart_axis_set_name(chart->y_axis, sheet.chart->valueAxis.c_str());
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    // The categories are in a hidden column.
    chart_show_hidden_data(chart);
    lxw_chart_options place{};
    place.x_offset = 20;
    place.y_offset = 0;
    place.x_scale = 1;
    place.y_scale = 1;
    TReportWorkbook::Check(worksheet_insert_chart_opt(
        ws, kHeaderRow, static_cast<lxw_col_t>(columns + 1), chart, &place));
}

}  // namespace

void WriteReportXlsx(const std::string& path, const std::string& tempFolder, const TBook& book) {
    TReportWorkbook workbook(path, tempFolder);
    lxw_workbook* wb = workbook.Get();
    TSheetFormats formats{TReportWorkbook::Made(workbook_add_format(wb)),
                          TReportWorkbook::Made(workbook_add_format(wb)),
                          TReportWorkbook::Made(workbook_add_format(wb))};
    format_set_bold(formats.title);
    format_set_font_size(formats.title, 14);
    format_set_bold(formats.header);
    format_set_text_wrap(formats.header);
    format_set_align(formats.header, LXW_ALIGN_VERTICAL_TOP);
    format_set_num_format(formats.month, kXlsxMonthFormat);

    for (const TBookSheet& sheet : book.sheets) {
        lxw_worksheet* ws = TReportWorkbook::Made(workbook_add_worksheet(wb, sheet.name.c_str()));
        const lxw_col_t columns = WriteHeading(ws, sheet, formats);
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
            const auto row = static_cast<lxw_row_t>(kFirstRow + r);
            for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
                WriteCell(workbook, ws, row, static_cast<lxw_col_t>(c), sheet.rows[r][c],
                          formats.month);
            }
        }
        const bool chart = sheet.chart && !sheet.rows.empty();
        if (chart) InsertChart(wb, ws, sheet, columns);
        SetUpPages(ws, chart || columns > 5);
    }
    workbook.Close();
}

}  // namespace virel
