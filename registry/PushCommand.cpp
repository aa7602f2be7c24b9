#include "registry/PushCommand.h"

#include "core/CommandSwitches.h"

namespace virel {

namespace {

constexpr char kUsage[] = "; нужно: /push [/connection \"строка подключения\"] [/room ИМЯ]";

// One line: the server's texts may hold line breaks.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

// Which password failed, when the server's text tells: the one to mend in the settings.
std::string RefusedHead(const std::string& reason) {
    switch (LoginRefusalOf(reason)) {
        case TLoginRefusal::NoPassword:
            return "центральный журнал отказал во входе: пароль не задан (ни в строке "
                   "подключения, ни в настройках программы)";
        case TLoginRefusal::WrongPassword:
            return "центральный журнал отказал во входе: неверный пароль";
        case TLoginRefusal::Other:
            break;
    }
    return "центральный журнал отказал во входе или в правах";
}

}  // namespace

TPushCommand ParsePushCommand(const std::vector<std::string>& arguments) {
    TPushCommand command;
    command.requested = HasSwitch(arguments, "push");
    if (!command.requested) return command;
    const TSwitches switches =
        ReadSwitches(arguments, {{"push"}, {"connection", true}, {"room", true}});
    if (switches.fault) {
        command.error = SwitchFaultText(*switches.fault) + kUsage;
        return command;
    }
    command.connection = switches.Value("connection");
    command.room = switches.Value("room");
    return command;
}

TRegistrySettings WithOverrides(TRegistrySettings stored, const TPushCommand& command) {
    if (command.connection) stored.connection = *command.connection;
    if (command.room) stored.room = *command.room;
    return stored;
}

TPushExit ExitOf(const TPushResult& result) {
    switch (result.outcome) {
        case TPushOutcome::Done:
            return TPushExit::Done;
        case TPushOutcome::Unreachable:
            return TPushExit::Unreachable;
        case TPushOutcome::Refused:
            return TPushExit::Refused;
        case TPushOutcome::NotConfigured:
            return TPushExit::NotConfigured;
        case TPushOutcome::Failed:
            break;
    }
    return TPushExit::Failed;
}

std::string PushSummary(const TPushResult& result) {
    std::string line;
    switch (result.outcome) {
        case TPushOutcome::Done:
            line = "центральный журнал: отправлено записей и примечаний: " +
                   std::to_string(result.pushed) +
                   ", новых для сервера: " + std::to_string(result.added) +
                   ", ожидают отправки: " + std::to_string(result.waiting);
            break;
        case TPushOutcome::Unreachable:
            line = "центральный журнал недоступен, ожидают отправки: " +
                   std::to_string(result.waiting) + " (" + result.reason + ")";
            break;
        case TPushOutcome::Refused:
            line = RefusedHead(result.reason) +
                   ", ожидают отправки: " + std::to_string(result.waiting) + " (" + result.reason +
                   ")";
            break;
        case TPushOutcome::Failed:
            line =
                "центральный журнал: ошибка, ожидают отправки: " + std::to_string(result.waiting) +
                " (" + result.reason + ")";
            break;
        case TPushOutcome::NotConfigured:
            line =
                "центральный журнал не настроен: нужны строка подключения и имя кабинета "
                "(/connection, /room или настройки программы)";
            break;
    }
    if (result.refused > 0) {
        line += "; не приняты сервером и оставлены в журнале с причиной: " +
                std::to_string(result.refused) + " (" + result.refusedReason + ")";
    }
    return OneLine(line);
}

}  // namespace virel
