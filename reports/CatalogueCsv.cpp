#include "reports/CatalogueCsv.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <span>

#include "core/TextCodec.h"
#include "core/TextUtil.h"
#include "core/Utf16.h"
#include "core/export/Csv.h"
#include "reports/ReportCsv.h"

namespace virel {

namespace {

constexpr std::string_view kBom = kCsvBom;

// Spaces and tabs only: a line break inside a quoted name stays.
constexpr std::string_view kFieldBlanks = " \t";

struct TCsvRow {
    int line = 0;  // where the row starts
    std::vector<std::string> fields;
    std::string error;  // a quote left open
};

// Splits the text into rows of fields: ";" parts fields, a line break ends a row, both taken
// literally inside quotes ("" is a quote there).
std::vector<TCsvRow> Rows(std::string_view text) {
    std::vector<TCsvRow> rows;
    int line = 1;
    std::size_t at = 0;
    while (at < text.size()) {
        TCsvRow row;
        row.line = line;
        std::string field;
        bool quoted = false, wasQuoted = false;
        for (; at < text.size(); ++at) {
            const char c = text[at];
            if (quoted) {
                if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
                    field += '"';
                    ++at;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    if (c == '\n') ++line;
                    field += c;
                }
            } else if (c == '"' && Trimmed(field, kFieldBlanks).empty() && !wasQuoted) {
                quoted = wasQuoted = true;
                field.clear();
            } else if (c == ';') {
                row.fields.push_back(wasQuoted ? field : Trimmed(field, kFieldBlanks));
                field.clear();
                wasQuoted = false;
            } else if (c == '\n' || c == '\r') {
                if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
                ++at;
                ++line;
                break;
            } else {
                field += c;
            }
        }
        if (quoted) row.error = "кавычка не закрыта";
        row.fields.push_back(wasQuoted ? field : Trimmed(field, kFieldBlanks));
        rows.push_back(std::move(row));
    }
    return rows;
}

// A number as the file writes it: digits, a decimal comma (or point) and at most kKDecimals
// digits after it, in millionths; `negative` names a sign.
std::optional<std::int64_t> ParseMicro(const std::string& text, int maxWhole, const char* negative,
                                       std::string& error) {
    std::int64_t whole = 0, fraction = 0;
    int wholeDigits = 0, fractionDigits = 0;
    bool point = false;
    for (const char c : text) {
        if ((c == ',' || c == '.') && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (point) {
                if (++fractionDigits > kKDecimals) {
                    error = "больше " + std::to_string(kKDecimals) + " знаков после запятой";
                    return std::nullopt;
                }
                fraction = fraction * 10 + (c - '0');
            } else {
                if (++wholeDigits > maxWhole) {
                    error = "слишком большое число";
                    return std::nullopt;
                }
                whole = whole * 10 + (c - '0');
            }
        } else {
            error = c == '-' ? negative : "не число (пример: 0,18)";
            return std::nullopt;
        }
    }
    if (wholeDigits == 0 && fractionDigits == 0) {
        error = "не число (пример: 0,18)";
        return std::nullopt;
    }
    for (int i = fractionDigits; i < kKDecimals; ++i) fraction *= 10;
    return whole * 1'000'000 + fraction;
}

// K in millionths of its unit, and that unit's millionths in mSv/(Gy·cm²): one division.
std::optional<double> ParseK(const std::string& text, std::string& error, double perUnit = 1e6) {
    const auto micro = ParseMicro(text, 6, "K не может быть отрицательным", error);
    if (!micro) return std::nullopt;
    return static_cast<double>(*micro) / perUnit;
}

// A level in millionths of its unit, in Gy·cm²: above zero.
std::optional<double> ParseLevel(const std::string& text, std::string& error,
                                 double perUnit = 1e6) {
    const auto micro = ParseMicro(text, 9, "уровень не может быть отрицательным", error);
    if (!micro) return std::nullopt;
    if (*micro == 0) {
        error = "уровень должен быть больше нуля (пустое поле — не задан)";
        return std::nullopt;
    }
    return static_cast<double>(*micro) / perUnit;
}

// A unit as a header may spell it, in one spelling: no spaces, "·" for "*", "⋅" or ".", and
// "²" for "^2" or a bare "2".
std::string UnitSpelling(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = std::string_view(text).substr(i);
        if (text[i] == ' ' || text[i] == '\t') continue;
        if (text[i] == '*' || text[i] == '.') {
            out += "·";
        } else if (rest.substr(0, 3) == "\xE2\x8B\x85") {  // "⋅"
            out += "·";
            i += 2;
        } else if (rest.substr(0, 2) == "^2") {
            out += "²";
            ++i;
        } else if (text[i] == '2') {
            out += "²";
        } else {
            out += text[i];
        }
    }
    return out;
}

// DAP units a level's header may name, with their millionths in a Gy·cm².
struct TLevelUnit {
    const char* spelling;  // as UnitSpelling gives it
    double perGy;
};
constexpr TLevelUnit kLevelUnits[] = {
    {"Гр·см²", 1e6},  {"сГр·см²", 1e8}, {"мкГр·м²", 1e8}, {"сГр·см²(=мкГр·м²)", 1e8},
    {"мГр·см²", 1e9},
};
// K's units, with their millionths in one mSv/(Gy·cm²): the unit of МУ 2.6.1.2944-11's tables
// is a tenth of it.
constexpr TLevelUnit kKUnits[] = {
    {"мЗв/(Гр·см²)", 1e6},
    {"мкЗв/(сГр·см²)", 1e7},
};

// Which column a header field names: the column and its unit's millionths; none when no known
// column.
struct THeaderColumn {
    enum class Kind { Name, KAdult, KChild, Reference, Alert, Preventive };
    Kind kind = Kind::Name;
    double perUnit = 1e6;
};

// "Имя" or "Имя, единица" against the units allowed; why not, when it is neither.
std::optional<THeaderColumn> ReadHeaderField(const std::string& field, std::string& error) {
    struct TName {
        const char* name;
        THeaderColumn::Kind kind;
        bool unitRequired;
        bool units;  // a unit of K (false: of DAP)
    };
    static constexpr TName kNames[] = {
        {"K для взрослых", THeaderColumn::Kind::KAdult, false, true},
        {"K для детей", THeaderColumn::Kind::KChild, false, true},
        {kCatalogueReferenceColumn, THeaderColumn::Kind::Reference, true, false},
        {kCatalogueAlertColumn, THeaderColumn::Kind::Alert, true, false},
    };
    if (field == kCataloguePreventiveColumn) return THeaderColumn{THeaderColumn::Kind::Preventive};
    const std::size_t comma = field.find(',');
    const std::string name = Trimmed(field.substr(0, comma), kFieldBlanks);
    for (const TName& known : kNames) {
        if (name != known.name) continue;
        if (comma == std::string::npos) {
            if (!known.unitRequired) return THeaderColumn{known.kind};
            error = "в заголовке столбца «" + name + "» укажите единицу: «" + name + ", мГр·см²»";
            return std::nullopt;
        }
        const std::string unit = UnitSpelling(field.substr(comma + 1));
        const auto& units = known.units ? std::span<const TLevelUnit>(kKUnits)
                                        : std::span<const TLevelUnit>(kLevelUnits);
        for (const TLevelUnit& u : units)
            if (unit == u.spelling) return THeaderColumn{known.kind, u.perGy};
        error = "«" + field + "»: единица не известна (" +
                (known.units ? std::string("мЗв/(Гр·см²) или мкЗв/(сГр·см²)")
                             : std::string("Гр·см², сГр·см² (мкГр·м²) или мГр·см²")) +
                ")";
        return std::nullopt;
    }
    error = "заголовок должен быть «" + std::string(kCatalogueHeader) +
            "», за ним могут идти «РДУ, мГр·см²», «" + kCatalogueAlertColumn + ", Гр·см²» и «" +
            kCataloguePreventiveColumn + "»; столбец «" + field + "» не известен";
    return std::nullopt;
}

std::string OptionalKText(const std::optional<double>& k) {
    return k ? KText(*k) : std::string();
}

// The line of the byte at `offset`, counted as the rows count them: CR LF, CR or LF ends one.
int LineAt(std::string_view bytes, std::size_t offset) {
    int line = 1;
    for (std::size_t i = 0; i < offset && i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++line;
    }
    return line;
}

// Where the bytes stop being UTF-8; none when they are.
std::optional<std::size_t> NotUtf8At(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t at = i;
        if (!NextUtf8Character(bytes, i)) return at;
    }
    return std::nullopt;
}

struct TDecoded {
    std::string text;  // UTF-8, without a byte-order mark
    std::size_t faultAt = std::string_view::npos;
    std::string fault;  // not empty: why the byte at faultAt ends the reading
};

// The file as text: UTF-8 with or without a byte-order mark as it is; any other bytes as
// Windows-1251, the code page a Russian spreadsheet program saves its CSV in. A zero byte is in
// no text file, and a file marked as UTF-8 is taken as nothing else.
TDecoded Decoded(std::string_view bytes) {
    TDecoded decoded;
    auto fail = [&](std::size_t at, std::string why) {
        decoded.faultAt = at;
        decoded.fault = std::move(why);
        return decoded;
    };
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        return fail(0, "файл в кодировке UTF-16; сохраните его как CSV (UTF-8 или Windows-1251)");
    if (const auto zero = bytes.find('\0'); zero != std::string_view::npos)
        return fail(zero, "нулевой байт: это не текст CSV");
    if (bytes.substr(0, kBom.size()) == kBom) {
        bytes.remove_prefix(kBom.size());
        if (const auto bad = NotUtf8At(bytes))
            return fail(*bad + kBom.size(), "не текст UTF-8, хотя файл помечен как UTF-8");
        decoded.text = bytes;
        return decoded;
    }
    if (!NotUtf8At(bytes)) {
        decoded.text = bytes;
        return decoded;
    }
    // The one byte Windows-1251 leaves without a character.
    if (const auto unassigned = bytes.find('\x98'); unassigned != std::string_view::npos)
        return fail(unassigned, "не текст ни в UTF-8, ни в Windows-1251 (байт 0x98)");
    decoded.text = Cp1251ToUtf8(std::string(bytes));
    return decoded;
}

// The header's columns in the file's order, the first three always the name and the two K;
// why the header is refused, empty when it is taken.
std::string ReadHeader(std::vector<std::string> header, std::vector<THeaderColumn>& columns,
                       TKindColumns& present) {
    // The header as written, apart from empty fields a spreadsheet program adds after it.
    while (header.size() > 3 && header.back().empty()) header.pop_back();
    if (header.size() < 3 || header[0] != "Вид исследования")
        return "заголовок должен быть «" + std::string(kCatalogueHeader) + "»";
    columns.push_back({THeaderColumn::Kind::Name});
    bool seen[6] = {true, false, false, false, false, false};
    for (std::size_t c = 1; c < header.size(); ++c) {
        std::string error;
        const auto column = ReadHeaderField(header[c], error);
        if (!column) return error;
        const auto at = static_cast<std::size_t>(column->kind);
        if ((c <= 2) != (column->kind == THeaderColumn::Kind::KAdult ||
                         column->kind == THeaderColumn::Kind::KChild) ||
            (c == 1) != (column->kind == THeaderColumn::Kind::KAdult)) {
            return "заголовок должен начинаться с «" + std::string(kCatalogueHeader) + "»";
        }
        if (seen[at]) return "столбец «" + header[c] + "» указан дважды";
        seen[at] = true;
        columns.push_back(*column);
    }
    present.referenceLevel = seen[3];
    present.alertLevel = seen[4];
    present.preventive = seen[5];
    return {};
}

// One row's kind from its fields (as many as the columns); why the row is refused, empty when
// it is taken. A K above kQuestionedK puts the row's line among the questioned.
std::string ReadKind(const std::vector<std::string>& fields,
                     const std::vector<THeaderColumn>& columns,
                     const std::vector<std::string>& header, int line,
                     std::set<std::string>& names, TExamKind& kind, std::vector<int>& questioned) {
    kind.name = Trimmed(fields[0], kFieldBlanks);
    if (kind.name.empty()) return "пустое название вида исследования";
    if (kind.name.find_first_of("\r\n") != std::string::npos)
        return "перевод строки в названии вида исследования";
    if (!names.insert(kind.name).second) return "вид исследования «" + kind.name + "» уже был выше";
    for (std::size_t c = 1; c < columns.size(); ++c) {
        const std::string value = Trimmed(fields[c], kFieldBlanks);
        if (value.empty()) continue;
        const THeaderColumn& column = columns[c];
        // The header's column name, without its unit, in what the operator reads.
        const std::string name = Trimmed(header[c].substr(0, header[c].find(',')), kFieldBlanks);
        std::string error;
        std::optional<double> number;
        switch (column.kind) {
            case THeaderColumn::Kind::Name:
                break;
            case THeaderColumn::Kind::KAdult:
            case THeaderColumn::Kind::KChild:
                number = ParseK(value, error, column.perUnit);
                if (number && *number > kQuestionedK &&
                    (questioned.empty() || questioned.back() != line))
                    questioned.push_back(line);
                (column.kind == THeaderColumn::Kind::KAdult ? kind.kAdult : kind.kChild) = number;
                break;
            case THeaderColumn::Kind::Reference:
            case THeaderColumn::Kind::Alert:
                number = ParseLevel(value, error, column.perUnit);
                (column.kind == THeaderColumn::Kind::Reference ? kind.referenceLevel
                                                               : kind.alertLevel) = number;
                break;
            case THeaderColumn::Kind::Preventive:
                if (value == kCataloguePreventiveYes || value == "Да" || value == "ДА" ||
                    value == "1") {
                    kind.preventive = true;
                } else if (value != "нет" && value != "Нет" && value != "НЕТ" && value != "0") {
                    return name + " «" + value + "»: нужно «да», «нет» или пусто";
                }
                continue;
        }
        if (!number) return name + " «" + value + "»: " + error;
    }
    return {};
}

}  // namespace

std::optional<double> ParseKText(const std::string& text, std::string& error) {
    return ParseK(Trimmed(text, kFieldBlanks), error);
}

std::optional<double> ParseLevelText(const std::string& text, std::string& error) {
    return ParseLevel(Trimmed(text, kFieldBlanks), error);
}

std::string QuestionedKText(const TCatalogueParse& parse) {
    if (parse.questioned.empty()) return {};
    std::string text = parse.questioned.size() == 1 ? "K больше 3 мЗв/(Гр·см²) в строке "
                                                    : "K больше 3 мЗв/(Гр·см²) в строках ";
    for (std::size_t i = 0; i < parse.questioned.size(); ++i)
        text += (i ? ", " : "") + std::to_string(parse.questioned[i]);
    return text + " — возможно, K указан в мкЗв/(сГр·см²), а в заголовке этой единицы нет";
}

std::string KText(double k) {
    const std::int64_t micro = std::llround(k * 1e6);
    std::string text = std::to_string(micro / 1'000'000);
    std::string fraction = std::to_string(micro % 1'000'000);
    fraction.insert(0, 6 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "," + fraction;
    return text;
}

std::string CatalogueCsv(const std::vector<TExamKind>& kinds) {
    const bool levels = std::any_of(kinds.begin(), kinds.end(), [](const TExamKind& kind) {
        return kind.referenceLevel || kind.alertLevel || kind.preventive;
    });
    std::string csv =
        std::string(kBom) + (levels ? kCatalogueLevelsHeader : kCatalogueHeader) + "\r\n";
    for (const TExamKind& kind : kinds) {
        csv += CsvField(kind.name) + ";" + OptionalKText(kind.kAdult) + ";" +
               OptionalKText(kind.kChild);
        if (levels) {
            // The reference level in mGy·cm², the alert level in Gy·cm², as the header says.
            csv += ';';
            if (kind.referenceLevel) csv += KText(*kind.referenceLevel * 1000);
            csv += ';';
            csv += OptionalKText(kind.alertLevel);
            csv += ';';
            if (kind.preventive) csv += kCataloguePreventiveYes;
        }
        csv += "\r\n";
    }
    return csv;
}

TCatalogueParse ParseCatalogueCsv(std::string_view bytes) {
    TCatalogueParse result;
    auto fail = [&](int line, const std::string& what) {
        result.kinds.clear();
        result.line = line;
        result.error = "Строка " + std::to_string(line) + ": " + what;
        return result;
    };
    const TDecoded decoded = Decoded(bytes);
    if (!decoded.fault.empty()) return fail(LineAt(bytes, decoded.faultAt), decoded.fault);
    const std::vector<TCsvRow> rows = Rows(decoded.text);
    if (rows.empty()) return fail(1, "нет заголовка «" + std::string(kCatalogueHeader) + "»");
    std::vector<THeaderColumn> columns;
    if (std::string error = ReadHeader(rows[0].fields, columns, result.columns); !error.empty())
        return fail(1, error);
    std::set<std::string> names;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const TCsvRow& row = rows[i];
        if (!row.error.empty()) return fail(row.line, row.error);
        std::vector<std::string> fields = row.fields;
        while (fields.size() > columns.size() && fields.back().empty()) fields.pop_back();
        bool blank = true;
        for (const std::string& field : fields) blank = blank && field.empty();
        if (blank) continue;
        // A spreadsheet program leaves the empty cells at a row's end out.
        if (fields.size() > 3 && fields.size() < columns.size()) fields.resize(columns.size());
        if (fields.size() != columns.size()) {
            return fail(row.line, "ожидается " + std::to_string(columns.size()) +
                                      " поля через «;», а их " + std::to_string(fields.size()));
        }
        TExamKind kind;
        const std::string error =
            ReadKind(fields, columns, rows[0].fields, row.line, names, kind, result.questioned);
        if (!error.empty()) return fail(row.line, error);
        result.kinds.push_back(std::move(kind));
    }
    result.ok = true;
    return result;
}

}  // namespace virel
