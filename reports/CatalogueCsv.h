#pragma once
// The catalogue of kinds of examination as a CSV file for a spreadsheet program under Russian
// settings: UTF-8 with a byte-order mark, ";" between fields, CR LF, K with a decimal comma, the
// header row kCatalogueHeader (Windows-1251 is read too). An empty K is allowed (no effective
// dose for that age group).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/Annotations.h"

namespace virel {

inline constexpr char kCatalogueHeader[] = "Вид исследования;K для взрослых;K для детей";
// K is kept to this many decimal places.
inline constexpr int kKDecimals = 6;

std::string CatalogueCsv(const std::vector<TExamKind>& kinds);

struct TCatalogueParse {
    bool ok = false;
    std::vector<TExamKind> kinds;  // ok: every kind of the file, in its order
    int line = 0;                  // not ok: the line at fault (1 is the header)
    std::string error;             // not ok: "Строка N: ..." for the operator
};

// The whole file or nothing: the first junk line makes it fail with its number and what is
// wrong with it. A line break or ";" inside a name is taken when the name is quoted; empty lines
// are skipped. The file's bytes are UTF-8, with or without a byte-order mark, or Windows-1251 as
// a Russian spreadsheet program saves its CSV (what is not UTF-8 is taken as that); a line that
// is no text (a zero byte, UTF-16, a byte neither code gives a character) is named likewise.
[[nodiscard]] TCatalogueParse ParseCatalogueCsv(std::string_view bytes);

// A K as the file writes it ("0,18", a point taken too); none with `error` saying why.
std::optional<double> ParseKText(const std::string& text, std::string& error);

// "0,18": K in millionths with a decimal comma, without trailing zeros.
std::string KText(double k);

}  // namespace virel
