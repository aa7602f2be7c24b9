#include "registry/ReportSources.h"

#include <exception>

namespace virel {

namespace {

TReportSource Source(const char* name, const TRegistrySettings& settings, std::string room) {
    return {name, [settings, room = std::move(room)](const TPeriod& period, TDoseUnit) {
                TReportOutcome outcome;
                try {
                    outcome.report = RegistryReport(settings, period, room);
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

}  // namespace virel
