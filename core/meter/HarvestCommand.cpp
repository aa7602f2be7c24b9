#include "core/meter/HarvestCommand.h"

#include <cstdio>
#include <utility>

namespace virel {

namespace {

// The switch's name in lower case without its "/" or "-"; none for an argument that is no
// switch. Only ASCII letters are folded: the switches are Latin.
std::optional<std::string> SwitchName(const std::string& argument) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
    std::string name = argument.substr(1);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

std::string With(const char* pattern, const std::string& value) {
    std::string text = pattern;
    const auto at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

}  // namespace

THarvestCommand ParseHarvestCommand(const std::vector<std::string>& arguments) {
    THarvestCommand command;
    for (const std::string& argument : arguments) {
        if (SwitchName(argument) == "harvest") command.requested = true;
    }
    if (!command.requested) return command;
    auto refuse = [&command](std::string reason) {
        command.error = std::move(reason) + texts::kCommandUsage;
        return command;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto name = SwitchName(argument);
        if (name == "harvest") continue;
        if (name == "trace") {
            command.trace = true;
            continue;
        }
        if (name != "port" && name != "speed")
            return refuse(With(texts::kCommandUnknownSwitch, argument));
        if (i + 1 >= arguments.size() || SwitchName(arguments[i + 1]))
            return refuse(With(texts::kCommandNoValue, argument));
        const std::string& value = arguments[++i];
        if (name == "port") {
            if (command.port) return refuse(With(texts::kCommandRepeated, argument));
            TLinePort port(value);
            if (!port.Number()) return refuse(With(texts::kCommandBadPort, value));
            command.port = std::move(port);
        } else {
            if (command.speed) return refuse(With(texts::kCommandRepeated, argument));
            const auto speed = SpeedFromText(value);
            if (!speed) return refuse(With(texts::kCommandBadSpeed, value));
            command.speed = *speed;
        }
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
    if (result.mayHaveOverwritten) return THarvestExit::MayHaveOverwritten;
    return THarvestExit::Done;
}

void KeptAfterAll(THarvestResult& result, std::size_t added) {
    result.held = false;
    result.added = added;
    result.mayHaveOverwritten =
        result.newestJournaled.has_value() && added == static_cast<std::size_t>(kArchiveRecords);
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
