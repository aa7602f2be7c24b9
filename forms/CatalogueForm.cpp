#include "forms/CatalogueForm.h"

#include "core/TextUtil.h"

namespace virel {

namespace {

// Spaces and tabs: what a typed field may carry around its value.
constexpr std::string_view kFieldBlanks = " \t";

// An empty field is no K; anything else must be one.
bool ReadK(const std::string& label, const std::string& text, std::optional<double>& k,
           std::string& message) {
    if (Trimmed(text, kFieldBlanks).empty()) return true;
    std::string error;
    k = ParseKText(text, error);
    if (!k) message = label + " «" + text + "»: " + error;
    return k.has_value();
}

// An empty field is no level; anything else must be one.
bool ReadLevel(const std::string& label, const std::string& text, std::optional<double>& level,
               std::string& message) {
    if (Trimmed(text, kFieldBlanks).empty()) return true;
    std::string error;
    level = ParseLevelText(text, error);
    if (!level) message = label + " «" + text + "»: " + error;
    return level.has_value();
}

}  // namespace

TKindParse ParseKindFields(const TKindFields& fields, std::int64_t id) {
    TKindParse parse;
    TExamKind kind;
    kind.id = id;
    kind.name = Trimmed(fields.name, kFieldBlanks);
    if (kind.name.empty()) {
        parse.message = texts::kKindEmptyName;
        return parse;
    }
    // The same words as the catalogue's file and its messages use for the columns.
    if (!ReadK("K для взрослых", fields.kAdult, kind.kAdult, parse.message)) return parse;
    if (!ReadK("K для детей", fields.kChild, kind.kChild, parse.message)) return parse;
    if (!ReadLevel(kCatalogueReferenceColumn, fields.referenceLevel, kind.referenceLevel,
                   parse.message))
        return parse;
    if (!ReadLevel(kCatalogueAlertColumn, fields.alertLevel, kind.alertLevel, parse.message))
        return parse;
    kind.preventive = fields.preventive;
    parse.kind = std::move(kind);
    return parse;
}

TKindFields FieldsOfKind(const TExamKind& kind) {
    return {kind.name,
            KCellText(kind.kAdult),
            KCellText(kind.kChild),
            LevelCellText(kind.referenceLevel),
            LevelCellText(kind.alertLevel),
            kind.preventive};
}

std::string KCellText(const std::optional<double>& k) {
    return k ? KText(*k) : std::string();
}

std::string LevelCellText(const std::optional<double>& level) {
    // Millionths with a decimal comma, as a K: the file's and the dialog's one number format.
    return level ? KText(*level) : std::string();
}

std::string PreventiveCellText(bool preventive) {
    return preventive ? kCataloguePreventiveYes : "";
}

std::string KindFaultText(const TKindResult& result, const std::string& name) {
    switch (result.fault) {
        case TKindFault::None:
            return {};
        case TKindFault::EmptyName:
            return texts::kKindEmptyName;
        case TKindFault::NegativeK:
            return texts::kKindNegative;
        case TKindFault::InvalidLevel:
            return texts::kKindInvalidLevel;
        case TKindFault::DuplicateName:
            return texts::kKindDuplicate + name + texts::kKindDuplicateEnd;
        case TKindFault::NoKind:
            return texts::kKindGone;
        case TKindFault::InUse:
            return texts::kKindInUse + name + texts::kKindInUseEnd;
        case TKindFault::NotWritten:
            return texts::kCatalogueNotWritten + result.error;
    }
    return {};
}

}  // namespace virel
