#include "core/Errors.h"

#include <gtest/gtest.h>

namespace virel {
namespace {

TEST(ErrorReportText, AppendsFullStopAfterLettersAndDigits) {
    EXPECT_EQ(ErrorReportText("Отменено пользователем"), "Отменено пользователем.");
    EXPECT_EQ(ErrorReportText("OLE error 80020009"), "OLE error 80020009.");
    EXPECT_EQ(ErrorReportText("'abc' is not a valid integer value"),
              "'abc' is not a valid integer value.");
}

TEST(ErrorReportText, KeepsEndingsAtOrBelowFullStop) {
    EXPECT_EQ(ErrorReportText("Готово."), "Готово.");
    EXPECT_EQ(ErrorReportText("Stop!"), "Stop!");
    EXPECT_EQ(ErrorReportText("a-"), "a-");
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST(EProtocolCancel, CarriesTheCancellationMessage) {
    try {
        throw EProtocolCancel();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Отменено пользователем");
    }
}

}  // namespace
}  // namespace virel
