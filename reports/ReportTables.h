#pragma once
// The period report as tables (core/export/ReportBook.h) in a chosen unit of DAP, the unit named in
// every header. Nothing of the patient is in them.
#include <optional>
#include <string>
#include <string_view>

#include "core/export/ReportBook.h"
#include "reports/PeriodReport.h"

namespace virel {

// The units of DAP a report can show: Gy·cm² (the meter's own), cGy·cm² (= µGy·m²) and mGy·cm².
enum class TDoseUnit { Gy, cGy, mGy };
// "Gy", "cGy", "mGy", as the command line names them (letter case as written here).
std::optional<TDoseUnit> DoseUnitOfName(std::string_view name);
std::string DoseUnitText(TDoseUnit unit);  // "Гр·см²", "сГр·см² (= мкГр·м²)", "мГр·см²"
// Digits after the point: every unit shows whole mGy·cm², the meter's resolution.
int DoseUnitDecimals(TDoseUnit unit);

// A dose of whole mGy·cm² in the unit, and a percentile's quarters rounded to it (half up).
TBookCell DoseCell(std::int64_t milli, TDoseUnit unit);
TBookCell QuarterDoseCell(std::int64_t quarters, TDoseUnit unit);
// An effective dose in mSv with three decimals, rounded half up from 10^-9 mSv.
TBookCell EffectiveCell(std::int64_t nano);
TBookCell MeanEffectiveCell(std::int64_t nano, std::int64_t count);

// "Отчёт за период с 01.09.2025 по 30.09.2025"
std::string ReportTitle(const TPeriod& period);

// Two tables: by kind of examination (the kinds, then the records without a kind, then all of
// them) and by month, with the chart of the monthly total DAP. Then the audit against the
// reference levels when there is one: the kinds' (kAuditSheet), or over the registry's rooms
// together each room's (kRoomsAuditSheet) and the local levels (kLocalLevelsSheet).
TBook ReportBook(const TPeriodReport& report, TDoseUnit unit);

inline constexpr char kKindsSheet[] = "По видам исследований";
inline constexpr char kMonthsSheet[] = "По месяцам";
inline constexpr char kWithoutKindRow[] = "Без вида исследования";
inline constexpr char kAllRow[] = "Всего";
inline constexpr char kAuditSheet[] = "Аудит по РДУ";
inline constexpr char kRoomsAuditSheet[] = "Аудит по кабинетам";
inline constexpr char kAlertsSheet[] = "Оповещения";  // the period's high-dose alerts, when any
inline constexpr char kLocalLevelsSheet[] = "Местные РДУ";

}  // namespace virel
