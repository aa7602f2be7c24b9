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

// Column widths from the longest text a column shows, in characters (UTF-8 counted by its
// leading bytes), within bounds.
double Width(const std::string& text) {
    double n = 0;
    for (const unsigned char c : text) n += (c & 0xC0) != 0x80 ? 1 : 0;
    return std::clamp(n + 2, 10.0, 50.0);
}

}  // namespace

void WriteReportXlsx(const std::string& path, const std::string& tempFolder, const TBook& book) {
    TReportWorkbook workbook(path, tempFolder);
    lxw_workbook* wb = workbook.Get();
    lxw_format* title = TReportWorkbook::Made(workbook_add_format(wb));
    format_set_bold(title);
    format_set_font_size(title, 14);
    lxw_format* header = TReportWorkbook::Made(workbook_add_format(wb));
    format_set_bold(header);
    format_set_text_wrap(header);
    format_set_align(header, LXW_ALIGN_VERTICAL_TOP);
    lxw_format* month = TReportWorkbook::Made(workbook_add_format(wb));
    format_set_num_format(month, kXlsxMonthFormat);

    for (const TBookSheet& sheet : book.sheets) {
        lxw_worksheet* ws = TReportWorkbook::Made(workbook_add_worksheet(wb, sheet.name.c_str()));
        TReportWorkbook::Check(worksheet_write_string(ws, 0, 0, sheet.title.c_str(), title));
        std::size_t columns = sheet.headers.size();
        for (const auto& row : sheet.rows) columns = std::max(columns, row.size());
        for (std::size_t c = 0; c < columns; ++c) {
            const auto column = static_cast<lxw_col_t>(c);
            double width = 10;
            if (c < sheet.headers.size()) {
                // Headers wrap: they take at most a third of their length in width.
                width = std::max(width, std::min(Width(sheet.headers[c]), 22.0));
                TReportWorkbook::Check(worksheet_write_string(ws, kHeaderRow, column,
                                                              sheet.headers[c].c_str(), header));
            }
            for (const auto& row : sheet.rows) {
                if (c < row.size() && row[c].kind == TBookCell::Kind::Text)
                    width = std::max(width, Width(row[c].text));
            }
            TReportWorkbook::Check(worksheet_set_column(ws, column, column, width, nullptr));
        }
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
            const auto row = static_cast<lxw_row_t>(kFirstRow + r);
            for (std::size_t c = 0; c < sheet.rows[r].size(); ++c)
                WriteCell(workbook, ws, row, static_cast<lxw_col_t>(c), sheet.rows[r][c], month);
        }
        if (sheet.chart && !sheet.rows.empty()) {
            lxw_chart* chart = TReportWorkbook::Made(workbook_add_chart(wb, LXW_CHART_COLUMN));
            lxw_chart_series* series =
                TReportWorkbook::Made(chart_add_series(chart, nullptr, nullptr));
            const auto last = static_cast<lxw_row_t>(kFirstRow + sheet.rows.size() - 1);
            const auto value = static_cast<lxw_col_t>(sheet.chart->valueColumn);
            // Ranges given by numbers, with the sheet's name quoted by the library.
            chart_series_set_categories(series, sheet.name.c_str(), kFirstRow, 0, last, 0);
            chart_series_set_values(series, sheet.name.c_str(), kFirstRow, value, last, value);
            chart_series_set_name(series, sheet.chart->valueAxis.c_str());
            chart_title_set_name(chart, sheet.chart->title.c_str());
            chart_axis_set_name(chart->y_axis, sheet.chart->valueAxis.c_str());
            chart_axis_set_num_format(chart->x_axis, kXlsxMonthFormat);
            chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
            TReportWorkbook::Check(
                worksheet_insert_chart(ws, kHeaderRow, static_cast<lxw_col_t>(columns + 1), chart));
        }
    }
    workbook.Close();
}

}  // namespace virel
