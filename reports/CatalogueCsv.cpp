#include "reports/CatalogueCsv.h"

#include <cmath>
#include <optional>
#include <set>

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

// A K as the file writes it: digits, a decimal comma (or point) and at most kKDecimals digits.
std::optional<double> ParseK(const std::string& text, std::string& error) {
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
                if (++wholeDigits > 6) {
                    error = "слишком большое число";
                    return std::nullopt;
                }
                whole = whole * 10 + (c - '0');
            }
        } else {
            error = c == '-' ? "K не может быть отрицательным" : "не число (пример: 0,18)";
            return std::nullopt;
        }
    }
    if (wholeDigits == 0 && fractionDigits == 0) {
        error = "не число (пример: 0,18)";
        return std::nullopt;
    }
    for (int i = fractionDigits; i < kKDecimals; ++i) fraction *= 10;
    return static_cast<double>(whole * 1'000'000 + fraction) / 1e6;
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

}  // namespace

std::optional<double> ParseKText(const std::string& text, std::string& error) {
    return ParseK(Trimmed(text, kFieldBlanks), error);
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
    std::string csv = std::string(kBom) + kCatalogueHeader + "\r\n";
    for (const TExamKind& kind : kinds) {
        csv += CsvField(kind.name) + ";" + OptionalKText(kind.kAdult) + ";" +
               OptionalKText(kind.kChild) + "\r\n";
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
    {
        // The header as written, apart from empty fields a spreadsheet program adds after it.
        std::vector<std::string> header = rows[0].fields;
        while (header.size() > 3 && header.back().empty()) header.pop_back();
        if (header.size() != 3 ||
            header[0] + ";" + header[1] + ";" + header[2] != kCatalogueHeader) {
            return fail(1, "заголовок должен быть «" + std::string(kCatalogueHeader) + "»");
        }
    }
    std::set<std::string> names;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const TCsvRow& row = rows[i];
        if (!row.error.empty()) return fail(row.line, row.error);
        std::vector<std::string> fields = row.fields;
        while (fields.size() > 3 && fields.back().empty()) fields.pop_back();
        bool blank = true;
        for (const std::string& field : fields) blank = blank && field.empty();
        if (blank) continue;
        if (fields.size() != 3) {
            return fail(row.line,
                        "ожидается 3 поля через «;», а их " + std::to_string(fields.size()));
        }
        TExamKind kind;
        kind.name = Trimmed(fields[0], kFieldBlanks);
        if (kind.name.empty()) return fail(row.line, "пустое название вида исследования");
        if (kind.name.find_first_of("\r\n") != std::string::npos)
            return fail(row.line, "перевод строки в названии вида исследования");
        if (!names.insert(kind.name).second)
            return fail(row.line, "вид исследования «" + kind.name + "» уже был выше");
        const char* columns[] = {"K для взрослых", "K для детей"};
        for (int c = 0; c < 2; ++c) {
            const std::string k = Trimmed(fields[static_cast<std::size_t>(c) + 1], kFieldBlanks);
            if (k.empty()) continue;
            std::string error;
            const std::optional<double> value = ParseK(k, error);
            if (!value) return fail(row.line, std::string(columns[c]) + " «" + k + "»: " + error);
            (c == 0 ? kind.kAdult : kind.kChild) = value;
        }
        result.kinds.push_back(std::move(kind));
    }
    result.ok = true;
    return result;
}

}  // namespace virel
