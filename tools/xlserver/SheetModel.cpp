#include "tools/xlserver/SheetModel.h"

#include <algorithm>
#include <stdexcept>

namespace virel::xl {

void TSheetBook::SetValue(int row, int column, std::string text) {
    TCell& cell = cells_[{row, column}];
    cell.hasValue = !text.empty();
    cell.text = std::move(text);
}

void TSheetBook::SetFontSize(int row, int column, double size) {
    cells_[{row, column}].fontSize = size;
}

const TCell* TSheetBook::Find(int row, int column) const {
    const auto it = cells_.find({row, column});
    return it == cells_.end() ? nullptr : &it->second;
}

double TSheetBook::FontSize(int row, int column) const {
    const TCell* cell = Find(row, column);
    return cell ? cell->fontSize : kDefaultFontSize;
}

int TSheetBook::RowCount() const {
    int rows = 0;
    for (const auto& [address, cell] : cells_)
        if (cell.hasValue) rows = std::max(rows, address.first);
    return rows;
}

int TSheetBook::ColumnCount() const {
    int columns = 0;
    for (const auto& [address, cell] : cells_)
        if (cell.hasValue) columns = std::max(columns, address.second);
    return columns;
}

std::string TSheetBook::Csv() const {
    const int rows = RowCount();
    const int columns = ColumnCount();
    std::string csv;
    for (int row = 1; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column) {
            if (column > 1) csv += ',';
            const TCell* cell = Find(row, column);
            if (cell && cell->hasValue) csv += CsvField(cell->text);
        }
        csv += "\r\n";
    }
    return csv;
}

int TBookSet::Add() {
    std::string name = "Book";
    name += std::to_string(books_.size() + 1);
    books_.emplace_back(std::move(name));
    active_ = Count();
    return active_;
}

void TBookSet::Activate(int index) {
    if (index < 1 || index > Count()) throw std::out_of_range("no such workbook");
    active_ = index;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

}  // namespace virel::xl
