#include "forms/AlertNotice.h"

#include <algorithm>
#include <cstdio>

#include "core/DateTimeFormat.h"
#include "forms/JournalSettings.h"

namespace virel {

namespace {

DateTime TimeOfMinute(std::int64_t minute) {
    return FromMilliseconds(minute * 60'000);
}

std::string MilliSievertText(double value) {
    // The check-up limits are whole or tenths of mSv: two decimals, the zeros that end it gone.
    char text[40];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string result = text;
    while (result.back() == '0') result.pop_back();
    if (result.back() == '.') result.pop_back();
    return result + texts::kAlertDoseUnitSv;
}

}  // namespace

std::string AlertLevelText(const TAlertRow& alert, TDoseUnit unit) {
    switch (alert.level) {
        case TAlertLevel::Record:
            return std::string(texts::kAlertLevelRecord) + ": " +
                   DoseInUnitText(alert.levelValue, unit);
        case TAlertLevel::Kind:
            return std::string(texts::kAlertLevelKind) +
                   (alert.kindName ? " «" + *alert.kindName + "»" : std::string()) + ": " +
                   DoseInUnitText(alert.levelValue, unit);
        case TAlertLevel::Checkup:
            break;
    }
    return std::string(texts::kAlertLevelCheckup) + ": " + MilliSievertText(alert.levelValue);
}

std::string AlertLineText(const TAlertRow& alert, TDoseUnit unit, const RegionalFormats& formats) {
    return texts::kAlertMeter + std::to_string(alert.device) + texts::kAlertNumber +
           std::to_string(alert.number) + ", " +
           DateTimeToText(TimeOfMinute(alert.minute), formats) + " — " +
           DoseInUnitText(alert.dose, unit) + " (" + AlertLevelText(alert, unit) + ")";
}

TJournalRow JournalRowOfAlert(const TAlertRow& alert) {
    TJournalRow row;
    row.id = alert.recordId;
    row.record.device = alert.device;
    row.record.number = alert.number;
    row.record.measuredAt = JournalMinuteText(TimeOfMinute(alert.minute));
    row.record.dose = alert.dose;
    return row;
}

TAlertNotice AlertNoticeOf(const std::vector<TAlertRow>& unacknowledged, TDoseUnit unit,
                           const RegionalFormats& formats) {
    TAlertNotice notice;
    notice.count = unacknowledged.size();
    if (unacknowledged.empty()) return notice;
    notice.countText = texts::kAlertCount + std::to_string(notice.count);
    // The list comes oldest first: the newest is the one the operator is most likely at.
    const std::size_t shown = std::min(notice.count, kAlertNoticeLines);
    for (std::size_t n = 0; n < shown; ++n) {
        const TAlertRow& alert = unacknowledged[notice.count - 1 - n];
        notice.lines.push_back(AlertLineText(alert, unit, formats));
        notice.shownIds.push_back(alert.alertId);
    }
    if (notice.count > shown)
        notice.lines.push_back(texts::kAlertMore + std::to_string(notice.count - shown));
    const TAlertRow& newest = unacknowledged.back();
    notice.recordId = newest.recordId;
    notice.record = JournalRowOfAlert(newest);
    return notice;
}

TNoticeStep NextNoticeStep(bool visible, const TAlertNotice& shown, const TAlertNotice& now) {
    if (now.count == 0) return visible ? TNoticeStep::Hide : TNoticeStep::None;
    if (!visible) return TNoticeStep::Show;
    // The texts compared, not only the ids: the unit may have changed in the journal window.
    const bool same =
        shown.count == now.count && shown.shownIds == now.shownIds && shown.lines == now.lines;
    return same ? TNoticeStep::None : TNoticeStep::Update;
}

std::string AcknowledgeShown(TAlerts& alerts, const std::vector<std::int64_t>& ids,
                             const std::string& windowsUser, const std::string& note) {
    for (const std::int64_t id : ids) {
        const TAcknowledgeResult result = alerts.Acknowledge(id, windowsUser, note);
        // Gone or acknowledged by another window or process: nothing is left to do for it.
        if (result.fault == TAcknowledgeFault::NotWritten)
            return texts::kAlertNotKept + result.error;
    }
    return {};
}

}  // namespace virel
