#include "forms/ReportView.h"

#include <algorithm>
#include <cstdio>
#include <exception>

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

}  // namespace virel
