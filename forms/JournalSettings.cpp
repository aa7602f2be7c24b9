#include "forms/JournalSettings.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/TextUtil.h"
#include "forms/JournalView.h"
#include "reports/CatalogueCsv.h"

namespace virel {

namespace {

// Thousandths of a Gy·cm² in the unit: whole and tenths (cGy), or whole (mGy); no zeros at
// the end of a fraction.
std::string MilliText(std::int64_t milli, TDoseUnit unit) {
    const bool negative = milli < 0;
    const long long magnitude = negative ? -milli : milli;
    char text[40];
    switch (unit) {
        case TDoseUnit::Gy:
            std::snprintf(text, sizeof text, "%s%lld.%03lld", negative ? "-" : "", magnitude / 1000,
                          magnitude % 1000);
            break;
        case TDoseUnit::cGy:
            std::snprintf(text, sizeof text, "%s%lld.%lld", negative ? "-" : "", magnitude / 10,
                          magnitude % 10);
            break;
        case TDoseUnit::mGy:
            std::snprintf(text, sizeof text, "%s%lld", negative ? "-" : "", magnitude);
            break;
    }
    std::string result = text;
    if (result.find('.') != std::string::npos) {
        while (result.back() == '0') result.pop_back();
        if (result.back() == '.') result.pop_back();
    }
    return result == "-0" ? "0" : result;
}

std::string ShortUnitText(TDoseUnit unit) {
    // The totals line is short: "сГр·см²" without the equivalent the reports' headers add.
    switch (unit) {
        case TDoseUnit::Gy:
            return "Гр·см²";
        case TDoseUnit::cGy:
            return "сГр·см²";
        case TDoseUnit::mGy:
            break;
    }
    return "мГр·см²";
}

}  // namespace

std::string DoseUnitName(TDoseUnit unit) {
    switch (unit) {
        case TDoseUnit::Gy:
            return "Gy";
        case TDoseUnit::cGy:
            return "cGy";
        case TDoseUnit::mGy:
            break;
    }
    return "mGy";
}

std::optional<TPatientForm> PatientFormOfName(std::string_view name) {
    for (const TPatientForm form : {TPatientForm::Typed, TPatientForm::Sha256, TPatientForm::None})
        if (name == PatientFormText(form)) return form;
    return std::nullopt;
}

TJournalSettings JournalSettingsOfStored(const std::string& unit, const std::string& form,
                                         const std::string& salt) {
    TJournalSettings settings;
    settings.unit = DoseUnitOfName(unit).value_or(TDoseUnit::Gy);
    settings.privacy.form = PatientFormOfName(form).value_or(TPatientForm::Typed);
    settings.privacy.salt = salt;
    // A hash without its salt would be one anybody can make again from a name: nothing is
    // kept instead, the safer of the two (the clinic chose not to keep names).
    if (settings.privacy.form == TPatientForm::Sha256 && salt.empty())
        settings.privacy.form = TPatientForm::None;
    return settings;
}

double RecordAlertLevelOfStored(std::int32_t milli) {
    if (milli < 0) return kDefaultRecordAlertLevel;
    return static_cast<double>(milli) / 1000;
}

std::int32_t StoredRecordAlertLevel(double level) {
    constexpr double kLargest = std::numeric_limits<std::int32_t>::max();
    if (!(level > 0)) return 0;  // none, also for a level that is no number
    const double milli = std::round(level * 1000);
    return milli >= kLargest ? std::numeric_limits<std::int32_t>::max()
                             : static_cast<std::int32_t>(milli);
}

std::string RecordAlertLevelText(double level) {
    return level > 0 ? KText(level) : "0";
}

std::optional<double> ParseRecordAlertLevel(const std::string& text, std::string& error) {
    // Zero is a choice here (no alert for every record), unlike a kind's level.
    const std::string trimmed = Trimmed(text);
    if (!trimmed.empty() && trimmed.find_first_not_of("0,.") == std::string::npos &&
        std::isdigit(static_cast<unsigned char>(trimmed.front())))
        return 0.0;
    const std::optional<double> level = ParseLevelText(trimmed, error);
    if (level && StoredRecordAlertLevel(*level) == 0) {
        error = "меньше 0,001 Гр·см²";
        return std::nullopt;
    }
    return level;
}

std::string JournalDoseHeader(TDoseUnit unit) {
    switch (unit) {
        case TDoseUnit::Gy:
            return texts::kJournalHeaderDose;
        case TDoseUnit::cGy:
            return "Доза, сГр*см^2";
        case TDoseUnit::mGy:
            break;
    }
    return "Доза, мГр*см^2";
}

std::string JournalDoseText(const TJournalRow& row, TDoseUnit unit) {
    if (unit == TDoseUnit::Gy) return JournalCellText(row, TJournalColumn::Dose, {});
    return MilliText(std::llround(row.record.dose * 1000), unit);
}

TArchiveSheet JournalSheetIn(const std::vector<TJournalRow>& rows, const TPeriod& period,
                             const RegionalFormats& formats, TDoseUnit unit) {
    TArchiveSheet sheet = JournalSheet(rows, period, formats);
    if (unit == TDoseUnit::Gy) return sheet;
    sheet.doseHeader = JournalDoseHeader(unit);
    sheet.exactDoses.resize(rows.size());
    const double perMilli = unit == TDoseUnit::cGy ? 10.0 : 1.0;
    // A whole number of mGy·cm² (or tenths of cGy·cm²) divided once: the double nearest to the
    // decimal the window shows, which the writers give back digit for digit.
    for (std::size_t n = 0; n < rows.size(); ++n)
        sheet.exactDoses[n] =
            static_cast<double>(std::llround(rows[n].record.dose * 1000)) / perMilli;
    return sheet;
}

std::string DoseInUnitText(double dose, TDoseUnit unit) {
    return MilliText(std::llround(dose * 1000), unit) + " " + ShortUnitText(unit);
}

std::string TotalsTextIn(const TPeriodTotals& totals, TDoseUnit unit) {
    if (unit == TDoseUnit::Gy) return TotalsText(totals);
    return texts::kJournalShown + std::to_string(totals.count) + texts::kJournalShownDose +
           MilliText(std::llround(totals.dose * 1000), unit) + " " + ShortUnitText(unit);
}

}  // namespace virel
