// The push's command line: its switches, the exit codes and the one line it prints.
#include <gtest/gtest.h>

#include "registry/PushCommand.h"

namespace virel {
namespace {

TEST(PushCommand, TheSwitchesOverrideTheStoredSettingsForTheRun) {
    EXPECT_FALSE(ParsePushCommand({"/harvest", "/port", "COM2"}).requested);

    const TPushCommand plain = ParsePushCommand({"-PUSH"});
    EXPECT_TRUE(plain.requested);
    EXPECT_EQ(plain.error, "");
    const TRegistrySettings stored{"DSN=Клиника", "Кабинет 1", "секрет"};
    const TRegistrySettings same = WithOverrides(stored, plain);
    EXPECT_EQ(same.connection, "DSN=Клиника");
    EXPECT_EQ(same.room, "Кабинет 1");

    const TPushCommand given = ParsePushCommand(
        {"/push", "/Connection", "Driver={PostgreSQL Unicode};Server=10.0.0.5", "/room", "Ангио"});
    EXPECT_EQ(given.error, "");
    const TRegistrySettings run = WithOverrides(stored, given);
    EXPECT_EQ(run.connection, "Driver={PostgreSQL Unicode};Server=10.0.0.5");
    EXPECT_EQ(run.room, "Ангио");
    EXPECT_EQ(run.password, "секрет");

    for (const auto& [arguments, says] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"/push", "/room"}, "после /room нет значения"},
             {{"/push", "/room", "a", "/room", "b"}, "повторяется /room"},
             {{"/push", "/port", "COM1"}, "лишний параметр «/port»"},
             {{"/push", "extra"}, "лишний параметр «extra»"}}) {
        const TPushCommand wrong = ParsePushCommand(arguments);
        EXPECT_TRUE(wrong.requested);
        EXPECT_NE(wrong.error.find(says), std::string::npos) << wrong.error;
        EXPECT_NE(wrong.error.find("/push [/connection"), std::string::npos) << wrong.error;
    }
}

TEST(PushCommand, EachOutcomeHasItsExitCodeAndOneLine) {
    TPushResult result;
    result.outcome = TPushOutcome::Done;
    result.pushed = 12;
    result.added = 10;
    EXPECT_EQ(ExitOf(result), TPushExit::Done);
    EXPECT_EQ(PushSummary(result), "центральный журнал: отправлено записей и примечаний: 12, "
                                   "новых для сервера: 10, ожидают отправки: 0");
    result.refused = 1;
    result.refusedReason = "the field note holds a zero character";
    EXPECT_EQ(ExitOf(result), TPushExit::Done);
    EXPECT_NE(PushSummary(result).find("оставлены в журнале с причиной: 1 (the field note"),
              std::string::npos);

    const std::vector<std::pair<TPushOutcome, TPushExit>> codes = {
        {TPushOutcome::Unreachable, TPushExit::Unreachable},
        {TPushOutcome::Refused, TPushExit::Refused},
        {TPushOutcome::Failed, TPushExit::Failed},
        {TPushOutcome::NotConfigured, TPushExit::NotConfigured}};
    for (const auto& [outcome, code] : codes) {
        TPushResult failed;
        failed.outcome = outcome;
        failed.waiting = 7;
        failed.reason = "08001 could not connect\nto server";
        EXPECT_EQ(ExitOf(failed), code);
        const std::string line = PushSummary(failed);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        if (outcome != TPushOutcome::NotConfigured) {
            EXPECT_NE(line.find("ожидают отправки: 7 (08001 could not connect to server)"),
                      std::string::npos)
                << line;
        }
    }
    // A refused login names the password when the server's text does.
    TPushResult refused;
    refused.outcome = TPushOutcome::Refused;
    refused.waiting = 2;
    refused.reason = "08001 connection failed: fe_sendauth: no password supplied";
    EXPECT_EQ(PushSummary(refused),
              "центральный журнал отказал во входе: пароль не задан (ни в строке подключения, ни "
              "в настройках программы), ожидают отправки: 2 (08001 connection failed: "
              "fe_sendauth: no password supplied)");
    refused.reason = "08001 FATAL: password authentication failed for user \"virel\"";
    EXPECT_EQ(PushSummary(refused).rfind("центральный журнал отказал во входе: неверный пароль, "
                                         "ожидают отправки: 2 (",
                                         0),
              0u)
        << PushSummary(refused);
    EXPECT_EQ(static_cast<int>(TPushExit::Unreachable), 1);
    EXPECT_EQ(static_cast<int>(TPushExit::Refused), 2);
    EXPECT_EQ(static_cast<int>(TPushExit::NotConfigured), 6);
}

}  // namespace
}  // namespace virel
