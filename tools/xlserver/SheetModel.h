#pragma once
// Workbooks of the test spreadsheet server: one sheet each, cells holding texts and font sizes,
// written out as CSV. Portable: no <windows.h>.
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace virel::xl {

constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;
constexpr double kDefaultFontSize = 11.0;

inline bool ValidCell(int row, int column) {
    return row >= 1 && row <= kMaxRow && column >= 1 && column <= kMaxColumn;
}

struct TCell {
    std::string text;
    bool hasValue = false;
    double fontSize = kDefaultFontSize;
};

class TSheetBook {
public:
    explicit TSheetBook(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }

    // Both take valid cell addresses (ValidCell); an empty text clears the value.
    void SetValue(int row, int column, std::string text);
    void SetFontSize(int row, int column, double size);
    // Null for a cell never touched.
    const TCell* Find(int row, int column) const;
    double FontSize(int row, int column) const;

    // Extent of the cells holding a value (0 when there are none).
    int RowCount() const;
    int ColumnCount() const;
    // Rows 1..RowCount, columns 1..ColumnCount, empty cells as empty fields, CR LF after each
    // row, fields quoted when they hold a comma, a quote or a line break.
    std::string Csv() const;

private:
    std::string name_;
    std::map<std::pair<int, int>, TCell> cells_;
};

// The open workbooks, numbered from 1; the active one is where Cells writes.
class TBookSet {
public:
    // A new workbook "Book<n>", made the active one; returns its number.
    int Add();
    int Count() const { return static_cast<int>(books_.size()); }
    // Number of the active workbook, 0 when none is open.
    int ActiveIndex() const { return active_; }
    void Activate(int index);
    // `index` from 1 to Count().
    TSheetBook& At(int index) { return books_.at(static_cast<std::size_t>(index - 1)); }
    const TSheetBook& At(int index) const { return books_.at(static_cast<std::size_t>(index - 1)); }

private:
    std::vector<TSheetBook> books_;
    int active_ = 0;
};

// One CSV field: as it is, or quoted with inner quotes doubled.
std::string CsvField(std::string_view text);

}  // namespace virel::xl
