#pragma once
// The dose journal's own settings, chosen in the window "Журнал доз" and kept with the program's
// other settings: the unit the window shows DAP in and how the patient field is kept. Their
// stored texts, the dialog's texts, and the window's dose cells and totals in the unit.
// Portable, tested natively.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Regional.h"
#include "core/export/ArchiveSheet.h"
#include "journal/Annotations.h"
#include "journal/Journal.h"
#include "reports/ReportTables.h"

namespace virel {

namespace texts {
inline constexpr char kJournalSettingsButton[] = "&Настройки...";
inline constexpr char kJournalSettingsCaption[] = "Настройки журнала доз";
inline constexpr char kSettingsUnit[] = "&Единица ДАП:";
inline constexpr char kSettingsPatient[] = "&Пациент:";
inline constexpr char kSettingsSalt[] = "&Соль клиники:";
inline constexpr char kPatientTyped[] = "хранить как введено";
inline constexpr char kPatientSha256[] = "хранить только хеш SHA-256 с солью клиники";
inline constexpr char kPatientNone[] = "не хранить";
inline constexpr char kSettingsSaltHint[] =
    "Соль — секретный текст клиники; с другой солью хеш того же пациента будет другим.";
inline constexpr char kJournalSettingsNotStored[] =
    "Настройки не сохранены в реестре; они действуют, пока окно открыто.";
inline constexpr char kSettingsSaltEmpty[] = "Для хеша укажите соль клиники — секретный текст.";
inline constexpr char kSettingsAlertLevel[] =
    "Порог &оповещения для любой записи, Гр·см² (0 — без оповещения):";
inline constexpr char kSettingsAlertLevelWrong[] = "Порог оповещения «";  // the text, then why
}  // namespace texts

// The DAP above which any record raises an alert, whatever its kind (dose-management systems
// ship with 200 Gy·cm²); 0: none.
inline constexpr double kDefaultRecordAlertLevel = 200.0;

struct TJournalSettings {
    TDoseUnit unit = TDoseUnit::Gy;
    TPatientPrivacy privacy;
    double recordAlertLevel = kDefaultRecordAlertLevel;  // Gy·cm²; 0: no alert for every record
};

// The stored texts of the unit ("Gy", "cGy", "mGy"); the patient's form's are PatientFormText's
// ("typed", "sha256", "none").
std::string DoseUnitName(TDoseUnit unit);
std::optional<TPatientForm> PatientFormOfName(std::string_view name);
// The stored texts as settings: a text the program does not know gives the default (Gy·cm²,
// as typed), a hash without a salt is kept as typed never: it keeps nothing.
TJournalSettings JournalSettingsOfStored(const std::string& unit, const std::string& form,
                                         const std::string& salt);

// The record alert level as stored, in whole mGy·cm², and back: a negative stored value is junk
// and reads as the default; a level beyond what the store holds is kept as its largest.
double RecordAlertLevelOfStored(std::int32_t milli);
std::int32_t StoredRecordAlertLevel(double level);
// The record alert level as the dialog shows and reads it, in Gy·cm² with a decimal comma (a
// point is taken too); "0" for none. Nothing, with why, for a text that is no level.
std::string RecordAlertLevelText(double level);
std::optional<double> ParseRecordAlertLevel(const std::string& text, std::string& error);

// The list's dose column header and a row's dose in the unit: Gy·cm² as the meter writes it,
// cGy·cm² and mGy·cm² from the meter's thousandths, exact.
std::string JournalDoseHeader(TDoseUnit unit);
std::string JournalDoseText(const TJournalRow& row, TDoseUnit unit);
// The shown period for the file export's writers (JournalSheet) with its doses in the unit and
// the unit in the dose column's header: cGy·cm² and mGy·cm² from the meter's thousandths, exact.
TArchiveSheet JournalSheetIn(const std::vector<TJournalRow>& rows, const TPeriod& period,
                             const RegionalFormats& formats, TDoseUnit unit);
// A DAP in Gy·cm² in the unit, with the unit: "258.45 Гр·см²", "258450 мГр·см²".
std::string DoseInUnitText(double dose, TDoseUnit unit);
// "Записей за период: 12, сумма доз: 34567 сГр·см²".
std::string TotalsTextIn(const TPeriodTotals& totals, TDoseUnit unit);

}  // namespace virel
