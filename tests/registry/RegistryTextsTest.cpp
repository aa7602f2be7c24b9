// The registry's pure parts: the password kept out of every text, the connection string, what
// an error means for a push, and the growing pauses (a fake clock: the pauses are only values).
#include <gtest/gtest.h>

#include "registry/Odbc.h"
#include "registry/Registry.h"

namespace virel {
namespace {

TEST(RegistryTexts, ThePasswordNeverShows) {
    EXPECT_EQ(odbc::Scrubbed("Driver={X};Server=s;PWD=geheim;Uid=u", ""),
              "Driver={X};Server=s;PWD=***;Uid=u");
    EXPECT_EQ(odbc::Scrubbed("a Password={x;y}}z} b", ""), "a Password=*** b");
    EXPECT_EQ(odbc::Scrubbed("pwd=tail", ""), "pwd=***");
    // The password itself, wherever a driver repeats it.
    EXPECT_EQ(odbc::Scrubbed("FATAL: user \"u\" with s3cr3t failed; s3cr3t", "s3cr3t"),
              "FATAL: user \"u\" with *** failed; ***");
    EXPECT_EQ(odbc::Scrubbed("nothing here", "pw"), "nothing here");
}

TEST(RegistryTexts, TheConnectionStringTakesADsnAndAQuotedPassword) {
    EXPECT_EQ(odbc::FullConnectionString("Clinic", ""), "DSN=Clinic;");
    EXPECT_EQ(odbc::FullConnectionString("Driver={PostgreSQL Unicode};Server=h", "p;w}d"),
              "Driver={PostgreSQL Unicode};Server=h;Pwd={p;w}}d};");
    EXPECT_EQ(odbc::FullConnectionString("DSN=x;", "pw"), "DSN=x;Pwd={pw};");
}

TEST(RegistryTexts, AnErrorSaysWhetherToTryAgain) {
    EXPECT_EQ(OutcomeOf("08001", "could not connect to server: Connection refused"),
              TPushOutcome::Unreachable);
    EXPECT_EQ(OutcomeOf("08001", "FATAL:  password authentication failed for user \"virel\""),
              TPushOutcome::Refused);
    EXPECT_EQ(OutcomeOf("28P01", "x"), TPushOutcome::Refused);
    EXPECT_EQ(OutcomeOf("42501", "permission denied for table records"), TPushOutcome::Refused);
    EXPECT_EQ(OutcomeOf("IM002", "Data source name not found"), TPushOutcome::Unreachable);
    EXPECT_EQ(OutcomeOf("08S01", "communication link failure"), TPushOutcome::Unreachable);
    EXPECT_EQ(OutcomeOf("57P01", "terminating connection due to administrator command"),
              TPushOutcome::Unreachable);
    EXPECT_EQ(OutcomeOf("42P01", "relation does not exist"), TPushOutcome::Failed);
}

// libpq's "no password supplied" stays English in every language; the server's refusal of a
// password is English or Russian as the server's messages are.
TEST(RegistryTexts, ARefusedLoginSaysWhetherThePasswordWasMissingOrWrong) {
    const std::vector<std::pair<std::string, TLoginRefusal>> said = {
        {"08001 подключиться к серверу \"10.0.0.5\", порту 5432 не удалось: fe_sendauth: no "
         "password supplied",
         TLoginRefusal::NoPassword},
        {"08001 connection to server at \"10.0.0.5\" failed: FATAL: password authentication "
         "failed for user \"virel\"",
         TLoginRefusal::WrongPassword},
        {"08001 ВАЖНО: пользователь \"virel\" не прошёл проверку подлинности (по паролю)",
         TLoginRefusal::WrongPassword},
        {"08001 FATAL: no pg_hba.conf entry for host \"10.0.0.7\"", TLoginRefusal::Other},
        {"42501 permission denied for table records", TLoginRefusal::Other},
    };
    for (const auto& [message, refusal] : said) {
        EXPECT_EQ(LoginRefusalOf(message), refusal) << message;
        EXPECT_EQ(OutcomeOf(message.substr(0, 5), message), TPushOutcome::Refused) << message;
    }
    EXPECT_EQ(LoginRefusalOf("08001 could not connect to server: Connection refused"),
              TLoginRefusal::Other);
}

TEST(RegistryTexts, ConfiguredNeedsAConnectionAndARoom) {
    EXPECT_TRUE(Configured({"DSN=x", "Кабинет 1", ""}));
    EXPECT_FALSE(Configured({"DSN=x", "  ", "pw"}));
    EXPECT_FALSE(Configured({" ", "Кабинет 1", ""}));
}

TEST(PushBackoff, PausesDoubleFromFiveSecondsToFiveMinutesAndStartAgainAfterASuccess) {
    using std::chrono::milliseconds;
    TPushBackoff backoff;
    std::vector<long long> pauses;
    for (int i = 0; i < 9; ++i) pauses.push_back(backoff.Next(true).count() / 1000);
    EXPECT_EQ(pauses, (std::vector<long long>{5, 10, 20, 40, 80, 160, 300, 300, 300}));
    EXPECT_EQ(backoff.Next(false), milliseconds(5'000));
    EXPECT_EQ(backoff.Next(true), milliseconds(5'000));
    EXPECT_EQ(backoff.Next(true), milliseconds(10'000));
    backoff.Reset();
    EXPECT_EQ(backoff.Next(true), milliseconds(5'000));
}

}  // namespace
}  // namespace virel
