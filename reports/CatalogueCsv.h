#pragma once
// The catalogue of kinds of examination as a CSV file for a spreadsheet program under Russian
// settings: UTF-8 with a byte-order mark, ";" between fields, CR LF, K with a decimal comma, the
// header row kCatalogueHeader (Windows-1251 is read too). An empty K is allowed (no effective
// dose for that age group).
//
// After the three columns a file may carry the kind's reference level, its alert level and the
// check-up flag, each named in the header with the unit it is in (kCatalogueLevelsHeader is how
// the program writes them); a K's header may name its unit too. Values are converted to the
// catalogue's units: DAP in Gy·cm², K in mSv/(Gy·cm²).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/Annotations.h"

namespace virel {

inline constexpr char kCatalogueHeader[] = "Вид исследования;K для взрослых;K для детей";
// The header of a catalogue whose kinds carry levels or the flag: K's unit named, the reference
// level in mGy·cm² (as reference-level tables give it), the alert level in Gy·cm² (as the meter
// shows DAP).
inline constexpr char kCatalogueLevelsHeader[] =
    "Вид исследования;K для взрослых, мЗв/(Гр·см²);K для детей, мЗв/(Гр·см²);РДУ, мГр·см²;"
    "Порог оповещения, Гр·см²;Профилактическое";
// The optional columns' names, before the unit (", " and the unit follow in the header).
inline constexpr char kCatalogueReferenceColumn[] = "РДУ";
inline constexpr char kCatalogueAlertColumn[] = "Порог оповещения";
inline constexpr char kCataloguePreventiveColumn[] = "Профилактическое";
inline constexpr char kCataloguePreventiveYes[] = "да";
// K is kept to this many decimal places.
inline constexpr int kKDecimals = 6;
// A K above this (mSv/(Gy·cm²)) is questioned: a value copied in µSv/(cGy·cm²) is ten times off.
inline constexpr double kQuestionedK = 3.0;

// Today's three columns when no kind has a level or the flag (which every version of the
// program reads), else kCatalogueLevelsHeader's six.
std::string CatalogueCsv(const std::vector<TExamKind>& kinds);

struct TCatalogueParse {
    bool ok = false;
    std::vector<TExamKind> kinds;  // ok: every kind of the file, in its order
    TKindColumns columns;          // ok: the optional columns the file has
    std::vector<int> questioned;   // ok: the lines with a K above kQuestionedK
    int line = 0;                  // not ok: the line at fault (1 is the header)
    std::string error;             // not ok: "Строка N: ..." for the operator
};

// What is questioned in the file: "K больше 3 мЗв/(Гр·см²) в строках 4, 9 ..."; empty when
// nothing is.
std::string QuestionedKText(const TCatalogueParse& parse);

// The whole file or nothing: the first junk line makes it fail with its number and what is
// wrong with it. A line break or ";" inside a name is taken when the name is quoted; empty lines
// are skipped. The file's bytes are UTF-8, with or without a byte-order mark, or Windows-1251 as
// a Russian spreadsheet program saves its CSV (what is not UTF-8 is taken as that); a line that
// is no text (a zero byte, UTF-16, a byte neither code gives a character) is named likewise.
[[nodiscard]] TCatalogueParse ParseCatalogueCsv(std::string_view bytes);

// A K as the file writes it ("0,18", a point taken too); none with `error` saying why.
std::optional<double> ParseKText(const std::string& text, std::string& error);
// A level in Gy·cm² as the dialog takes it (a decimal comma or point, above zero); none with
// `error` saying why.
std::optional<double> ParseLevelText(const std::string& text, std::string& error);

// "0,18": K in millionths with a decimal comma, without trailing zeros.
std::string KText(double k);

}  // namespace virel
