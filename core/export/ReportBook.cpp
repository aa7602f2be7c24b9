#include "core/export/ReportBook.h"

#include <cstdio>

namespace virel {

TBookCell TBookCell::Of(std::string text) {
    TBookCell cell;
    cell.kind = Kind::Text;
    cell.text = std::move(text);
    return cell;
}

TBookCell TBookCell::Count(std::int64_t value) {
    TBookCell cell;
    cell.kind = Kind::Integer;
    cell.text = std::to_string(value);
    cell.number = static_cast<double>(value);
    return cell;
}

TBookCell TBookCell::Fixed(std::int64_t scaled, int decimals) {
    TBookCell cell;
    cell.kind = Kind::Decimal;
    cell.decimals = decimals;
    std::int64_t divisor = 1;
    for (int i = 0; i < decimals; ++i) divisor *= 10;
    const bool negative = scaled < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    const std::string digits = std::to_string(magnitude);
    const auto shown = static_cast<std::size_t>(decimals);
    // Zeros in front where the number has no more digits than its fraction: "0.007".
    const std::string padded =
        digits.size() > shown ? digits : std::string(shown + 1 - digits.size(), '0') + digits;
    const std::size_t whole = padded.size() - shown;
    if (negative) cell.text.push_back('-');
    cell.text.append(padded, 0, whole);
    if (decimals > 0) {
        cell.text += '.';
        cell.text.append(padded, whole, shown);
    }
    // The nearest double to the decimal: the integer part and the fraction are exact integers.
    cell.number = static_cast<double>(scaled / divisor) +
                  static_cast<double>(scaled % divisor) / static_cast<double>(divisor);
    return cell;
}

TBookCell TBookCell::MonthOf(int year, int month) {
    TBookCell cell;
    cell.kind = Kind::Month;
    cell.year = year;
    cell.month = month;
    cell.text = MonthText(year, month);
    return cell;
}

std::string MonthText(int year, int month) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%04d", month, year);
    return text;
}

}  // namespace virel
