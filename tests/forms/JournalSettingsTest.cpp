#include <gtest/gtest.h>

#include <cmath>

#include "core/export/ArchiveCsv.h"
#include "forms/JournalSettings.h"
#include "storage/ProgramSettings.h"

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

// The journal window's export in the unit: each row's number in the file is the one the list
// shows, the unit in the dose column's header; in Gy·cm² the archive's own sheet.
TEST(JournalSettings, TheExportWritesDosesAndTheirHeaderInTheUnit) {
    std::vector<TJournalRow> rows;
    for (const double dose : {12.345, 0.001, 0.1, 255.255, 0.0, 7.07, 1e-4 * 3 + 2.0})
        rows.push_back(RowOfDose(dose));
    const TPeriod period{{2025, 9, 1}, {2025, 9, 30}};
    const TArchiveSheet gy = JournalSheetIn(rows, period, {}, TDoseUnit::Gy);
    EXPECT_EQ(gy.doseHeader, "");
    for (const TDoseUnit unit : {TDoseUnit::cGy, TDoseUnit::mGy}) {
        const TArchiveSheet sheet = JournalSheetIn(rows, period, {}, unit);
        EXPECT_EQ(sheet.title, gy.title);
        EXPECT_EQ(sheet.doseHeader, JournalDoseHeader(unit));
        ASSERT_EQ(sheet.exactDoses.size(), rows.size());
        for (std::size_t n = 0; n < rows.size(); ++n) {
            ASSERT_TRUE(sheet.exactDoses[n]) << n;
            EXPECT_EQ(ExactDoseText(*sheet.exactDoses[n]), JournalDoseText(rows[n], unit)) << n;
        }
        const std::string csv = ArchiveCsv(sheet, {});
        EXPECT_NE(csv.find(";" + JournalDoseHeader(unit) + ";"), std::string::npos) << csv;
        EXPECT_EQ(csv.find(JournalDoseHeader(TDoseUnit::Gy)), std::string::npos);
    }
    const std::string csv = ArchiveCsv(JournalSheetIn(rows, period, {}, TDoseUnit::cGy), {});
    EXPECT_NE(csv.find(";1234,5;"), std::string::npos) << csv;
    EXPECT_NE(csv.find(";25525,5;"), std::string::npos) << csv;
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

TEST(JournalSettings, TheStoredDefaultsAreTheDefaultSettings) {
    const TJournalSettings defaults;
    EXPECT_EQ(DoseUnitName(defaults.unit), kStoredDoseUnit.def);
    EXPECT_EQ(PatientFormText(defaults.privacy.form), kStoredPatientForm.def);
    EXPECT_EQ(defaults.privacy.salt, kStoredPatientSalt.def);
    const TJournalSettings read = JournalSettingsOfStored(std::string(kStoredDoseUnit.def),
                                                          std::string(kStoredPatientForm.def),
                                                          std::string(kStoredPatientSalt.def));
    EXPECT_EQ(read.unit, defaults.unit);
    EXPECT_EQ(read.privacy.form, defaults.privacy.form);
}

TEST(JournalSettings, TheRecordAlertLevelIsStoredInWholeMilligrays) {
    EXPECT_DOUBLE_EQ(RecordAlertLevelOfStored(kStoredRecordAlertLevel.def),
                     TJournalSettings{}.recordAlertLevel);
    const struct {
        double level;
        std::int32_t stored;
        double readBack;
    } cases[] = {
        {200, 200'000, 200},  {0, 0, 0},      {12.3456, 12'346, 12.346},
        {-5, 0, 0},           {0.0004, 0, 0}, {1e12, 2'147'483'647, 2'147'483.647},
        {std::nan(""), 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StoredRecordAlertLevel(c.level), c.stored) << c.level;
        EXPECT_DOUBLE_EQ(RecordAlertLevelOfStored(c.stored), c.readBack) << c.level;
    }
    EXPECT_DOUBLE_EQ(RecordAlertLevelOfStored(-1), kDefaultRecordAlertLevel) << "junk";
}

// The dialog's field: what the operator types, read back as the level kept, or refused.
TEST(JournalSettings, TheRecordAlertLevelAsTypedInTheDialog) {
    const struct {
        const char* typed;
        std::optional<double> level;
    } cases[] = {
        {"200", 200},        {" 12,5 ", 12.5}, {"0.25", 0.25}, {"0", 0},
        {"0,0", 0},          {"", std::nullopt}, {"-3", std::nullopt}, {"abc", std::nullopt},
        {"0,0001", std::nullopt}, {",", std::nullopt},
    };
    for (const auto& c : cases) {
        std::string why;
        const std::optional<double> level = ParseRecordAlertLevel(c.typed, why);
        EXPECT_EQ(level, c.level) << c.typed;
        EXPECT_EQ(why.empty(), c.level.has_value()) << c.typed << ": " << why;
    }
    for (const double level : {200.0, 0.0, 12.346}) {
        std::string why;
        EXPECT_EQ(ParseRecordAlertLevel(RecordAlertLevelText(level), why), level) << why;
    }
}

}  // namespace
}  // namespace virel
