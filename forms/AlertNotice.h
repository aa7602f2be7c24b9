#pragma once
// What the notice "Высокая доза" shows of the alerts nobody has acknowledged yet, and when it
// appears, changes and goes: the count, one line per alert (the newest first, as many as the
// window holds), the record the annotation is asked for, the alerts "Принято" acknowledges.
// Portable, tested natively; app/windows/AlertWindow puts it on the screen.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Regional.h"
#include "journal/Alerts.h"
#include "journal/JournalRecord.h"
#include "reports/ReportTables.h"

namespace virel {

namespace texts {
inline constexpr char kAlertCaption[] = "Высокая доза";
inline constexpr char kAlertAnnotate[] = "Указать исследование...";
inline constexpr char kAlertAcknowledge[] = "Принято";
inline constexpr char kAlertCount[] = "Оповещений: ";  // the count follows
inline constexpr char kAlertMore[] = "и ещё ";         // the alerts beyond the lines shown
inline constexpr char kAlertNote[] = "При&мечание:";
inline constexpr char kAlertMeter[] = "Прибор №";
inline constexpr char kAlertNumber[] = ", запись №";
inline constexpr char kAlertLevelRecord[] = "порог для всех записей";
inline constexpr char kAlertLevelKind[] = "порог вида";  // the kind's name follows in quotes
inline constexpr char kAlertLevelCheckup[] = "годовой предел профилактических исследований";
inline constexpr char kAlertDoseUnitSv[] = " мЗв";
inline constexpr char kAlertNotKept[] = "Не сохранено: ";  // the journal's reason follows
}  // namespace texts

// The window's lines: the newest alerts, the rest counted in a line of their own.
inline constexpr std::size_t kAlertNoticeLines = 4;

struct TAlertNotice {
    std::size_t count = 0;           // every unacknowledged alert; 0: the window goes
    std::string countText;           // "Оповещений: 3"
    std::vector<std::string> lines;  // the newest first, then "и ещё 2" when more wait
    // The alerts whose lines are shown: what "Принято" acknowledges. Those the operator has not
    // read (beyond the lines, or raised since the window last changed) stay and are shown next.
    std::vector<std::int64_t> shownIds;
    // The newest alert's record: "Указать исследование..." opens its dialog.
    std::int64_t recordId = 0;
    TJournalRow record;  // its fields, for the dialog's summary line
};

// The notice of the alerts as TAlerts::Unacknowledged lists them (oldest first); doses and
// levels in the journal window's unit, the record's time in the regional format.
TAlertNotice AlertNoticeOf(const std::vector<TAlertRow>& unacknowledged, TDoseUnit unit,
                           const RegionalFormats& formats);

// "Прибор №42, запись №7, 05.03.2007 14:35 — 258.45 Гр·см² (порог для всех записей: 200 Гр·см²)".
std::string AlertLineText(const TAlertRow& alert, TDoseUnit unit, const RegionalFormats& formats);
// The level an alert went over, with its value: DAP in the unit, a check-up's dose in mSv.
std::string AlertLevelText(const TAlertRow& alert, TDoseUnit unit);

// The alert's record as the record's dialog shows it: its meter, number, time and dose (the
// row's bytes are not needed there).
TJournalRow JournalRowOfAlert(const TAlertRow& alert);

// What the window does after a look at the journal.
enum class TNoticeStep {
    None,    // nothing changed
    Show,    // alerts wait and the window is hidden: shown, without taking the focus
    Update,  // the shown window's texts changed
    Hide,    // nothing waits any more
};
TNoticeStep NextNoticeStep(bool visible, const TAlertNotice& shown, const TAlertNotice& now);

// "Принято": the shown alerts acknowledged by the Windows user with the note. One another
// window or process acknowledged meanwhile is done already. Returns what the operator reads
// when the journal could not keep it; empty when every one is kept.
std::string AcknowledgeShown(TAlerts& alerts, const std::vector<std::int64_t>& ids,
                             const std::string& windowsUser, const std::string& note);

}  // namespace virel
