#pragma once
// The catalogue's dialog in the window "Журнал доз", apart from the windows: its texts, a kind
// as typed checked (K with a decimal comma, an empty K allowed), the journal's refusals and the
// file's import and export said for the operator. Portable, tested natively.
#include <optional>
#include <string>

#include "journal/Annotations.h"
#include "reports/CatalogueCsv.h"

namespace virel {

namespace texts {
inline constexpr char kCatalogueButton[] = "Виды &исследований...";
inline constexpr char kCatalogueCaption[] = "Виды исследований";
inline constexpr char kCatalogueHeaderName[] = "Вид исследования";
inline constexpr char kCatalogueHeaderAdult[] = "K для взрослых, мЗв/(Гр·см²)";
inline constexpr char kCatalogueHeaderChild[] = "K для детей, мЗв/(Гр·см²)";
inline constexpr char kCatalogueHeaderReference[] = "РДУ, Гр·см²";
inline constexpr char kCatalogueHeaderAlert[] = "Порог оповещения, Гр·см²";
inline constexpr char kCatalogueHeaderPreventive[] = "Профилактическое";
inline constexpr char kCatalogueAdd[] = "&Добавить...";
inline constexpr char kCatalogueEdit[] = "&Изменить...";
inline constexpr char kCatalogueRemove[] = "&Удалить";
inline constexpr char kCatalogueImport[] = "&Загрузить из CSV...";
inline constexpr char kCatalogueExport[] = "&Сохранить в CSV...";
inline constexpr char kCatalogueClose[] = "Закрыть";
inline constexpr char kKindCaption[] = "Вид исследования";
inline constexpr char kKindName[] = "&Название:";
inline constexpr char kKindAdult[] = "K для &взрослых:";
inline constexpr char kKindChild[] = "K для &детей:";
inline constexpr char kKindHint[] =
    "мЗв на Гр·см², например 0,18; пустое поле — эффективная доза не считается";
inline constexpr char kKindReference[] = "&РДУ, Гр·см²:";
inline constexpr char kKindAlert[] = "П&орог оповещения, Гр·см²:";
inline constexpr char kKindPreventive[] = "П&рофилактическое исследование";
inline constexpr char kKindLevelHint[] = "ДАП, например 0,8; пустое поле — уровень не задан";
inline constexpr char kKindInvalidLevel[] =
    "Уровень должен быть больше нуля; пустое поле — уровень не задан.";
// After QuestionedKText, in the box that asks before a catalogue file is taken.
inline constexpr char kCatalogueQuestionK[] = ". Загрузить каталог как есть?";
inline constexpr char kKindEmptyName[] = "Укажите название вида исследования.";
inline constexpr char kKindDuplicate[] = "Вид исследования «";  // the name, then the rest
inline constexpr char kKindDuplicateEnd[] = "» уже есть в каталоге.";
inline constexpr char kKindInUse[] = "Вид исследования «";
inline constexpr char kKindInUseEnd[] = "» указан в описаниях записей журнала; его нельзя удалить.";
inline constexpr char kKindGone[] = "Этого вида исследования больше нет в каталоге.";
inline constexpr char kKindNegative[] = "K не может быть отрицательным.";
inline constexpr char kCatalogueNotWritten[] =
    "Каталог не изменён: журнал доз недоступен для записи: ";
inline constexpr char kCatalogueNotImported[] = "Каталог не загружен, ничего не изменено: ";
inline constexpr char kCatalogueNotRead[] = "Каталог не прочитан из ";
inline constexpr char kCatalogueImported[] = "Каталог загружен из ";  // file, " (видов: N)"
inline constexpr char kCatalogueNotSaved[] = "Каталог не сохранён в файл ";  // file, ": ", reason
inline constexpr char kCatalogueExported[] = "Каталог сохранён в файл ";
inline constexpr char kCatalogueKinds[] = " (видов исследований: ";
inline constexpr char kCatalogueFilter[] = "Каталог CSV (*.csv)";
inline constexpr char kCatalogueFileName[] = "Каталог видов исследований";
}  // namespace texts

// The kind's dialog as typed.
struct TKindFields {
    std::string name;
    std::string kAdult;
    std::string kChild;
    std::string referenceLevel;  // Gy·cm²
    std::string alertLevel;      // Gy·cm²
    bool preventive = false;
};

struct TKindParse {
    std::optional<TExamKind> kind;  // none: `message` says what is wrong
    std::string message;
};

// The name trimmed and not empty; each K empty or as the catalogue's file writes it; each level
// empty or above zero.
TKindParse ParseKindFields(const TKindFields& fields, std::int64_t id);
TKindFields FieldsOfKind(const TExamKind& kind);
// A K's cell: "0,18", or empty for none.
std::string KCellText(const std::optional<double>& k);
// A level's cell in Gy·cm² ("0,8"), or empty for none; the flag's "да" or empty.
std::string LevelCellText(const std::optional<double>& level);
std::string PreventiveCellText(bool preventive);
// What the operator reads when the journal refused a change to the kind named `name`.
std::string KindFaultText(const TKindResult& result, const std::string& name);

}  // namespace virel
