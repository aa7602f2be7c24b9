#include "core/meter/HarvestCommand.h"

#include <cstdio>
#include <utility>

#include "core/CommandSwitches.h"
#include "core/meter/DeviceTexts.h"
#include "core/meter/PortChoice.h"

namespace virel {

namespace {

std::string With(const char* pattern, const std::string& value) {
    std::string text = pattern;
    const auto at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

const char* FaultPattern(TSwitchFault::Kind kind) {
    switch (kind) {
        case TSwitchFault::Kind::NoValue:
            return texts::kCommandNoValue;
        case TSwitchFault::Kind::Repeated:
            return texts::kCommandRepeated;
        case TSwitchFault::Kind::Unknown:
            break;
    }
    return texts::kCommandUnknownSwitch;
}

}  // namespace

THarvestCommand ParseHarvestCommand(const std::vector<std::string>& arguments) {
    THarvestCommand command;
    command.requested = HasSwitch(arguments, "harvest");
    if (!command.requested) return command;
    auto refuse = [&command](std::string reason) {
        command.error = std::move(reason) + texts::kCommandUsage;
        return command;
    };
    const TSwitches switches =
        ReadSwitches(arguments, {{"harvest"}, {"trace"}, {"port", true}, {"speed", true}});
    if (switches.fault)
        return refuse(With(FaultPattern(switches.fault->kind), switches.fault->argument));
    command.trace = switches.Has("trace");
    if (const auto port = switches.Value("port")) {
        TLinePort line(*port);
        if (!line.Number()) return refuse(With(texts::kCommandBadPort, *port));
        command.port = std::move(line);
    }
    if (const auto text = switches.Value("speed")) {
        const auto speed = SpeedFromText(*text);
        if (!speed) return refuse(With(texts::kCommandBadSpeed, *text));
        command.speed = *speed;
    }
    return command;
}

THarvestExit HarvestExitOf(const THarvestResult& result) {
    switch (result.outcome) {
        case THarvestResult::Outcome::NoPort:
        case THarvestResult::Outcome::NothingRead:
        case THarvestResult::Outcome::TwoMeters:
            return THarvestExit::NothingHarvested;
        case THarvestResult::Outcome::Done:
            break;
    }
    if (result.held) return THarvestExit::JournalUnwritable;
    // Before the warning of overwritten records: the missing ones may still be read now, by
    // harvesting again.
    if (result.read < static_cast<std::size_t>(kArchiveRecords)) return THarvestExit::Incomplete;
    if (result.mayHaveOverwritten) return THarvestExit::MayHaveOverwritten;
    return THarvestExit::Done;
}

void KeptAfterAll(THarvestResult& result, std::size_t added, std::size_t alerts) {
    result.held = false;
    result.added = added;
    result.alerts = alerts;
    result.mayHaveOverwritten = MayHaveOverwritten(result);
}

std::string HarvestCommandSummary(const THarvestResult& result, const std::string& port,
                                  const RegionalFormats& formats, const std::string& journalPath,
                                  const std::string& heldMessage) {
    if (result.outcome == THarvestResult::Outcome::Done && result.held) {
        std::string text =
            texts::kHarvestJournalUnwritable + journalPath + texts::kHarvestJournalUnwritable2;
        if (!heldMessage.empty()) text += ". " + heldMessage;
        return text;
    }
    std::string text = HarvestSummary(result, port);
    // Nobody watches a scheduled harvest: its line tells what the window's notice would.
    if (result.outcome == THarvestResult::Outcome::Done && result.alerts > 0)
        text += texts::kHarvestOverAlertLevel + std::to_string(result.alerts);
    const std::string gap = HarvestGapWarning(result, formats);
    if (!gap.empty()) text += ". " + gap;
    return text;
}

std::string HarvestFileLine(const DateTime& now, const std::string& summary) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    return stamp + summary;
}

}  // namespace virel
