#include "reports/ReportCommandLine.h"

#include <cctype>

#include "core/CommandSwitches.h"

namespace virel {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

constexpr char kUsage[] =
    "/report /from ГГГГ-ММ-ДД /to ГГГГ-ММ-ДД /out ФАЙЛ.xlsx|ФАЙЛ.csv [/unit Gy|cGy|mGy] "
    "[/registry [/connection \"строка подключения\"] [/room ИМЯ | /levels ФАЙЛ.csv]]";

// The catalogue's one switch: the file.
TReportCommand CatalogueCommand(const std::vector<std::string>& arguments) {
    TReportCommand command;
    command.kind = TReportCommand::Kind::Catalogue;
    const TSwitches switches = ReadSwitches(arguments, {{"catalogue", true}, {"accept", false}});
    if (switches.fault) {
        command.error = SwitchFaultText(*switches.fault) + "; нужно: /catalogue ФАЙЛ.csv [/accept]";
        return command;
    }
    command.file = *switches.Value("catalogue");
    command.accept = switches.Has("accept");
    return command;
}

// The period from /from and /to; why not, when they do not make one.
std::string ReadPeriod(const std::string& from, const std::string& to, TPeriod& period) {
    const auto fromDay = ParseIsoDate(from);
    if (!fromDay) return "/from «" + from + "»: нужна дата ГГГГ-ММ-ДД";
    const auto toDay = ParseIsoDate(to);
    if (!toDay) return "/to «" + to + "»: нужна дата ГГГГ-ММ-ДД";
    if (ToMilliseconds(*toDay) < ToMilliseconds(*fromDay))
        return "/to " + to + " раньше /from " + from;
    period = {*fromDay, *toDay};
    return {};
}

// The file's kind by its name's extension, and the unit; why not, when wrong.
std::string ReadOutput(const std::string& out, const std::optional<std::string>& unit,
                       TReportCommand& command) {
    const std::string extension = Lower(out);
    if (EndsWith(extension, ".csv")) {
        command.csv = true;
    } else if (!EndsWith(extension, ".xlsx")) {
        return "/out «" + out + "»: файл должен быть .xlsx или .csv";
    }
    command.out = out;
    if (unit) {
        const auto chosen = DoseUnitOfName(*unit);
        if (!chosen) return "/unit «" + *unit + "»: нужно Gy, cGy или mGy";
        command.unit = *chosen;
    }
    return {};
}

TReportCommand ReportCommand(const std::vector<std::string>& arguments) {
    TReportCommand command;
    command.kind = TReportCommand::Kind::Report;
    auto fail = [&](const std::string& error) {
        command.error = error;
        return command;
    };
    const TSwitches switches = ReadSwitches(arguments, {{"report"},
                                                        {"from", true},
                                                        {"to", true},
                                                        {"out", true},
                                                        {"unit", true},
                                                        {"registry"},
                                                        {"connection", true},
                                                        {"room", true},
                                                        {"levels", true}});
    if (switches.fault) return fail(SwitchFaultText(*switches.fault) + "; нужно: " + kUsage);
    const auto from = switches.Value("from"), to = switches.Value("to"),
               out = switches.Value("out");
    if (!from || !to || !out) return fail(std::string("нужно: ") + kUsage);
    if (auto error = ReadPeriod(*from, *to, command.period); !error.empty()) return fail(error);
    command.registry = switches.Has("registry");
    if (!command.registry) {
        for (const char* only : {"room", "connection", "levels"}) {
            if (switches.Has(only))
                return fail(std::string("/") + only + " — только вместе с /registry");
        }
    }
    command.room = switches.Value("room").value_or("");
    command.connection = switches.Value("connection");
    command.levels = switches.Value("levels").value_or("");
    if (!command.levels.empty()) {
        // The local levels are of all rooms' medians: one room has no such thing.
        if (switches.Has("room")) return fail("/levels — только для всех кабинетов, без /room");
        if (!EndsWith(Lower(command.levels), ".csv"))
            return fail("/levels «" + command.levels + "»: файл каталога должен быть .csv");
    }
    if (auto error = ReadOutput(*out, switches.Value("unit"), command); !error.empty())
        return fail(error);
    return command;
}

}  // namespace

std::optional<DateTime> ParseIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    }
    DateTime day{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)),
                 std::stoi(text.substr(8, 2))};
    if (day.year < 1900 || day.month < 1 || day.month > 12 || day.day < 1 ||
        day.day > DaysInMonth(day.year, day.month)) {
        return std::nullopt;
    }
    return day;
}

TReportCommand ParseReportCommand(const std::vector<std::string>& arguments) {
    const bool report = HasSwitch(arguments, "report");
    const bool catalogue = HasSwitch(arguments, "catalogue");
    if (report && catalogue) {
        TReportCommand command;
        command.kind = TReportCommand::Kind::Report;
        command.error = "/report и /catalogue нельзя указывать вместе";
        return command;
    }
    if (catalogue) return CatalogueCommand(arguments);
    if (report) return ReportCommand(arguments);
    return {};
}

}  // namespace virel
