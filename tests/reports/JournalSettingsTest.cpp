#include <gtest/gtest.h>

#include "reports/JournalSettings.h"

namespace virel {
namespace {

TJournalRow RowOfDose(double dose) {
    TJournalRow row;
    row.record.dose = dose;  // imported without the meter's bytes: the number is all there is
    return row;
}

TEST(JournalSettings, DosesInEachUnitExactToTheMetersThousandths) {
    // dose in Gy·cm² → Gy, cGy (×100), mGy (×1000), worked out by hand.
    const struct {
        double dose;
        const char* gy;
        const char* cgy;
        const char* mgy;
    } cases[] = {
        {12.345, "12.345", "1234.5", "12345"},
        {0.001, "0.001", "0.1", "1"},
        {0.1, "0.1", "10", "100"},
        {255.255, "255.255", "25525.5", "255255"},
        {0, "0", "0", "0"},
        {7.07, "7.07", "707", "7070"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JournalDoseText(RowOfDose(c.dose), TDoseUnit::Gy), c.gy) << c.dose;
        EXPECT_EQ(JournalDoseText(RowOfDose(c.dose), TDoseUnit::cGy), c.cgy) << c.dose;
        EXPECT_EQ(JournalDoseText(RowOfDose(c.dose), TDoseUnit::mGy), c.mgy) << c.dose;
    }
}

TEST(JournalSettings, TheHeaderAndTheTotalsNameTheUnit) {
    EXPECT_EQ(JournalDoseHeader(TDoseUnit::Gy), "Доза, Гр*см^2");
    EXPECT_EQ(JournalDoseHeader(TDoseUnit::cGy), "Доза, сГр*см^2");
    EXPECT_EQ(JournalDoseHeader(TDoseUnit::mGy), "Доза, мГр*см^2");
    const TPeriodTotals totals{3, 24.691};
    EXPECT_EQ(TotalsTextIn(totals, TDoseUnit::Gy),
              "Записей за период: 3, сумма доз: 24.691 Гр·см²");
    EXPECT_EQ(TotalsTextIn(totals, TDoseUnit::cGy),
              "Записей за период: 3, сумма доз: 2469.1 сГр·см²");
    EXPECT_EQ(TotalsTextIn(totals, TDoseUnit::mGy),
              "Записей за период: 3, сумма доз: 24691 мГр·см²");
}

TEST(JournalSettings, StoredTextsGoBackAndUnknownOnesGiveTheDefaults) {
    for (const TDoseUnit unit : {TDoseUnit::Gy, TDoseUnit::cGy, TDoseUnit::mGy})
        EXPECT_EQ(JournalSettingsOfStored(DoseUnitName(unit), "", "").unit, unit);
    for (const TPatientForm form :
         {TPatientForm::Typed, TPatientForm::Sha256, TPatientForm::None}) {
        const auto settings = JournalSettingsOfStored("Gy", PatientFormText(form), "соль");
        EXPECT_EQ(settings.privacy.form, form);
        EXPECT_EQ(settings.privacy.salt, "соль");
    }
    const TJournalSettings junk = JournalSettingsOfStored("kGy", "plain", "");
    EXPECT_EQ(junk.unit, TDoseUnit::Gy);
    EXPECT_EQ(junk.privacy.form, TPatientForm::Typed);
    EXPECT_EQ(JournalSettingsOfStored("", "", "").unit, TDoseUnit::Gy) << "nothing stored yet";
    // A hash without a salt keeps nothing rather than a hash anybody can make again.
    EXPECT_EQ(JournalSettingsOfStored("Gy", "sha256", "").privacy.form, TPatientForm::None);
}

}  // namespace
}  // namespace virel
