#pragma once
// The patient's dose sheet (лист учёта дозовых нагрузок): for records chosen in the window
// "Журнал доз", the lines the patient's card takes — date, examination, DAP with its unit and
// the effective dose in mSv — as tab-separated text and as an HTML table, the two forms the
// clipboard carries so that a text editor, a spreadsheet and a word processor each paste it.
// Portable, tested natively; the window only puts the texts on the clipboard.
#include <optional>
#include <string>
#include <vector>

#include "core/Regional.h"
#include "journal/Annotations.h"
#include "journal/Journal.h"
#include "reports/ReportTables.h"

namespace virel {

namespace texts {
inline constexpr char kDoseSheetDate[] = "Дата";
inline constexpr char kDoseSheetExamination[] = "Исследование";
inline constexpr char kDoseSheetDap[] = "ДАП, ";  // the unit follows
inline constexpr char kDoseSheetEffective[] = "Эффективная доза, мЗв";
// The journal window's menu entry and what its status line says after it.
inline constexpr char kDoseSheetCopy[] = "&Копировать лист учёта доз";
inline constexpr char kDoseSheetCopied[] = "Лист учёта доз скопирован в буфер обмена, записей: ";
inline constexpr char kDoseSheetNothing[] =
    "Выделите записи пациента в списке (несколько — с Ctrl или Shift), затем Ctrl+C";
inline constexpr char kDoseSheetNotCopied[] =
    "Лист учёта доз не скопирован: буфер обмена занят другой программой";
}  // namespace texts

// A record as the sheet needs it: its row and its current annotation (none without one).
struct TDoseSheetRecord {
    TJournalRow row;
    std::optional<TAnnotation> annotation;
};

// One line of the sheet, as shown. `effective` is empty when the record has no kind, no year
// of birth or no K for the patient's age group: never 0 for an unknown dose.
struct TDoseSheetLine {
    std::string date;
    std::string examination;
    std::string dap;
    std::string effective;
};

struct TDoseSheet {
    std::vector<std::string> headers;
    std::vector<TDoseSheetLine> lines;  // oldest first, as a card is filled in (one minute's
                                        // in the order the journal took them)
};

// The records' lines: the date the meter stamped (the day it was first seen for a record
// without a valid time) in the regional short date, the kind's name from the catalogue, DAP
// in `unit` and the effective dose with the digits the reports show, "." and the decimal
// separator given as its point.
TDoseSheet DoseSheetOf(const std::vector<TDoseSheetRecord>& records,
                       const std::vector<TExamKind>& catalogue, TDoseUnit unit,
                       const RegionalFormats& formats, char decimalSeparator);

// The header line and a line per record, fields parted by a tab, every line ended by CR LF.
// A tab or a line break inside a field becomes a space: it would part cells or rows.
std::string DoseSheetText(const TDoseSheet& sheet);
// The same as an HTML <table>, the header in <th> cells, every text escaped.
std::string DoseSheetTable(const TDoseSheet& sheet);
// An HTML fragment in the clipboard's "HTML Format": the description with the byte offsets of
// the document and of the fragment, then the document, all in UTF-8.
std::string ClipboardHtml(const std::string& fragment);

}  // namespace virel
