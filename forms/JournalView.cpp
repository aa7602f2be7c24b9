#include "forms/JournalView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "forms/AlertNotice.h"

namespace virel {

const std::array<const char*, kJournalColumns>& JournalColumnHeaders() {
    static const std::array<const char*, kJournalColumns> headers = {
        texts::kJournalHeaderTime, texts::kJournalHeaderMeter, texts::kJournalHeaderNumber,
        texts::kJournalHeaderDose, texts::kJournalHeaderError, texts::kJournalHeaderSource};
    return headers;
}

TPeriod DefaultJournalPeriod(const DateTime& today) {
    return MonthOf(today);
}

namespace {

DateTime DayOf(const DateTime& value) {
    return {value.year, value.month, value.day, 0, 0, 0, 0};
}

// "YYYY-MM-DD HH:MM", the journal's text of the meter's time; nothing for any other text.
std::optional<DateTime> MinuteOfText(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char tail = 0;
    if (text.size() != 16 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &year, &month, &day,
                                         &hour, &minute, &tail) != 5) {
        return std::nullopt;
    }
    const DateTime value{year, month, day, hour, minute, 0, 0};
    if (!IsValidDateTime(value)) return std::nullopt;
    return value;
}

bool HasBytes(const TJournalRow& row) {
    return std::any_of(row.record.raw.begin(), row.record.raw.end(),
                       [](std::uint8_t b) { return b != 0; });
}

}  // namespace

TPeriod PeriodBetween(const DateTime& one, const DateTime& other) {
    const DateTime a = DayOf(one);
    const DateTime b = DayOf(other);
    if (ToMilliseconds(b) < ToMilliseconds(a)) return {b, a};
    return {a, b};
}

std::string SourceWords(TJournalSource source) {
    switch (source) {
        case TJournalSource::Print:
            return texts::kSourcePrint;
        case TJournalSource::Record:
            return texts::kSourceRecord;
        case TJournalSource::Export:
            return texts::kSourceExport;
        case TJournalSource::Harvest:
            return texts::kSourceHarvest;
    }
    return {};
}

MeasurementRecord RecordOfRow(const TJournalRow& row) {
    const TJournalRecord& r = row.record;
    if (HasBytes(row)) {
        std::array<std::uint8_t, kRecordSize> bytes{};
        std::copy(r.raw.begin(), r.raw.end(), bytes.begin());
        bytes[kRecordSize - 1] = Checksum(bytes.data(), kRecordSize - 1);
        if (auto decoded = DecodeRecord(bytes.data(), bytes.size())) return *decoded;
    }
    // Imported by SQL without the meter's bytes: the fields are all there is.
    MeasurementRecord record;
    record.deviceNumber = static_cast<std::uint16_t>(r.device);
    record.measureNumber = static_cast<std::uint16_t>(r.number);
    if (const auto time = r.measuredAt ? MinuteOfText(*r.measuredAt) : std::nullopt) {
        record.time = *time;
    } else {
        record.timeDigitsValid = false;
    }
    // The meter writes the fraction as the digits it shows ("12.7" is 7, "0.50" is 50, at most
    // 255): the nearest such fraction of the most digits, to the thousandth.
    const double dose = std::max(0.0, r.dose);
    double whole = std::floor(dose);
    long fraction = 0;
    for (long scale = 1000; scale >= 10; scale /= 10) {
        long digits = std::lround((dose - whole) * static_cast<double>(scale));
        if (digits >= scale) {  // rounds up to the next whole
            whole += 1;
            break;
        }
        long shown = scale;
        while (digits > 0 && digits % 10 == 0) {
            digits /= 10;
            shown /= 10;
        }
        if (digits > 0 && digits <= 255 && digits * 10 >= shown) {
            fraction = digits;
            break;
        }
    }
    record.doseWhole = static_cast<std::uint16_t>(std::min(whole, 65535.0));
    record.doseFraction = static_cast<std::uint8_t>(fraction);
    record.deviceError = static_cast<std::uint8_t>(r.deviceError.value_or(0));
    record.checksumMatches = true;
    return record;
}

std::string JournalCellText(const TJournalRow& row, TJournalColumn column,
                            const RegionalFormats& formats) {
    const TJournalRecord& r = row.record;
    switch (column) {
        case TJournalColumn::Time: {
            const auto time = r.measuredAt ? MinuteOfText(*r.measuredAt) : std::nullopt;
            return time ? DateTimeToText(*time, formats) : std::string(texts::kNoTime);
        }
        case TJournalColumn::Meter:
            return std::to_string(r.device);
        case TJournalColumn::Number:
            return std::to_string(r.number);
        case TJournalColumn::Dose:
            // A row imported without the bytes shows the number it holds.
            return HasBytes(row) ? RecordOfRow(row).DoseText() : ExactDoseText(r.dose);
        case TJournalColumn::Error:
            return r.deviceError ? std::to_string(*r.deviceError) : std::string();
        case TJournalColumn::Source:
            return SourceWords(r.source);
    }
    return {};
}

std::string DoseSumText(double dose) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", dose);
    std::string result = text;
    // The program writes the dose with "." whatever the regional separator; a C library set to
    // another locale would give ",".
    std::replace(result.begin(), result.end(), ',', '.');
    while (!result.empty() && result.back() == '0') result.pop_back();
    if (!result.empty() && result.back() == '.') result.pop_back();
    if (result == "-0") result = "0";
    return result;
}

std::string TotalsText(const TPeriodTotals& totals) {
    return texts::kJournalShown + std::to_string(totals.count) + texts::kJournalShownDose +
           DoseSumText(totals.dose) + texts::kJournalDoseUnit;
}

std::vector<std::string> ClockDriftTexts(const std::vector<TClockDrift>& drifts) {
    std::vector<std::string> lines;
    for (const TClockDrift& drift : drifts) {
        std::string line = texts::kClockDrift + std::to_string(std::abs(drift.minutes)) +
                           texts::kClockDriftMinutes;
        if (drifts.size() > 1) {
            line = texts::kClockDriftMeter + std::to_string(drift.device) + ": " + line;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

TRowSpan PageSpan(std::size_t from, std::size_t to, std::size_t total, std::size_t page) {
    if (total == 0 || from >= total || page == 0) return {};
    if (to < from) std::swap(from, to);
    to = std::min(to, total - 1);
    const std::size_t first = from / page * page;
    const std::size_t end = std::min(total, (to / page + 1) * page);
    return {first, end - first};
}

const TJournalRow* TRowCache::Find(std::size_t index) const {
    if (index < first_ || index - first_ >= rows_.size()) return nullptr;
    return &rows_[index - first_];
}

std::optional<TRowSpan> TRowCache::Missing(std::size_t from, std::size_t to,
                                           std::size_t total) const {
    if (to < from) std::swap(from, to);
    if (total == 0 || from >= total) return std::nullopt;
    to = std::min(to, total - 1);
    if (Find(from) && Find(to)) return std::nullopt;
    return PageSpan(from, to, total, page_);
}

void TRowCache::Store(std::size_t first, std::vector<TJournalRow> rows) {
    first_ = first;
    rows_ = std::move(rows);
}

std::size_t TopAfterRefresh(std::size_t top, std::int64_t before, std::int64_t after) {
    if (after <= 0) return 0;
    std::int64_t moved = static_cast<std::int64_t>(top);
    if (top > 0) moved += after - before;
    return static_cast<std::size_t>(std::clamp<std::int64_t>(moved, 0, after - 1));
}

TArchiveSheet JournalSheet(const std::vector<TJournalRow>& rows, const TPeriod& period,
                           const RegionalFormats& formats) {
    TArchiveSheet sheet;
    sheet.title = texts::kJournalSheetTitle + DateToText(period.from, formats) +
                  texts::kJournalSheetTitleTo + DateToText(period.to, formats);
    sheet.records.clear();
    sheet.records.reserve(rows.size());
    sheet.moreColumns = {{texts::kJournalHeaderMeter, true}, {texts::kJournalHeaderSource, false}};
    sheet.moreCells.reserve(rows.size());
    sheet.exactDoses.reserve(rows.size());
    for (const TJournalRow& row : rows) {
        sheet.records.emplace_back(RecordOfRow(row));
        sheet.exactDoses.push_back(HasBytes(row) ? std::nullopt
                                                 : std::optional<double>(row.record.dose));
        sheet.moreCells.push_back(
            {std::to_string(row.record.device), SourceWords(row.record.source)});
    }
    return sheet;
}

std::string JournalFileName(const TPeriod& period) {
    return texts::kJournalExportName + PeriodFileDates(period);
}

std::string ColumnWidthsText(const std::vector<int>& widths) {
    std::string text;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (i > 0) text += ',';
        text += std::to_string(widths[i]);
    }
    return text;
}

std::vector<int> ParseColumnWidths(const std::string& text, std::size_t count) {
    constexpr int kMaxWidth = 2000;
    const std::vector<int> none(count, 0);
    std::vector<int> widths;
    std::size_t at = 0;
    while (at <= text.size() && !text.empty()) {
        const std::size_t end = std::min(text.find(',', at), text.size());
        const std::string field = text.substr(at, end - at);
        if (field.empty() || field.size() > 4 ||
            !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return none;
        const int width = std::stoi(field);
        if (width > kMaxWidth) return none;
        widths.push_back(width);
        at = end + 1;
    }
    return widths.size() == count ? widths : none;
}

TAlertMarks AlertMarksOf(const std::vector<TAlertRow>& alerts, TDoseUnit unit) {
    TAlertMarks marks;
    for (const TAlertRow& alert : alerts) {
        std::string& mark = marks[alert.recordId];
        mark += (mark.empty() ? "" : "; ") + AlertLevelText(alert, unit);
    }
    return marks;
}

std::vector<TJournalRow> AlertRowsOnly(const std::vector<TJournalRow>& rows,
                                       const TAlertMarks& marks) {
    std::vector<TJournalRow> only;
    for (const TJournalRow& row : rows)
        if (marks.count(row.id)) only.push_back(row);
    return only;
}

}  // namespace virel
