#pragma once
// The central registry as sources of the report window ("Отчёт за период"): all rooms, this
// room as the server holds it, and each other room. Portable, tested natively.
#include <vector>

#include "registry/Registry.h"
#include "forms/ReportView.h"

namespace virel {

namespace texts {
// Short: the report window's list is narrow.
inline constexpr char kReportSourceAllRooms[] = "Все кабинеты";
inline constexpr char kReportSourceThisRoom[] = "Кабинет на сервере";
}  // namespace texts

// None when the registry is not configured. Each report connects to the server on the report
// window's thread, with the settings as they were when the window opened; the server's or the
// driver's reason (never the password) is the outcome's error.
std::vector<TReportSource> RegistryReportSources(const TRegistrySettings& settings);

// Each other room the server holds, by its name: asked of the server (RegistryRooms), so it
// runs off the window's thread. None when the registry is not configured or does not answer:
// the report window then offers all rooms and this one only.
std::vector<TReportSource> OtherRoomSources(const TRegistrySettings& settings);

}  // namespace virel
