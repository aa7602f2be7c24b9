#include "fileexport/XlsxArchive.h"

#include <xlsxwriter.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "core/Errors.h"

namespace virel {

namespace {

// Column widths in characters: the date-time must show whole, not as "#####".
constexpr std::array<double, kArchiveColumns> kColumnWidths = {20, 17, 15, 15};
constexpr int kMaxDoseDigits = 3;  // the fraction byte has at most three decimal digits

// The workbook is closed (and freed) on every way out; the first error is what counts.
class TWorkbook {
public:
    TWorkbook(const std::string& path, const std::string& tempFolder) : tempFolder_(tempFolder) {
        lxw_workbook_options options{};
        options.tmpdir = tempFolder_.empty() ? nullptr : tempFolder_.data();
        book_ = workbook_new_opt(path.c_str(), &options);
        if (!book_) throw Exception(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
    }
    ~TWorkbook() {
        if (book_) workbook_close(book_);
    }
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    lxw_workbook* Get() const { return book_; }
    void Check(lxw_error error) {
        if (error != LXW_NO_ERROR) throw Exception(lxw_strerror(error));
    }
    void Close() {
        lxw_workbook* book = book_;
        book_ = nullptr;
        Check(workbook_close(book));
    }

private:
    std::string tempFolder_;
    lxw_workbook* book_ = nullptr;
};

constexpr double kMoreColumnWidth = 12;

// The columns after D: a column of numbers gets numbers, so that the sheet sorts and sums.
void WriteMoreCells(TWorkbook& book, lxw_worksheet* ws, lxw_row_t row, const TArchiveSheet& sheet,
                    const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size() && i < sheet.moreColumns.size(); ++i) {
        const auto column = static_cast<lxw_col_t>(kArchiveColumns + i);
        const std::string& text = cells[i];
        if (text.empty()) continue;
        char* end = nullptr;
        const double value = sheet.moreColumns[i].numbers ? std::strtod(text.c_str(), &end) : 0;
        if (end && *end == 0) {
            book.Check(worksheet_write_number(ws, row, column, value, nullptr));
        } else {
            book.Check(worksheet_write_string(ws, row, column, text.c_str(), nullptr));
        }
    }
}

lxw_format* NumberFormat(lxw_workbook* book, const char* pattern) {
    lxw_format* format = workbook_add_format(book);
    if (format) format_set_num_format(format, pattern);
    return format;
}

// The formats of the sheet's cells: the title, the time (a date alone at midnight) and the
// dose with the digits the window shows ("0.0", "0.00", "0.000").
struct TArchiveFormats {
    lxw_format* title = nullptr;
    lxw_format* dateTime = nullptr;
    lxw_format* date = nullptr;
    std::array<lxw_format*, kMaxDoseDigits + 1> dose{};
};

TArchiveFormats Formats(lxw_workbook* book) {
    TArchiveFormats formats;
    formats.title = workbook_add_format(book);
    if (!formats.title) throw Exception(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
    format_set_font_size(formats.title, kTitleFontSize);
    formats.dateTime = NumberFormat(book, kXlsxDateTimeFormat);
    formats.date = NumberFormat(book, kXlsxDateFormat);
    std::string pattern = "0.";
    for (int digits = 1; digits <= kMaxDoseDigits; ++digits) {
        pattern += '0';
        formats.dose[static_cast<std::size_t>(digits)] = NumberFormat(book, pattern.c_str());
    }
    return formats;
}

// The title, the widths and the header row (rows and columns count from 0 here, from 1 in the
// layout).
void WriteHeading(TWorkbook& book, lxw_worksheet* ws, const TArchiveSheet& sheet,
                  const TArchiveFormats& formats) {
    for (int column = 0; column < kArchiveColumns; ++column) {
        const auto c = static_cast<lxw_col_t>(column);
        book.Check(worksheet_set_column(ws, c, c, kColumnWidths[static_cast<std::size_t>(column)],
                                        nullptr));
    }
    book.Check(worksheet_write_string(ws, 0, 1, sheet.title.c_str(), formats.title));
    const auto& headers = ArchiveHeaders();
    for (int column = 0; column < kArchiveColumns; ++column) {
        const char* header = headers[static_cast<std::size_t>(column)];
        if (column == 2 && !sheet.doseHeader.empty()) header = sheet.doseHeader.c_str();
        book.Check(worksheet_write_string(ws, 1, static_cast<lxw_col_t>(column), header, nullptr));
    }
    for (std::size_t i = 0; i < sheet.moreColumns.size(); ++i) {
        const auto c = static_cast<lxw_col_t>(kArchiveColumns + i);
        book.Check(worksheet_set_column(ws, c, c, kMoreColumnWidth, nullptr));
        book.Check(worksheet_write_string(ws, 1, c, sheet.moreColumns[i].header.c_str(), nullptr));
    }
}

// Record `n`'s row: its time, number, dose, the meter's error and the columns after D.
void WriteRecord(TWorkbook& book, lxw_worksheet* ws, const TArchiveSheet& sheet, std::size_t n,
                 const TArchiveFormats& formats) {
    const auto& record = sheet.records[n];
    const auto row = static_cast<lxw_row_t>(n + kFirstRecordRow - 1);
    if (record->TimeIsValid()) {
        const DateTime& t = record->time;
        lxw_datetime when{t.year, t.month, t.day, t.hour, t.minute, double(t.second)};
        const bool midnight = t.hour == 0 && t.minute == 0;
        book.Check(worksheet_write_datetime(ws, row, 0, &when,
                                            midnight ? formats.date : formats.dateTime));
    }
    book.Check(worksheet_write_number(ws, row, 1, record->measureNumber, nullptr));
    const int digits = DoseFractionDigits(*record);
    lxw_format* doseFormat = digits >= 1 && digits <= kMaxDoseDigits
                                 ? formats.dose[static_cast<std::size_t>(digits)]
                                 : nullptr;
    const bool exact = n < sheet.exactDoses.size() && sheet.exactDoses[n];
    book.Check(worksheet_write_number(ws, row, 2, exact ? *sheet.exactDoses[n] : DoseValue(*record),
                                      exact ? nullptr : doseFormat));
    if (const auto error = DeviceErrorCell(*record)) {
        book.Check(worksheet_write_number(ws, row, kDeviceErrorColumn - 1, *error, nullptr));
    }
    if (n < sheet.moreCells.size()) WriteMoreCells(book, ws, row, sheet, sheet.moreCells[n]);
}

}  // namespace

void WriteArchiveXlsx(const std::string& path, const std::string& tempFolder,
                      const TArchiveSheet& sheet) {
    TWorkbook book(path, tempFolder);
    lxw_worksheet* ws = workbook_add_worksheet(book.Get(), nullptr);
    if (!ws) throw Exception(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
    const TArchiveFormats formats = Formats(book.Get());
    WriteHeading(book, ws, sheet, formats);
    for (std::size_t n = 0; n < sheet.records.size(); ++n) {
        if (sheet.records[n]) WriteRecord(book, ws, sheet, n, formats);
    }
    book.Close();
}

}  // namespace virel
