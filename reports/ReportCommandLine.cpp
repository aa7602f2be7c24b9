#include "reports/ReportCommandLine.h"

#include <cctype>

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
    "[/registry [/room ИМЯ]]";

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
    TReportCommand command;
    bool report = false, catalogue = false;
    for (const std::string& argument : arguments) {
        report = report || Lower(argument) == "/report";
        catalogue = catalogue || Lower(argument) == "/catalogue";
    }
    if (!report && !catalogue) return command;
    auto fail = [&](const std::string& error) {
        command.error = error;
        return command;
    };
    if (report && catalogue) {
        command.kind = TReportCommand::Kind::Report;
        return fail("/report и /catalogue нельзя указывать вместе");
    }
    command.kind = report ? TReportCommand::Kind::Report : TReportCommand::Kind::Catalogue;

    std::optional<std::string> from, to, out, unit, file, room;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string name = Lower(arguments[i]);
        if (name == "/report") continue;
        auto value = [&](std::optional<std::string>& into) {
            if (into) return "повторяется " + arguments[i];
            if (i + 1 >= arguments.size()) return "после " + arguments[i] + " нет значения";
            into = arguments[++i];
            return std::string();
        };
        std::string error;
        if (report && name == "/from") {
            error = value(from);
        } else if (report && name == "/to") {
            error = value(to);
        } else if (report && name == "/out") {
            error = value(out);
        } else if (report && name == "/unit") {
            error = value(unit);
        } else if (report && name == "/registry") {
            if (command.registry) error = "повторяется " + arguments[i];
            command.registry = true;
        } else if (report && name == "/room") {
            error = value(room);
        } else if (catalogue && name == "/catalogue") {
            error = value(file);
        } else {
            error = "лишний параметр «" + arguments[i] + "»";
        }
        if (!error.empty()) {
            return fail(error + (report ? std::string("; нужно: ") + kUsage
                                        : std::string("; нужно: /catalogue ФАЙЛ.csv")));
        }
    }
    if (catalogue) {
        command.file = *file;
        return command;
    }
    if (!from || !to || !out) return fail(std::string("нужно: ") + kUsage);
    const auto fromDay = ParseIsoDate(*from);
    if (!fromDay) return fail("/from «" + *from + "»: нужна дата ГГГГ-ММ-ДД");
    const auto toDay = ParseIsoDate(*to);
    if (!toDay) return fail("/to «" + *to + "»: нужна дата ГГГГ-ММ-ДД");
    if (ToMilliseconds(*toDay) < ToMilliseconds(*fromDay))
        return fail("/to " + *to + " раньше /from " + *from);
    command.period = {*fromDay, *toDay};
    if (room && !command.registry) return fail("/room — только вместе с /registry");
    if (room) command.room = *room;
    const std::string extension = Lower(*out);
    if (EndsWith(extension, ".csv")) {
        command.csv = true;
    } else if (!EndsWith(extension, ".xlsx")) {
        return fail("/out «" + *out + "»: файл должен быть .xlsx или .csv");
    }
    command.out = *out;
    if (unit) {
        const auto chosen = DoseUnitOfName(*unit);
        if (!chosen) return fail("/unit «" + *unit + "»: нужно Gy, cGy или mGy");
        command.unit = *chosen;
    }
    return command;
}

}  // namespace virel
