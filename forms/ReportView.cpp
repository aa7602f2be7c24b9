#include "forms/ReportView.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string_view>

namespace virel {

TReportOutcome ReportOfJournal(TJournal& journal, const TPeriod& period) {
    TReportOutcome outcome;
    try {
        if (!journal.IsOpen()) {
            const TOpenResult opened = journal.Open();
            if (!journal.IsOpen()) {
                outcome.error = opened.error.empty() ? opened.path : opened.error;
                return outcome;
            }
        }
        outcome.report = ComputeReport(period, TJournalRecords(journal).ExamRows(period),
                                       TCatalogue(journal).Kinds());
        outcome.report->alerts = TAlerts(journal).InPeriod(period);
    } catch (const std::exception& e) {
        outcome.report.reset();
        outcome.error = e.what();
    }
    return outcome;
}

std::vector<TReportViewTable> ReportViewTables(const TBook& book, char decimalSeparator) {
    std::vector<TReportViewTable> tables;
    for (const TBookSheet& sheet : book.sheets) {
        TReportViewTable table;
        table.name = sheet.name;
        table.headers = sheet.headers;
        table.numbers.assign(sheet.headers.size(), false);
        for (const auto& cells : sheet.rows) {
            std::vector<std::string> row;
            for (std::size_t c = 0; c < cells.size(); ++c) {
                const TBookCell& cell = cells[c];
                std::string text = cell.text;
                const bool number =
                    cell.kind == TBookCell::Kind::Integer || cell.kind == TBookCell::Kind::Decimal;
                if (cell.kind == TBookCell::Kind::Decimal)
                    std::replace(text.begin(), text.end(), '.', decimalSeparator);
                if (number && c < table.numbers.size()) table.numbers[c] = true;
                row.push_back(std::move(text));
            }
            table.rows.push_back(std::move(row));
        }
        tables.push_back(std::move(table));
    }
    return tables;
}

std::string ReportHeadline(const TPeriodReport& report) {
    return ReportTitle(report.period) + texts::kReportRecords + std::to_string(report.all.count);
}

std::string ReportFileName(const TPeriod& period) {
    return texts::kReportFileName + PeriodFileDates(period);
}

bool OffersLocalLevels(const TPeriodReport& report) {
    if (!report.rooms) return false;
    return std::any_of(report.rooms->levels.begin(), report.rooms->levels.end(),
                       [](const TLocalLevel& level) {
                           return level.rooms > 0 && level.LevelMilli() > 0;
                       });
}

std::string LocalLevelsFileName(const TPeriod& period) {
    return texts::kReportLevelsFileName + PeriodFileDates(period);
}

std::string CsvPathOf(const std::string& path) {
    const auto ending = [&](std::string_view tail) {
        if (path.size() < tail.size()) return false;
        for (std::size_t i = 0; i < tail.size(); ++i) {
            const char c = path[path.size() - tail.size() + i];
            if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != tail[i]) return false;
        }
        return true;
    };
    if (ending(".csv")) return path;
    if (ending(".xlsx")) return path.substr(0, path.size() - 5) + ".csv";
    return path + ".csv";
}

}  // namespace virel
