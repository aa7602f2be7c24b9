#include "app/ReportCommand.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "app/platform/FileExportPlatform.h"
#include "app/platform/PlatformClock.h"
#include "app/platform/ProgramFile.h"
#include "app/platform/RegistrySettingsStore.h"
#include "app/platform/StarterConsole.h"
#include "core/Utf16.h"
#include "journal/Alerts.h"
#include "journal/Journal.h"
#include "journal/JournalTexts.h"
#include "registry/Registry.h"
#include "registry/RegistryAlerts.h"
#include "reports/Audit.h"
#include "reports/CatalogueCsv.h"
#include "reports/ReportCommandLine.h"
#include "win/Scopes.h"
#include "win/SystemMessage.h"

namespace virel::app {

namespace {

int Failed(int code, const std::string& line) {
    WriteLineToStarter("ВИРЕЛ1 Сервис: " + line, true);
    return code;
}

// The journal, opened for the command: none (and the exit code given) when it cannot be.
std::optional<int> OpenFor(TJournal& journal, bool write) {
    const TOpenResult opened = journal.Open();
    if (opened.outcome == TOpenOutcome::Unavailable || opened.outcome == TOpenOutcome::Replaced ||
        (write && !journal.Writable())) {
        std::string message = JournalOpenMessage(opened);
        if (message.empty()) message = "журнал доз " + opened.path + " недоступен для записи";
        for (char& c : message) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        return Failed(kExitJournal, message);
    }
    return std::nullopt;
}

std::optional<std::string> ReadFileBytes(const std::string& path, std::string& bytes) {
    const win::THandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size)) return win::SystemMessage(GetLastError());
    if (size.QuadPart > 16 * 1024 * 1024) return win::SystemMessage(ERROR_FILE_TOO_LARGE);
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return win::SystemMessage(GetLastError());
    bytes.resize(read);
    return std::nullopt;
}

// The report from the central registry's server: all rooms, or the one named; with the
// connection given on the command line or the stored one, and the stored password.
int RunRegistryReport(const TReportCommand& command) {
    TRegistrySettings settings = LoadOwnRegistrySettings();
    if (command.connection) settings.connection = *command.connection;
    if (settings.connection.find_first_not_of(" \t") == std::string::npos) {
        return Failed(kExitNotConfigured,
                      "центральный журнал не настроен: нет строки подключения (/connection или "
                      "настройки программы)");
    }
    TBook book;
    std::int64_t records = 0;
    std::vector<TLocalLevel> levels;
    try {
        TPeriodReport report = RegistryReport(settings, command.period, command.room);
        report.alerts = RegistryAlerts(settings, command.period, command.room);
        records = report.all.count;
        book = ReportBook(report, command.unit);
        if (report.rooms) levels = report.rooms->levels;
    } catch (const std::exception& e) {
        std::string line = std::string("центральный журнал: ") + e.what();
        for (char& c : line) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        return Failed(kExitJournal, line);
    }
    if (const auto failure =
            WriteReportFile(Widen(command.out),
                            command.csv ? TArchiveFileType::Csv : TArchiveFileType::Xlsx, book)) {
        return Failed(kExitFile, "отчёт не записан в " + command.out + ": " + *failure);
    }
    if (!command.levels.empty()) {
        if (const auto failure =
                WriteBytesFile(Widen(command.levels), LocalLevelsCatalogueCsv(levels))) {
            return Failed(kExitFile,
                          "местные РДУ не записаны в " + command.levels + ": " + *failure);
        }
    }
    WriteLineToStarter("ВИРЕЛ1 Сервис: отчёт центрального журнала (" +
                           (command.room.empty() ? std::string("все кабинеты") : command.room) +
                           ") записан в " + command.out + " (записей: " + std::to_string(records) +
                           ")" +
                           (command.levels.empty() ? std::string()
                                                   : "; местные РДУ записаны в " + command.levels),
                       false);
    return kExitDone;
}

int RunReport(const TReportCommand& command, const std::string& journalPath) {
    if (command.registry) return RunRegistryReport(command);
    TPlatformClock clock;
    TJournal journal(journalPath, clock);
    if (const auto failed = OpenFor(journal, false)) return *failed;
    TBook book;
    std::size_t records = 0;
    try {
        const std::vector<TExamRow> rows = TJournalRecords(journal).ExamRows(command.period);
        records = rows.size();
        TPeriodReport report = ComputeReport(command.period, rows, TCatalogue(journal).Kinds());
        report.alerts = TAlerts(journal).InPeriod(command.period);
        book = ReportBook(report, command.unit);
    } catch (const std::exception& e) {
        return Failed(kExitJournal, e.what());
    }
    if (const auto failure =
            WriteReportFile(Widen(command.out),
                            command.csv ? TArchiveFileType::Csv : TArchiveFileType::Xlsx, book)) {
        return Failed(kExitFile, "отчёт не записан в " + command.out + ": " + *failure);
    }
    WriteLineToStarter("ВИРЕЛ1 Сервис: отчёт записан в " + command.out +
                           " (записей: " + std::to_string(records) + ")",
                       false);
    return kExitDone;
}

int RunCatalogue(const TReportCommand& command, const std::string& journalPath) {
    std::string bytes;
    if (const auto failure = ReadFileBytes(command.file, bytes))
        return Failed(kExitFile, "каталог не прочитан из " + command.file + ": " + *failure);
    const TCatalogueParse parsed = ParseCatalogueCsv(bytes);
    if (!parsed.ok) {
        return Failed(kExitCatalogue, "каталог не загружен, ничего не изменено: " + command.file +
                                          ": " + parsed.error);
    }
    if (!parsed.questioned.empty() && !command.accept) {
        return Failed(kExitCatalogue, "каталог не загружен, ничего не изменено: " + command.file +
                                          ": " + QuestionedKText(parsed) +
                                          "; если K верны, добавьте /accept");
    }
    TPlatformClock clock;
    TJournal journal(journalPath, clock);
    if (const auto failed = OpenFor(journal, true)) return *failed;
    try {
        TCatalogue(journal).Merge(parsed.kinds, parsed.columns);
    } catch (const std::exception& e) {
        return Failed(kExitJournal, std::string("каталог не загружен: ") + e.what());
    }
    WriteLineToStarter("ВИРЕЛ1 Сервис: каталог загружен из " + command.file +
                           " (видов исследований: " + std::to_string(parsed.kinds.size()) + ")",
                       false);
    return kExitDone;
}

}  // namespace

std::optional<int> RunReportCommandLine(const std::string& journalPath) {
    const TReportCommand command = ParseReportCommand(CommandLineArguments());
    if (command.kind == TReportCommand::Kind::None) return std::nullopt;
    if (!command.error.empty()) return Failed(kExitCommandLine, command.error);
    if (command.kind == TReportCommand::Kind::Catalogue) return RunCatalogue(command, journalPath);
    return RunReport(command, journalPath);
}

}  // namespace virel::app
