#pragma once
// The rooms' high-dose alerts as the central registry keeps them, for the reports: a period's
// alerts of every room or of one.
#include <string>
#include <vector>

#include "journal/Alerts.h"
#include "journal/JournalRecord.h"
#include "registry/Registry.h"

namespace virel {

// The alerts of the records in the period (the record's minute, as the period report files
// them), by room and in the records' order; all rooms when `room` is empty. Each kind named by
// its room's catalogue: the alert's own kind, else the record's current one. Throws
// virel::Exception with the reason (never the password).
std::vector<TAlertRow> RegistryAlerts(const TRegistrySettings& settings, const TPeriod& period,
                                      const std::string& room);

}  // namespace virel
