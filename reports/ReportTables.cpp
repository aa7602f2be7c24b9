#include "reports/ReportTables.h"

#include <cstdio>

#include "core/DateTimeFormat.h"

namespace virel {

namespace {

// Rounds a non-negative a / b to the nearest whole number, halves up.
std::int64_t RoundedQuotient(std::int64_t a, std::int64_t b) {
    return (a / b) + ((a % b) * 2 >= b ? 1 : 0);
}

std::string DateText(const DateTime& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", day.day, day.month, day.year);
    return text;
}

std::vector<TBookCell> KindRow(const std::string& name, const TDoseFigures& f, TDoseUnit unit) {
    std::vector<TBookCell> row{TBookCell::Of(name), TBookCell::Count(f.count),
                               DoseCell(f.totalMilli, unit)};
    // No records: no median. No record with an effective dose: no effective dose, never zero.
    row.push_back(f.count > 0 ? QuarterDoseCell(f.medianQuarter, unit) : TBookCell::Blank());
    row.push_back(f.count > 0 ? QuarterDoseCell(f.p75Quarter, unit) : TBookCell::Blank());
    row.push_back(TBookCell::Count(f.withEffective));
    row.push_back(f.withEffective > 0 ? EffectiveCell(f.effectiveNano) : TBookCell::Blank());
    row.push_back(f.withEffective > 0 ? MeanEffectiveCell(f.effectiveNano, f.withEffective)
                                      : TBookCell::Blank());
    return row;
}

std::vector<TBookCell> AuditCells(const TAuditRow& a, bool withRoom, TDoseUnit unit) {
    std::vector<TBookCell> row{TBookCell::Of(a.name)};
    if (withRoom) row.push_back(TBookCell::Of(a.room));
    row.push_back(TBookCell::Count(a.count));
    row.push_back(a.count > 0 ? QuarterDoseCell(a.medianQuarter, unit) : TBookCell::Blank());
    row.push_back(a.count > 0 ? QuarterDoseCell(a.p75Quarter, unit) : TBookCell::Blank());
    row.push_back(a.levelMilli ? DoseCell(*a.levelMilli, unit) : TBookCell::Blank());
    const auto percent = MedianPercentTenths(a);
    row.push_back(percent ? TBookCell::Fixed(*percent, 1) : TBookCell::Blank());
    const std::string mark = AuditMarkText(AuditMarkOf(a));
    row.push_back(mark.empty() ? TBookCell::Blank() : TBookCell::Of(mark));
    return row;
}

TBookSheet AuditSheet(const TPeriodReport& report, const std::vector<TAuditRow>& rows,
                      bool withRoom, TDoseUnit unit) {
    const std::string u = ", " + DoseUnitText(unit);
    TBookSheet sheet;
    sheet.name = withRoom ? kRoomsAuditSheet : kAuditSheet;
    sheet.title = ReportTitle(report.period);
    sheet.headers = {"Вид исследования"};
    if (withRoom) sheet.headers.push_back("Кабинет");
    sheet.headers.insert(sheet.headers.end(),
                         {"Число исследований", "Медиана ДАП" + u, "75-й процентиль ДАП" + u,
                          "РДУ" + u, "Медиана, % РДУ", "Превышение"});
    for (const TAuditRow& row : rows) sheet.rows.push_back(AuditCells(row, withRoom, unit));
    return sheet;
}

TBookSheet LocalLevelsSheet(const TPeriodReport& report, const std::vector<TLocalLevel>& levels,
                            TDoseUnit unit) {
    TBookSheet sheet;
    sheet.name = kLocalLevelsSheet;
    sheet.title = ReportTitle(report.period);
    sheet.headers = {"Вид исследования",
                     "Кабинетов (от " + std::to_string(kAuditMinRecords) + " исследований)",
                     "Местный РДУ (75-й процентиль медиан кабинетов), " + DoseUnitText(unit)};
    for (const TLocalLevel& level : levels) {
        sheet.rows.push_back({TBookCell::Of(level.name), TBookCell::Count(level.rooms),
                              level.rooms > 0 ? DoseCell(level.LevelMilli(), unit)
                                              : TBookCell::Blank()});
    }
    return sheet;
}

const char* AlertLevelName(TAlertLevel level) {
    switch (level) {
        case TAlertLevel::Record:
            return "для всех записей";
        case TAlertLevel::Kind:
            return "вида исследования";
        case TAlertLevel::Checkup:
            break;
    }
    return "годовая доза профилактических исследований";
}

// The period's alerts, in the records' order; the room only over the registry. A check-up's
// level is an effective dose in mSv (a text: the column's numbers are DAP in the unit).
TBookSheet AlertsSheet(const TPeriodReport& report, TDoseUnit unit) {
    bool rooms = false;
    for (const TAlertRow& a : report.alerts) rooms = rooms || !a.room.empty();
    const std::string u = ", " + DoseUnitText(unit);
    TBookSheet sheet;
    sheet.name = kAlertsSheet;
    sheet.title = ReportTitle(report.period);
    sheet.headers = {"Дата и время"};
    if (rooms) sheet.headers.push_back("Кабинет");
    sheet.headers.insert(sheet.headers.end(),
                         {"Прибор", "Номер измерения", "ДАП" + u, "Порог", "Значение порога" + u,
                          "Вид исследования", "Принято", "Примечание"});
    for (const TAlertRow& a : report.alerts) {
        const DateTime at = FromMilliseconds(a.minute * 60'000);
        char when[24];
        std::snprintf(when, sizeof when, "%02d.%02d.%04d %02d:%02d", at.day, at.month, at.year,
                      at.hour, at.minute);
        std::vector<TBookCell> row{TBookCell::Of(when)};
        if (rooms) row.push_back(TBookCell::Of(a.room));
        row.push_back(TBookCell::Count(a.device));
        row.push_back(TBookCell::Count(a.number));
        row.push_back(DoseCell(MilliOf(a.dose), unit));
        row.push_back(TBookCell::Of(AlertLevelName(a.level)));
        if (a.level == TAlertLevel::Checkup) {
            char level[40];
            std::snprintf(level, sizeof level, "%.3f мЗв", a.levelValue);
            row.push_back(TBookCell::Of(level));
        } else {
            row.push_back(DoseCell(MilliOf(a.levelValue), unit));
        }
        row.push_back(a.kindName ? TBookCell::Of(*a.kindName) : TBookCell::Blank());
        row.push_back(TBookCell::Of(!a.acknowledged ? std::string("нет")
                                    : a.acknowledgedBy ? "да, " + *a.acknowledgedBy
                                                       : std::string("да")));
        row.push_back(a.note.empty() ? TBookCell::Blank() : TBookCell::Of(a.note));
        sheet.rows.push_back(std::move(row));
    }
    return sheet;
}

}  // namespace

std::optional<TDoseUnit> DoseUnitOfName(std::string_view name) {
    if (name == "Gy") return TDoseUnit::Gy;
    if (name == "cGy") return TDoseUnit::cGy;
    if (name == "mGy") return TDoseUnit::mGy;
    return std::nullopt;
}

std::string DoseUnitText(TDoseUnit unit) {
    switch (unit) {
        case TDoseUnit::Gy:
            return "Гр·см²";
        case TDoseUnit::cGy:
            return "сГр·см² (= мкГр·м²)";
        case TDoseUnit::mGy:
            break;
    }
    return "мГр·см²";
}

int DoseUnitDecimals(TDoseUnit unit) {
    switch (unit) {
        case TDoseUnit::Gy:
            return 3;
        case TDoseUnit::cGy:
            return 1;
        case TDoseUnit::mGy:
            break;
    }
    return 0;
}

TBookCell DoseCell(std::int64_t milli, TDoseUnit unit) {
    return TBookCell::Fixed(milli, DoseUnitDecimals(unit));
}

TBookCell QuarterDoseCell(std::int64_t quarters, TDoseUnit unit) {
    return DoseCell(RoundedQuotient(quarters, 4), unit);
}

TBookCell EffectiveCell(std::int64_t nano) {
    return TBookCell::Fixed(RoundedQuotient(nano, 1'000'000), 3);
}

TBookCell MeanEffectiveCell(std::int64_t nano, std::int64_t count) {
    // nano / count / 10^6, rounded once: exact for any count a journal can hold.
    const std::int64_t micro = nano / count / 1'000'000;
    const std::int64_t rest = nano - micro * 1'000'000 * count;  // 0 <= rest < 10^6 * count
    return TBookCell::Fixed(micro + (rest * 2 >= 1'000'000 * count ? 1 : 0), 3);
}

std::string ReportTitle(const TPeriod& period) {
    return "Отчёт за период с " + DateText(period.from) + " по " + DateText(period.to);
}

TBook ReportBook(const TPeriodReport& report, TDoseUnit unit) {
    const std::string u = ", " + DoseUnitText(unit);
    TBook book;
    TBookSheet kinds;
    kinds.name = kKindsSheet;
    kinds.title = ReportTitle(report.period);
    kinds.headers = {"Вид исследования",
                     "Число исследований",
                     "Суммарный ДАП" + u,
                     "Медиана ДАП" + u,
                     "75-й процентиль ДАП" + u,
                     "Исследований с эффективной дозой",
                     "Суммарная эффективная доза, мЗв",
                     "Средняя эффективная доза, мЗв"};
    for (const TKindFigures& kind : report.kinds)
        kinds.rows.push_back(KindRow(kind.name, kind.figures, unit));
    kinds.rows.push_back(KindRow(kWithoutKindRow, report.withoutKind, unit));
    kinds.rows.push_back(KindRow(kAllRow, report.all, unit));
    book.sheets.push_back(std::move(kinds));

    TBookSheet months;
    months.name = kMonthsSheet;
    months.title = ReportTitle(report.period);
    months.headers = {"Месяц", "Число исследований", "Суммарный ДАП" + u};
    for (const TMonthFigures& month : report.months) {
        months.rows.push_back({TBookCell::MonthOf(month.year, month.month),
                               TBookCell::Count(month.count), DoseCell(month.totalMilli, unit)});
    }
    months.chart = TBookChart{"Суммарный ДАП по месяцам" + u, "Суммарный ДАП" + u, 2};
    book.sheets.push_back(std::move(months));

    // A clinic that has set no level gets no audit to read.
    if (report.rooms) {
        book.sheets.push_back(AuditSheet(report, report.rooms->rows, true, unit));
        book.sheets.push_back(LocalLevelsSheet(report, report.rooms->levels, unit));
    } else if (!report.audit.empty()) {
        book.sheets.push_back(AuditSheet(report, report.audit, false, unit));
    }
    if (!report.alerts.empty()) book.sheets.push_back(AlertsSheet(report, unit));
    return book;
}

}  // namespace virel
