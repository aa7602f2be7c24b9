#include "forms/ReportSources.h"

#include <exception>

#include "core/TextUtil.h"
#include "registry/RegistryAlerts.h"

namespace virel {

namespace {

TReportSource Source(std::string name, const TRegistrySettings& settings, std::string room) {
    return {std::move(name), [settings, room = std::move(room)](const TPeriod& period, TDoseUnit) {
                TReportOutcome outcome;
                try {
                    outcome.report = RegistryReport(settings, period, room);
                    outcome.report->alerts = RegistryAlerts(settings, period, room);
                } catch (const std::exception& e) {
                    outcome.error = e.what();
                }
                return outcome;
            }};
}

}  // namespace

std::vector<TReportSource> RegistryReportSources(const TRegistrySettings& settings) {
    if (!Configured(settings)) return {};
    return {Source(texts::kReportSourceAllRooms, settings, {}),
            Source(texts::kReportSourceThisRoom, settings, settings.room)};
}

std::vector<TReportSource> OtherRoomSources(const TRegistrySettings& settings) {
    std::vector<TReportSource> sources;
    if (!Configured(settings)) return sources;
    std::vector<std::string> rooms;
    try {
        rooms = RegistryRooms(settings);
    } catch (const std::exception&) {
        return sources;  // the registry's own entries say why when chosen
    }
    const auto trimmed = [](const std::string& text) { return Trimmed(text, " \t"); };
    const std::string own = trimmed(settings.room);
    for (const std::string& room : rooms) {
        if (trimmed(room) == own || trimmed(room).empty()) continue;
        sources.push_back(Source(room, settings, room));
    }
    return sources;
}

}  // namespace virel
