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
};

struct TKindParse {
    std::optional<TExamKind> kind;  // none: `message` says what is wrong
    std::string message;
};

// The name trimmed and not empty; each K empty or as the catalogue's file writes it.
TKindParse ParseKindFields(const TKindFields& fields, std::int64_t id);
TKindFields FieldsOfKind(const TExamKind& kind);
// A K's cell: "0,18", or empty for none.
std::string KCellText(const std::optional<double>& k);
// What the operator reads when the journal refused a change to the kind named `name`.
std::string KindFaultText(const TKindResult& result, const std::string& name);

}  // namespace virel
