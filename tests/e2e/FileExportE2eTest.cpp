// The archive into a file, from the menu entry to the file on disk: the real windows, serial
// port and registry under Wine, the simulated meter on COM3, the save dialog answered by the
// test, and the files read back by independent readers (openpyxl for the xlsx workbook and
// Python's csv module for the CSV text, Linux programs that Wine starts). The window "Журнал
// доз" is driven here too: its export is the file export's, read back by the same readers.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "E2eSupport.h"
#include "ReaderSupport.h"
#include "FaultSupport.h"
#include "app/platform/FileExportPlatform.h"
#include "app/windows/Face.h"
#include "app/windows/AnnotationDialog.h"
#include "app/windows/CatalogueDialog.h"
#include "app/windows/JournalSettingsDialog.h"
#include "app/windows/ReportWindow.h"
#include "hash/Sha256.h"
#include <fstream>
#include "app/windows/JournalWindow.h"
#include <commctrl.h>
#include <mutex>
#include "app/platform/PlatformClock.h"
#include "core/meter/DeviceTexts.h"
#include "core/TextCodec.h"
#include "core/Utf16.h"
#include "win/SystemMessage.h"

#if !defined(VIREL_E2E_XLSX_READER) || !defined(VIREL_E2E_CSV_READER) || \
    !defined(VIREL_E2E_JOURNAL_READER) || !defined(VIREL_E2E_REPORT_READER)
#error "build with the command lines of the xlsx and CSV readers"
#endif

namespace virel::e2e {
namespace {

std::string Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    snprintf(text, sizeof text, "%02u.%02u.%04u", now.wDay, now.wMonth, now.wYear);
    return text;
}

// Cells by "R<row>C<col>": kind, value, number format, font size.
std::map<std::string, std::vector<std::string>> ReadXlsx(const std::wstring& file) {
    std::map<std::string, std::vector<std::string>> cells;
    for (auto& line : RunReader(VIREL_E2E_XLSX_READER, file)) {
        cells[line[0]].assign(line.begin() + 1, line.end());
    }
    return cells;
}

// The journal's rows as Python's sqlite3 reads them: device, number, time, dose, error, source.
std::vector<std::vector<std::string>> ReadJournal(const std::wstring& file) {
    return RunReader(VIREL_E2E_JOURNAL_READER, file);
}

// The annotations' rows as Python's sqlite3 reads them: record id, patient form, patient, year of
// birth, kind, images, operator, note (tab, line breaks and backslash escaped).
std::vector<std::vector<std::string>> ReadAnnotations(const std::wstring& file) {
    const std::string reader = std::string(VIREL_E2E_JOURNAL_READER) + " --annotations";
    return RunReader(reader.c_str(), file);
}

// The CSV file's rows as a strict reader takes them: the number of fields, then the fields.
std::vector<std::vector<std::string>> ReadCsv(const std::wstring& file) {
    return RunReader(VIREL_E2E_CSV_READER, file);
}

std::string At(std::map<std::string, std::vector<std::string>>& cells, const std::string& key,
               std::size_t field) {
    const auto& fields = cells[key];
    return field < fields.size() ? fields[field] : "<missing>";
}

// The save dialog as the test answers it: what it was shown, and the file to choose.
struct TDialogAnswers {
    struct TShown {
        std::wstring folder, name, filter;
        DWORD flags = 0;
        bool comMade = false;                  // the program's own COM
        bool singleThreadedApartment = false;  // this thread's COM, as the system dialog needs
    };
    std::vector<TShown> shown;
    std::vector<std::pair<std::wstring, DWORD>> answers;  // path, filter index; none: cancel
};

// Posts Esc to the progress window from a timer, i.e. while the export lets messages through.
HWND g_escTarget = nullptr;
void CALLBACK PressEscape(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostMessageW(g_escTarget, WM_CHAR, 27, 1);
}

// Runs `step` from a timer every 50 ms, i.e. in the export's message passes between records,
// until it says it is done; the timer ends with the object.
std::function<bool()> g_pollStep;
void CALLBACK PollStep(HWND, UINT, UINT_PTR, DWORD) {
    if (g_pollStep && g_pollStep()) g_pollStep = nullptr;
}
class TPoll {
public:
    explicit TPoll(std::function<bool()> step) {
        g_pollStep = std::move(step);
        timer_ = SetTimer(nullptr, 0, 50, PollStep);
    }
    ~TPoll() {
        KillTimer(nullptr, timer_);
        g_pollStep = nullptr;
    }
    TPoll(const TPoll&) = delete;
    TPoll& operator=(const TPoll&) = delete;

private:
    UINT_PTR timer_ = 0;
};

const auto kFpr = Bytes({0x01, 0x46, 0x50, 0x52});
const auto kRes = Bytes({0x03, 0x52, 0x45, 0x53});
const auto kAnyRd = Bytes({0x04, 0x52, 0x44});

std::string Text(const char* text) { return text; }

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        // The dose journal lives beside the program; these cases count the exported files.
        const bool journal = std::wstring_view(found.cFileName).starts_with(L"VIREL1_Service.db");
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !journal)
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

class FileExport : public ::testing::Test {
protected:
    void SetUp() override {
        program->program->FileExportPlatform().SetSaveDialogFunction([this](OPENFILENAMEW& dialog) {
            TDialogAnswers::TShown seen;
            seen.folder = dialog.lpstrInitialDir ? dialog.lpstrInitialDir : L"";
            seen.name = dialog.lpstrFile;
            // Entries and patterns, each ended by a zero; the list by an empty entry.
            for (const wchar_t* p = dialog.lpstrFilter; *p; p += wcslen(p) + 1) {
                seen.filter += p;
                seen.filter += L'|';
            }
            seen.flags = dialog.Flags;
            APTTYPE type{};
            APTTYPEQUALIFIER qualifier{};
            seen.comMade = program->program->ComMade();
            seen.singleThreadedApartment =
                CoGetApartmentType(&type, &qualifier) == S_OK &&
                (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
            dialog_.shown.push_back(seen);
            if (dialog_.answers.empty()) return false;
            const auto [path, filterIndex] = dialog_.answers.front();
            dialog_.answers.erase(dialog_.answers.begin());
            wcsncpy(dialog.lpstrFile, path.c_str(), dialog.nMaxFile);
            dialog.nFilterIndex = filterIndex;
            return true;
        });
        program->application.SetMessageBoxFunction(
            [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
                program->boxes.push_back({text, caption, flags});
                return (flags & MB_YESNO) == MB_YESNO ? IDYES : IDOK;
            });
    }
    void Export() {
        SendMessageW(program->Face().Handle(), WM_COMMAND, app::kActSaveToFile, 0);
        program->Pump();
    }
    std::wstring Work(const std::wstring& name) const { return program->workDir + L"\\" + name; }

    TMeter meter;
    std::unique_ptr<TRunningProgram> program = std::make_unique<TRunningProgram>();
    TDialogAnswers dialog_;
};

TEST_F(FileExport, WholeArchiveIntoAnXlsxWorkbookWithSilentRecordsLeftEmpty) {
    meter.Set("skip-records=1,5\n");
    const std::wstring file = Work(L"Архив.xlsx");
    dialog_.answers.push_back({Work(L"Архив"), 1});
    const double start = NowMs();
    Export();
    const double elapsed = NowMs() - start;
    std::printf("whole archive (two records silent) in %.1f s\n", elapsed / 1000);

    // The dialog: today's name in Documents (no folder stored yet), the two types.
    ASSERT_EQ(dialog_.shown.size(), 1u);
    EXPECT_EQ(dialog_.shown[0].name, Widen(std::string("Архив ВИРЕЛ1 ") + Today()));
    wchar_t documents[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents)));
    EXPECT_EQ(dialog_.shown[0].folder, documents);
    EXPECT_EQ(dialog_.shown[0].filter,
              L"Книга Excel (*.xlsx)|*.xlsx|Текст CSV, разделитель «;» (*.csv)|*.csv|");
    EXPECT_TRUE(dialog_.shown[0].flags & OFN_OVERWRITEPROMPT);
    EXPECT_TRUE(dialog_.shown[0].comMade) << "COM made for the dialog";
    EXPECT_TRUE(dialog_.shown[0].singleThreadedApartment);

    EXPECT_TRUE(program->boxes.empty());
    // The two silent records are counted.
    EXPECT_EQ(program->Status(), std::string("Архив сохранён в файл ") + Narrow(file) +
                                     "; не прочитано записей: 2 из 256");
    EXPECT_EQ(FilesIn(program->workDir), std::vector<std::wstring>{L"Архив.xlsx"});

    auto cells = ReadXlsx(file);
    ASSERT_FALSE(cells.empty()) << "the reader could not read " << Narrow(file);
    EXPECT_EQ(At(cells, "R1C2", 1), std::string("Архив ВИРЕЛ1 №42 на ") + Today());
    EXPECT_EQ(At(cells, "R1C2", 3), "14.0");
    EXPECT_EQ(At(cells, "R2C4", 1), "Ошибка прибора");
    EXPECT_EQ(cells["R3C1"], (std::vector<std::string>{"datetime", "2007-03-05 14:35:00",
                                                       "dd.mm.yyyy hh:mm:ss", "11.0"}));
    EXPECT_EQ(At(cells, "R3C2", 0), "int");
    EXPECT_EQ(At(cells, "R3C2", 1), "7");
    EXPECT_EQ(At(cells, "R3C3", 1), "258.45");
    EXPECT_EQ(cells.count("R4C1") + cells.count("R4C2") + cells.count("R8C2"), 0u)
        << "records 1 and 5 never came";
    for (int row = 5; row <= 258; ++row) {
        if (row == 8) continue;
        const std::string key = std::string("R") + std::to_string(row) + "C2";
        EXPECT_EQ(At(cells, key, 1), std::to_string(row - 2))
            << "row " << row;  // measurement number n + 1 of record n
    }
    // Record 255: midnight (the date alone), device error 3 in column D.
    EXPECT_EQ(At(cells, "R258C1", 1), "2025-12-31 00:00:00");
    EXPECT_EQ(At(cells, "R258C1", 2), "dd.mm.yyyy");
    EXPECT_EQ(At(cells, "R258C3", 1), "1000.7");
    EXPECT_EQ(At(cells, "R258C4", 1), "3");
    EXPECT_EQ(cells.count("R259C2"), 0u);

    // One end of measurement, then RD 0..255; silent records asked three times.
    const auto received = meter.Received();
    EXPECT_EQ(std::vector<std::uint8_t>(received.begin(), received.begin() + 4),
              Bytes({0x01, 0x46, 0x50, 0x52}));
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x05})), 3);
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0xFF})), 1);
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
}

TEST_F(FileExport, CsvIntoTheLastFolderUsedAndUnwritableFilesOfferAnotherName) {
    // A file that another program holds open without sharing it, as a spreadsheet program
    // holds the workbook it shows: it cannot be replaced, and stays as it was.
    const std::wstring held = Work(L"Открыт.csv");
    WriteBytes(held, "held open\r\n");
    const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    // The system's reason for replacing it, asked of the system itself.
    const std::wstring probe = Work(L"probe.tmp");
    WriteBytes(probe, "");
    ASSERT_FALSE(MoveFileExW(probe.c_str(), held.c_str(), MOVEFILE_REPLACE_EXISTING));
    const std::wstring heldReason = Widen(win::SystemMessage(GetLastError()));
    DeleteFileW(probe.c_str());
    // A folder nobody may write to, not even the administrator.
    const std::wstring unwritable = L"Z:\\sys\\Архив.csv";
    const std::wstring file = Work(L"Архив.csv");
    WriteBytes(file, "old contents\r\n");  // an existing file, replaced when complete
    meter.Set("skip-records=1\n");
    dialog_.answers.push_back({held, 2});
    dialog_.answers.push_back({unwritable, 2});
    dialog_.answers.push_back({Work(L"Архив"), 2});
    Export();
    CloseHandle(holder);

    ASSERT_EQ(program->boxes.size(), 2u);
    EXPECT_EQ(program->boxes[0].text, L"Не удалось записать файл \"" + held + L"\":\r\n" +
                                          heldReason +
                                          L"\r\n\r\nПрочитанные записи не потеряны. Выбрать "
                                          L"другое имя файла?");
    EXPECT_EQ(ReadFileBytes(held), "held open\r\n");
    const std::wstring& box = program->boxes[1].text;
    EXPECT_EQ(box.rfind(L"Не удалось записать файл \"Z:\\sys\\Архив.csv\":\r\n", 0), 0u)
        << Narrow(box);
    EXPECT_NE(box.find(L"Прочитанные записи не потеряны. Выбрать другое имя файла?"),
              std::wstring::npos);
    EXPECT_GT(box.size(), 120u) << "the system's reason is missing: " << Narrow(box);
    for (const auto& shown : program->boxes)
        EXPECT_EQ(shown.flags & MB_YESNO, static_cast<UINT>(MB_YESNO));

    // Each further dialog opened in the folder chosen last, proposing the name that failed.
    ASSERT_EQ(dialog_.shown.size(), 3u);
    EXPECT_EQ(dialog_.shown[1].folder, program->workDir);
    EXPECT_EQ(dialog_.shown[1].name, L"Открыт");
    EXPECT_EQ(dialog_.shown[2].folder, L"Z:\\sys");
    EXPECT_EQ(dialog_.shown[2].name, L"Архив");
    // Nothing was read twice.
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x00})), 1);

    const std::string csv = ReadFileBytes(file);
    ASSERT_GT(csv.size(), 3u);
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    std::vector<std::string> rows;
    for (std::size_t at = 3; at < csv.size();) {
        const auto end = csv.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "every row ends in CR LF";
        rows.push_back(csv.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(rows.size(), 258u);
    EXPECT_EQ(rows[0], std::string(";Архив ВИРЕЛ1 №42 на ") + Today() + ";;");
    EXPECT_EQ(rows[1], "Дата, время;Номер измерения;Доза, Гр*см^2;Ошибка прибора");
    EXPECT_EQ(rows[2], "05.03.2007 14:35:00;7;258,45;");
    EXPECT_EQ(rows[3], ";;;") << "record 1 never came";
    EXPECT_EQ(rows[257], "31.12.2025;256;1000,7;3");
    // A strict reader finds the header's four fields in every row.
    const auto read = ReadCsv(file);
    ASSERT_EQ(read.size(), 258u) << (read.empty() ? "nothing read" : read[0][0]);
    for (std::size_t row = 0; row < read.size(); ++row) {
        EXPECT_EQ(read[row][0], "4") << "row " << row + 1;
        EXPECT_EQ(read[row].size(), 5u) << "row " << row + 1;
    }
    using Row = std::vector<std::string>;
    EXPECT_EQ(read[0], (Row{"4", "", "Архив ВИРЕЛ1 №42 на " + Today(), "", ""}));
    EXPECT_EQ(read[1],
              (Row{"4", "Дата, время", "Номер измерения", "Доза, Гр*см^2", "Ошибка прибора"}));
    EXPECT_EQ(read[2], (Row{"4", "05.03.2007 14:35:00", "7", "258,45", ""}));
    EXPECT_EQ(read[3], (Row{"4", "", "", "", ""}));
    EXPECT_EQ(read[257], (Row{"4", "31.12.2025", "256", "1000,7", "3"}));
    auto files = FilesIn(program->workDir);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::wstring>{L"Архив.csv", L"Открыт.csv"}));

    // After a restart the dialog opens in the folder used last (cancelled: nothing happens).
    const std::wstring lastFolder = program->workDir;
    program.reset();
    program = std::make_unique<TRunningProgram>(false);
    SetUp();
    meter.Set("");
    const auto requests = meter.Received().size();
    Export();
    ASSERT_EQ(dialog_.shown.size(), 4u);
    EXPECT_EQ(dialog_.shown[3].folder, lastFolder);
    EXPECT_EQ(meter.Received().size(), requests);
}

// A tiny file system of its own (tmpfs) in the work folder, filled up: the chosen folder on a
// full disk, then the system's temporary folder, where the workbook is made, on it.
TEST_F(FileExport, AFullDiskIsReportedWithTheSystemsReasonAndLeavesNothingBehind) {
    const std::wstring full = Work(L"Полный диск");
    ASSERT_TRUE(CreateDirectoryW(full.c_str(), nullptr));
    const std::string unixFull = UnixPath(full);
    if (!RunUnix("mount -t tmpfs -o size=16k,mode=755 virel-full-disk '" + unixFull +
                 "' 2>/dev/null"))
        GTEST_SKIP() << "no tmpfs can be mounted here (needs the superuser)";
    struct Unmount {
        std::string dir;
        ~Unmount() { RunUnix("umount '" + dir + "'"); }
    } unmount{unixFull};
    const std::wstring old = full + L"\\Архив.xlsx";
    WriteBytes(old, "the operator's old archive");
    ASSERT_TRUE(RunUnix("cat /dev/zero > '" + unixFull + "/filler' 2>/dev/null; true"));
    // The system's reason for a write there, asked of the system itself.
    const std::wstring probe = full + L"\\probe.tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string page(4096, 'x');
    DWORD written = 0;
    const bool wrote =
        WriteFile(file, page.data(), static_cast<DWORD>(page.size()), &written, nullptr) &&
        written == page.size();
    const std::wstring reason = Widen(win::SystemMessage(GetLastError()));
    CloseHandle(file);
    DeleteFileW(probe.c_str());
    ASSERT_FALSE(wrote) << "the disk is not full";
    std::printf("the system's reason for a full disk: %s\n", Narrow(reason).c_str());
    auto filesThere = [&] {
        auto names = FilesIn(full);
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::wstring> before{L"filler", L"Архив.xlsx"};
    ASSERT_EQ(filesThere(), before);

    dialog_.answers.push_back({old, 1});
    dialog_.answers.push_back({full + L"\\Архив.csv", 2});
    dialog_.answers.push_back({Work(L"Архив"), 1});
    Export();

    ASSERT_EQ(program->boxes.size(), 2u);
    const wchar_t* names[] = {L"Архив.xlsx", L"Архив.csv"};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(program->boxes[i].text,
                  L"Не удалось записать файл \"" + full + L"\\" + names[i] + L"\":\r\n" + reason +
                      L"\r\n\r\nПрочитанные записи не потеряны. Выбрать другое имя файла?");
    }
    EXPECT_EQ(ReadFileBytes(old), "the operator's old archive");
    EXPECT_EQ(filesThere(), before) << "no temporary file stays";
    EXPECT_EQ(program->Status(), "Архив сохранён в файл " + Narrow(Work(L"Архив.xlsx")));
    auto cells = ReadXlsx(Work(L"Архив.xlsx"));
    EXPECT_EQ(At(cells, "R3C2", 1), "7");
    EXPECT_EQ(At(cells, "R258C4", 1), "3");

    // The system's temporary folder on the full disk: the workbook cannot be made there.
    struct TemporaryFolder {
        std::wstring tmp = Variable(L"TMP"), temp = Variable(L"TEMP");
        static std::wstring Variable(const wchar_t* name) {
            wchar_t value[MAX_PATH + 1] = L"";
            GetEnvironmentVariableW(name, value, MAX_PATH + 1);
            return value;
        }
        ~TemporaryFolder() {
            SetEnvironmentVariableW(L"TMP", tmp.empty() ? nullptr : tmp.c_str());
            SetEnvironmentVariableW(L"TEMP", temp.empty() ? nullptr : temp.c_str());
        }
    } restore;
    SetEnvironmentVariableW(L"TMP", full.c_str());
    SetEnvironmentVariableW(L"TEMP", full.c_str());
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_EQ(std::wstring(temp), full + L"\\");
    TArchiveSheet sheet;
    sheet.title = "Архив";
    const std::wstring second = Work(L"Второй.xlsx");
    const auto failure =
        app::WriteArchiveFile(second, TArchiveFileType::Xlsx, sheet, RegionalFormats{});
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(Widen(*failure), reason);
    EXPECT_EQ(filesThere(), before) << "no temporary file stays";
    auto files = FilesIn(program->workDir);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::wstring>{L"Архив.xlsx"}));
}

TEST_F(FileExport, EscEndsTheExportAndAnExistingFileStaysAsItWas) {
    const std::wstring file = Work(L"Архив.xlsx");
    WriteBytes(file, "the operator's old archive");
    dialog_.answers.push_back({file, 1});
    g_escTarget = program->program->ProgressBar().Handle();
    SetTimer(nullptr, 0, 1500, PressEscape);
    Export();

    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, L"Обмен прерван пользователем.");
    EXPECT_EQ(ReadFileBytes(file), "the operator's old archive");
    EXPECT_EQ(FilesIn(program->workDir), std::vector<std::wstring>{L"Архив.xlsx"});
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0xFF})), 0);
    EXPECT_EQ(program->Status(), Text(texts::kStatusFileNotSaved));
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
}

// Meter 42 read by "Завершение измерения", then meter 43 on the cable, whose end of measurement
// goes unanswered and whose record 7 never comes: the file names meter 43, after a fresh start
// too (nothing shown in the window then), and the status counts the record not read.
TEST_F(FileExport, TheTitleNamesTheMeterWhoseArchiveWasReadNotTheOneShownLast) {
    program->Click(program->Face().BitBtn1());
    ASSERT_EQ(program->FieldText(program->Face().LE_DevNumber()), "42");
    const int fprBefore = meter.CountReceived(kFpr);
    meter.Set("device=43\narchive=\nsilent-end=1\nskip-records=7\n");
    const std::wstring csv = Work(L"Архив.csv");
    dialog_.answers.push_back({Work(L"Архив"), 2});
    Export();

    EXPECT_TRUE(program->boxes.empty());
    EXPECT_GT(meter.CountReceived(kFpr), fprBefore) << "the export ends the measurement first";
    const std::string missing = Text(texts::kStatusFileRecordsMissing) + "1" +
                                texts::kStatusFileRecordsOf + "256";
    EXPECT_EQ(program->Status(), texts::kStatusFileSaved + Narrow(csv) + missing);
    const auto read = ReadCsv(csv);
    ASSERT_EQ(read.size(), 258u) << (read.empty() ? "nothing read" : read[0][0]);
    using Row = std::vector<std::string>;
    EXPECT_EQ(read[0], (Row{"4", "", "Архив ВИРЕЛ1 №43 на " + Today(), "", ""}));
    EXPECT_EQ(read[9], (Row{"4", "", "", "", ""})) << "record 7 never came";
    EXPECT_FALSE(read[2][1].empty()) << "record 0 was read";

    // A fresh start: no meter shown in the window, the workbook names meter 43 all the same.
    program.reset();
    program = std::make_unique<TRunningProgram>();
    SetUp();
    ASSERT_EQ(program->FieldText(program->Face().LE_DevNumber()), "");
    const std::wstring xlsx = Work(L"Архив.xlsx");
    dialog_.answers.push_back({Work(L"Архив"), 1});
    Export();

    EXPECT_TRUE(program->boxes.empty());
    EXPECT_EQ(program->Status(), texts::kStatusFileSaved + Narrow(xlsx) + missing);
    auto cells = ReadXlsx(xlsx);
    ASSERT_FALSE(cells.empty()) << "the reader could not read " << Narrow(xlsx);
    EXPECT_EQ(At(cells, "R1C2", 1), "Архив ВИРЕЛ1 №43 на " + Today());
    EXPECT_EQ(cells.count("R10C2"), 0u) << "record 7 never came";
    EXPECT_EQ(cells.count("R11C2"), 1u) << "record 8 was read";
}

// The cable moved from meter 42 to meter 43 while the archive is read: a box, no file.
TEST_F(FileExport, RecordsOfTwoMetersStopTheExportWithABoxAndWriteNoFile) {
    dialog_.answers.push_back({Work(L"Архив"), 2});
    bool swapped = false;
    {
        const TPoll swap([&] {
            if (meter.CountReceived(kAnyRd) < 100) return false;
            meter.Set("device=43\narchive=\n");
            swapped = true;
            return true;
        });
        Export();
    }
    ASSERT_TRUE(swapped) << "the export ended before the swap";

    std::string box = texts::kErrorMixedMeters;
    box.replace(box.find("%1"), 2, "42");
    box.replace(box.find("%2"), 2, "43");
    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, Widen(box + "."));
    EXPECT_EQ(program->Status(), Text(texts::kStatusFileNotSaved));
    EXPECT_TRUE(FilesIn(program->workDir).empty());
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0xFF})), 1) << "read to the end";
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
}

// An adapter unplugged: the port the box names opens no more. The export stops at once, not
// after 256 records waiting for a port that is not there, and writes nothing.
TEST_F(FileExport, APortThatDoesNotOpenStopsTheExportAtOnceAndWritesNoFile) {
    // COM200: a port the system does not have.
    const HANDLE probe = CreateFileW(L"\\\\.\\COM200", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    ASSERT_EQ(probe, INVALID_HANDLE_VALUE) << "COM200 opens here";
    SetWindowTextW(program->Face().CB_ComPort(), L"COM200");
    dialog_.answers.push_back({Work(L"Архив"), 1});
    const double start = NowMs();
    Export();
    const double elapsed = NowMs() - start;
    std::printf("export on a missing port ended after %.1f s\n", elapsed / 1000);

    EXPECT_LT(elapsed, 15000);
    EXPECT_EQ(program->Status(), Text(texts::kStatusFileNoPort) + "COM200");
    EXPECT_TRUE(program->boxes.empty());
    EXPECT_TRUE(FilesIn(program->workDir).empty());
    EXPECT_TRUE(meter.Received().empty()) << "the meter on COM3 is not asked";
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
}

// Every reply spoilt on the line: nothing was read, so nothing is saved.
TEST_F(FileExport, NoRecordReadWritesNoFileAndSaysSo) {
    meter.Set("bad-checksum=1\n");
    dialog_.answers.push_back({Work(L"Архив"), 2});
    const double start = NowMs();
    Export();
    std::printf("archive of bad checksums in %.1f s\n", (NowMs() - start) / 1000);

    EXPECT_EQ(program->Status(), Text(texts::kStatusFileNothingRead));
    EXPECT_TRUE(program->boxes.empty());
    EXPECT_TRUE(FilesIn(program->workDir).empty());
    EXPECT_GE(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0xFF})), 1) << "read to the end";
}

// While the file export reads, "Завершение измерения", "Сброс", their Alt letters, Ctrl+P and
// the commands reach nothing that talks to the meter; Esc in the progress window still ends the
// export, with nothing written. Afterwards the same keys work again.
TEST_F(FileExport, MeterActionsWaitWhileTheExportReadsAndEscStillCancels) {
    dialog_.answers.push_back({Work(L"Архив"), 1});
    app::TFace& face = program->Face();
    const HWND progress = program->program->ProgressBar().Handle();
    auto setControl = [](bool down) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    };
    // Alt+letter as the keyboard sends it: the character, then the letter's key let go.
    auto altLetter = [&](wchar_t letter, UINT key) {
        PostMessageW(face.LE_Dose(), WM_SYSCHAR, letter, 1 << 29);
        PostMessageW(face.LE_Dose(), WM_SYSKEYUP, key, 1 | (1 << 29) | (LPARAM(3) << 30));
    };
    auto press = [&] {
        SendMessageW(face.BitBtn1(), BM_CLICK, 0, 0);
        SendMessageW(face.BitBtn3(), BM_CLICK, 0, 0);
        altLetter(L'з', 'P');  // "&Завершение измерения"
        altLetter(L'ч', 'X');  // "&Читать архив в Excel", "&Читать запись №"
        for (const int id : {int{app::kActPrint}, int{app::kActClear}, int{app::kActReadArcN}})
            PostMessageW(face.Handle(), WM_COMMAND, static_cast<WPARAM>(id), 0);
        // Ctrl+P: Ctrl stays down until the next step, after the key has been handled.
        setControl(true);
        PostMessageW(face.LE_Dose(), WM_KEYDOWN, 'P', 1);
        PostMessageW(face.LE_Dose(), WM_KEYUP, 'P', 1 | (LPARAM(3) << 30));
    };
    int step = 0;
    bool disabledWhileReading = false;
    int readsAtEsc = 0;
    {
        const TPoll operatorAtWork([&] {
            const int reads = meter.CountReceived(kAnyRd);
            if (step == 0 && reads >= 20) {
                disabledWhileReading = !IsWindowEnabled(face.BitBtn1()) &&
                                       !IsWindowEnabled(face.BitBtn3()) &&
                                       IsWindowVisible(progress);
                press();
                step = 1;
            } else if (step == 1 && reads >= 60) {
                setControl(false);
                readsAtEsc = reads;
                PostMessageW(progress, WM_CHAR, 27, 1);
                step = 2;
            }
            return step == 2;
        });
        Export();
    }
    setControl(false);
    ASSERT_EQ(step, 2) << "the export ended before the operator was done";
    EXPECT_TRUE(disabledWhileReading);

    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, L"Обмен прерван пользователем.");
    EXPECT_EQ(program->Status(), Text(texts::kStatusFileNotSaved));
    EXPECT_TRUE(FilesIn(program->workDir).empty());
    // On the line: the export's end of measurement, then archive reads only, up to Esc.
    const auto received = meter.Received();
    ASSERT_GE(received.size(), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(received.begin(), received.begin() + 4), kFpr);
    int reads = 0;
    for (std::size_t at = 4; at + 4 <= received.size(); at += 4) {
        ASSERT_TRUE(std::equal(kAnyRd.begin(), kAnyRd.end(), received.begin() + at))
            << "a command other than RD at byte " << at << " during the export";
        ++reads;
    }
    EXPECT_EQ(received.size() % 4, 0u);
    EXPECT_GE(reads, readsAtEsc);
    EXPECT_LT(reads, 256) << "Esc ended the export";
    EXPECT_EQ(meter.CountReceived(kRes), 0);

    // The export over, the buttons are back and the same keys reach the meter.
    WaitForQuietMeter(*program);
    EXPECT_TRUE(IsWindowEnabled(face.BitBtn1()));
    EXPECT_TRUE(IsWindowEnabled(face.BitBtn3()));
    SetFocus(face.LE_Dose());
    PostMessageW(face.LE_Dose(), WM_SYSCHAR, L'с', 1 << 29);
    program->Pump();
    EXPECT_EQ(meter.CountReceived(kRes), 1);
    setControl(true);
    PostMessageW(face.LE_Dose(), WM_KEYDOWN, 'P', 1);
    program->Pump();
    setControl(false);
    EXPECT_EQ(meter.CountReceived(kFpr), 2);
}

// The dose journal beside the log: an end of measurement gives one row, and the archive
// collected twice (Ctrl+H) gives its 256 rows once each; an archive older than the end of
// measurement already journaled warns of no overwritten records.
TEST_F(FileExport, TheJournalKeepsEachRecordOnceFromEveryWayItCame) {
    const std::wstring journal = program->workDir + L"\\VIREL1_Service.db";
    program->Click(program->Face().BitBtn1());
    ASSERT_EQ(program->Status(), "Считывание текущих значений произведено успешно");
    auto rows = ReadJournal(journal);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][5], "print");

    for (int round = 0; round < 2; ++round) {
        SendMessageW(program->Face().Handle(), WM_COMMAND, app::kActHarvest, 0);
        program->Pump();
        EXPECT_EQ(program->Status(), round == 0 ? "В журнал добавлено 256 новых записей из 256"
                                                : "В журнал добавлено 0 новых записей из 256");
    }
    rows = ReadJournal(journal);
    ASSERT_EQ(rows.size(), 257u) << "the end of measurement's record and the archive's 256";
    std::size_t harvested = 0;
    for (const auto& row : rows) harvested += row.size() == 6 && row[5] == "harvest" ? 1 : 0;
    EXPECT_EQ(harvested, 256u);
    // The journal held this meter's end of measurement (today) before the first harvest, and
    // all 256 records were new to it, but the archive (2020-2022) is older than that record:
    // nothing between them can have been overwritten, so no warning.
    EXPECT_TRUE(program->boxes.empty()) << Narrow(program->boxes[0].text);
}


// The window "Журнал доз", driven as the operator drives it: Ctrl+J in the main window, the
// list read through the list view's own messages, the period set in the date pickers, the
// export answered in its save dialog and read back by the independent readers.
class JournalWindow : public FileExport {
protected:
    void SetUp() override {
        FileExport::SetUp();
        host().SetSaveDialogFunction([this](OPENFILENAMEW& dialog) {
            APTTYPE type{};
            APTTYPEQUALIFIER qualifier{};
            journalDialogSta_ = CoGetApartmentType(&type, &qualifier) == S_OK &&
                                (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
            journalDialogName_ = dialog.lpstrFile;
            if (journalAnswers_.empty()) return false;
            const auto [path, filterIndex] = journalAnswers_.front();
            journalAnswers_.erase(journalAnswers_.begin());
            wcsncpy(dialog.lpstrFile, path.c_str(), dialog.nMaxFile);
            dialog.nFilterIndex = filterIndex;
            return true;
        });
    }
    app::TJournalWindowHost& host() { return program->program->JournalWindow(); }

    // Ctrl+J as the keyboard sends it to the main window.
    void CtrlJ() {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
        SetKeyboardState(keys);
        PostMessageW(program->Face().LE_Dose(), WM_KEYDOWN, 'J', 1);
        program->Pump();
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0;
        SetKeyboardState(keys);
    }
    HWND List() { return host().Object()->List(); }
    int Count() { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::string Cell(int item, int column) {
        wchar_t text[256] = L"";
        LVITEMW it{};
        it.iSubItem = column;
        it.pszText = text;
        it.cchTextMax = 256;
        SendMessageW(List(), LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it));
        return Narrow(text);
    }
    std::string TextOf(HWND control) {
        wchar_t text[512] = L"";
        GetWindowTextW(control, text, 512);
        return Narrow(text);
    }
    // The dates typed into the pickers: each tells the window, as a change by the operator does.
    void SetPeriod(SYSTEMTIME from, SYSTEMTIME to) {
        app::TJournalWindow& window = *host().Object();
        for (auto [picker, day] : {std::pair{window.FromPicker(), from}, {window.ToPicker(), to}}) {
            SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&day));
            NMDATETIMECHANGE change{};
            change.nmhdr = {picker, static_cast<UINT_PTR>(GetDlgCtrlID(picker)), DTN_DATETIMECHANGE};
            change.dwFlags = GDT_VALID;
            change.st = day;
            SendMessageW(window.Handle(), WM_NOTIFY, change.nmhdr.idFrom,
                         reinterpret_cast<LPARAM>(&change));
        }
    }
    // This process's: another test program on the same display may show its own meanwhile.
    int JournalWindows() {
        int count = 0;
        EnumWindows(
            [](HWND window, LPARAM found) {
                wchar_t name[64] = L"";
                GetClassNameW(window, name, 64);
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (std::wstring(name) == app::TJournalWindow::kClassName && IsWindowVisible(window) &&
                    process == GetCurrentProcessId())
                    ++*reinterpret_cast<int*>(found);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        return count;
    }

    std::vector<std::pair<std::wstring, DWORD>> journalAnswers_;
    std::wstring journalDialogName_;
    bool journalDialogSta_ = false;
};

// The journal's rows of the archive's year 2020 as the independent reader sees the file:
// count and total dose.
std::pair<int, double> JournalYear(const std::vector<std::vector<std::string>>& rows,
                                   const std::string& year) {
    int count = 0;
    double total = 0;
    for (const auto& row : rows) {
        if (row.size() == 6 && row[2].rfind(year, 0) == 0) {
            ++count;
            total += std::stod(row[3]);
        }
    }
    return {count, total};
}

TEST_F(JournalWindow, OpensWithCtrlJListsNewestFirstFiltersCountsAndExports) {
    for (int i = 0; i < 3; ++i) {
        program->Click(program->Face().BitBtn1());
        ASSERT_EQ(program->Status(), "Считывание текущих значений произведено успешно");
    }
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr) << "Ctrl+J opens the window";
    EXPECT_EQ(JournalWindows(), 1);
    EXPECT_EQ(GetWindow(host().Window(), GW_OWNER), nullptr) << "owned by no other window";
    EXPECT_NE(GetWindowThreadProcessId(host().Window(), nullptr), GetCurrentThreadId())
        << "a thread of its own";
    // This month: the three presses, newest first (the meter counts its measurements up).
    ASSERT_EQ(Count(), 3);
    EXPECT_GT(std::stoi(Cell(0, 2)), std::stoi(Cell(1, 2)));
    EXPECT_GT(std::stoi(Cell(1, 2)), std::stoi(Cell(2, 2)));
    EXPECT_EQ(Cell(0, 1), "42");
    EXPECT_EQ(Cell(0, 5), "печать");
    EXPECT_EQ(TextOf(host().Object()->TotalsLabel()).rfind("Записей за период: 3, сумма доз: ", 0), 0u)
        << TextOf(host().Object()->TotalsLabel());

    // Another press while the window is open: within its second the window sees the file
    // change, and the new record is on top.
    const std::string newest = Cell(0, 2);
    program->Click(program->Face().BitBtn1());
    ASSERT_EQ(program->Status(), "Считывание текущих значений произведено успешно");
    for (int i = 0; i < 40 && Count() < 4; ++i) Sleep(100);
    ASSERT_EQ(Count(), 4);
    EXPECT_GT(std::stoi(Cell(0, 2)), std::stoi(newest));
    EXPECT_EQ(TextOf(host().Object()->TotalsLabel()).rfind("Записей за период: 4, сумма доз: ", 0), 0u);

    // The archive collected meanwhile.
    SendMessageW(program->Face().Handle(), WM_COMMAND, app::kActHarvest, 0);
    program->Pump();
    ASSERT_EQ(program->Status(), "В журнал добавлено 256 новых записей из 256");
    const auto rows = ReadJournal(Work(L"VIREL1_Service.db"));
    ASSERT_EQ(rows.size(), 260u);
    // A second Ctrl+J brings the same window to the front, not another one.
    CtrlJ();
    EXPECT_EQ(JournalWindows(), 1);

    // The year 2020 of the archive: count and total as the independent reader sums them.
    SetPeriod({2020, 1, 3, 1, 0, 0, 0, 0}, {2020, 12, 3, 31, 0, 0, 0, 0});
    const auto [count2020, total2020] = JournalYear(rows, "2020-");
    ASSERT_GT(count2020, 2);
    ASSERT_EQ(Count(), count2020);
    const std::string totals = TextOf(host().Object()->TotalsLabel());
    EXPECT_EQ(totals.rfind("Записей за период: " + std::to_string(count2020) + ", сумма доз: ", 0),
              0u)
        << totals;
    const auto dose = totals.substr(totals.find("сумма доз: ") + std::string("сумма доз: ").size());
    EXPECT_NEAR(std::stod(dose), total2020, 0.0005) << totals;
    for (int i = 0; i + 1 < Count(); ++i) {
        // dd.MM.yyyy H:mm:ss: newest first means the later day first within the year.
        const std::string a = Cell(i, 0), b = Cell(i + 1, 0);
        const std::string keyA = a.substr(3, 2) + a.substr(0, 2), keyB = b.substr(3, 2) + b.substr(0, 2);
        EXPECT_GE(keyA, keyB) << i << ": " << a << " before " << b;
    }

    // The shown period into a CSV file, read back by Python's csv module.
    const std::wstring csv = Work(L"year.csv");
    journalAnswers_.push_back({csv, 2});
    SendMessageW(host().Object()->ExportButton(), BM_CLICK, 0, 0);
    EXPECT_TRUE(journalDialogSta_) << "COM made on the window's thread for the save dialog";
    EXPECT_EQ(journalDialogName_, L"Журнал доз 01.01.2020-31.12.2020");
    const auto lines = ReadCsv(csv);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(count2020) + 2);
    EXPECT_EQ(lines[0], (std::vector<std::string>{
                            "6", "", "Журнал доз ВИРЕЛ1 с 01.01.2020 по 31.12.2020", "", "", "", ""}));
    EXPECT_EQ(lines[1], (std::vector<std::string>{"6", "Дата, время", "Номер измерения",
                                                  "Доза, Гр*см^2", "Ошибка прибора", "Прибор",
                                                  "Источник"}));
    for (int i = 0; i < count2020; ++i) {
        const auto& line = lines[static_cast<std::size_t>(i) + 2];
        ASSERT_EQ(line.size(), 7u);
        EXPECT_EQ(line[1], Cell(i, 0)) << i;
        EXPECT_EQ(line[2], Cell(i, 2)) << i;
        std::string doseCell = Cell(i, 3);
        std::replace(doseCell.begin(), doseCell.end(), '.', ',');
        EXPECT_EQ(line[3], doseCell) << i;
        EXPECT_EQ(line[5], "42");
        EXPECT_EQ(line[6], "сбор");
    }
    EXPECT_NE(TextOf(host().Object()->StatusBar()).find("Выгружено записей: " +
                                                         std::to_string(count2020) + " в файл "),
              std::string::npos)
        << TextOf(host().Object()->StatusBar());

    // And into an xlsx workbook, read back by openpyxl: numbers and date-time cells.
    const std::wstring xlsx = Work(L"year.xlsx");
    journalAnswers_.push_back({xlsx, 1});
    SendMessageW(host().Object()->ExportButton(), BM_CLICK, 0, 0);
    auto cells = ReadXlsx(xlsx);
    EXPECT_EQ(At(cells, "R1C2", 1), "Журнал доз ВИРЕЛ1 с 01.01.2020 по 31.12.2020");
    EXPECT_EQ(At(cells, "R2C5", 1), "Прибор");
    EXPECT_EQ(At(cells, "R3C1", 0), "datetime");
    EXPECT_EQ(At(cells, "R3C5", 0), "int");
    EXPECT_EQ(At(cells, "R3C5", 1), "42");
    EXPECT_EQ(At(cells, "R3C6", 1), "сбор");
    double sum = 0;
    for (int i = 0; i < count2020; ++i) sum += std::stod(At(cells, "R" + std::to_string(i + 3) + "C3", 1));
    EXPECT_NEAR(sum, total2020, 0.0005);
    EXPECT_EQ(cells.count("R" + std::to_string(count2020 + 3) + "C3"), 0u);

    // The main window's end closes it: its thread ends before the journal is written at exit.
    program->program->SaveUnwrittenLines();
    EXPECT_EQ(host().Window(), nullptr);
    EXPECT_EQ(JournalWindows(), 0);
}

// While the main window's thread waits seconds in an exchange with a meter that does not
// answer, the journal's window scrolls and answers at once: another thread, another connection.
TEST_F(JournalWindow, ScrollsWhileTheMainWindowWaitsOnASilentMeter) {
    SendMessageW(program->Face().Handle(), WM_COMMAND, app::kActHarvest, 0);
    program->Pump();
    ASSERT_EQ(program->Status(), "В журнал добавлено 256 новых записей из 256");
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    SetPeriod({2000, 1, 6, 1, 0, 0, 0, 0}, {2030, 12, 2, 31, 0, 0, 0, 0});
    ASSERT_EQ(Count(), 256);
    const HWND list = List();

    meter.Set("silent=1\n");
    struct TProbe {
        double startedMs = 0, scrolledMs = 0, answerMs = 0;
        LRESULT topBefore = -1, topAfter = -1;
        bool answered = false;
    } probe;
    const double pressStart = NowMs();
    std::thread scroller([&] {
        Sleep(700);  // the main window is in the exchange by now
        probe.startedMs = NowMs();
        DWORD_PTR top = 0;
        probe.answered = SendMessageTimeoutW(list, LVM_GETTOPINDEX, 0, 0, SMTO_ABORTIFHUNG, 2000, &top) != 0;
        probe.topBefore = static_cast<LRESULT>(top);
        DWORD_PTR done = 0;
        probe.answered = probe.answered &&
                         SendMessageTimeoutW(list, LVM_ENSUREVISIBLE, 200, FALSE, SMTO_ABORTIFHUNG, 2000,
                                             &done) != 0;
        SendMessageTimeoutW(list, LVM_GETTOPINDEX, 0, 0, SMTO_ABORTIFHUNG, 2000, &top);
        probe.topAfter = static_cast<LRESULT>(top);
        wchar_t text[64] = L"";
        LVITEMW it{};
        it.iSubItem = 2;
        it.pszText = text;
        it.cchTextMax = 64;
        SendMessageTimeoutW(list, LVM_GETITEMTEXTW, 200, reinterpret_cast<LPARAM>(&it),
                            SMTO_ABORTIFHUNG, 2000, &done);
        probe.scrolledMs = NowMs();
        probe.answerMs = probe.scrolledMs - probe.startedMs;
    });
    program->Click(program->Face().BitBtn1());  // three sendings into silence: about 4 s
    const double pressEnd = NowMs();
    scroller.join();
    meter.Set("");
    EXPECT_EQ(program->Status(), "Не удалось произвести чтение текущих измерений");
    ASSERT_GT(pressEnd - pressStart, 3000) << "the main window did wait";
    EXPECT_TRUE(probe.answered);
    EXPECT_LT(probe.scrolledMs, pressEnd) << "scrolled while the main window still waited";
    EXPECT_LT(probe.answerMs, 1000) << "the window answered at once";
    EXPECT_EQ(probe.topBefore, 0);
    EXPECT_GT(probe.topAfter, 150) << "the list scrolled down";
}

// The record's dialog, driven from the test's thread while the journal window's thread runs
// its modal loop: Enter on the list opens it, its fields are typed into, OK saves a new row of
// the annotations' history, read back by Python's sqlite3.
class AnnotationDialog : public JournalWindow {
protected:
    void SetUp() override {
        JournalWindow::SetUp();
        host().SetMessageBoxFunction([this](HWND, const std::wstring& text, const std::wstring&, UINT) {
            std::lock_guard<std::mutex> lock(boxesMutex_);
            journalBoxes_.push_back(Narrow(text));
            return IDOK;
        });
    }
    // The dialog once it is shown (within 5 s), or nothing. With `shown` false: nothing once
    // the dialog is gone, else the dialog still there after 5 s (hidden is not gone yet: the
    // journal window hides it before it reads the saved annotation back and ends it).
    HWND Dialog(bool shown = true) {
        for (int i = 0; i < 100; ++i) {
            const HWND dialog = FindWindowW(app::TAnnotationDialog::kClassName, nullptr);
            if (shown && dialog && IsWindowVisible(dialog)) return dialog;
            if (!shown && !dialog) return nullptr;
            Sleep(50);
        }
        return shown ? nullptr : FindWindowW(app::TAnnotationDialog::kClassName, nullptr);
    }
    HWND Field(HWND dialog, int id) { return GetDlgItem(dialog, id); }
    void Type(HWND dialog, int id, const std::string& text) {
        SendMessageW(Field(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
    }
    std::string Read(HWND dialog, int id) {
        const HWND field = Field(dialog, id);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
        return Narrow(text);
    }
    std::vector<std::string> Boxes() {
        std::lock_guard<std::mutex> lock(boxesMutex_);
        return journalBoxes_;
    }
    bool WaitForBoxes(std::size_t count) {
        for (int i = 0; i < 100 && Boxes().size() < count; ++i) Sleep(50);
        return Boxes().size() >= count;
    }
    std::string Status() { return TextOf(host().Object()->StatusBar()); }

    std::mutex boxesMutex_;
    std::vector<std::string> journalBoxes_;
};

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

TEST_F(AnnotationDialog, EnterOnANewRecordOpensItsDialogWhichSavesOnlyGoodInput) {
    // A kind in the catalogue, written by a connection of the test's own.
    {
        app::TPlatformClock clock;
        TJournal journal(Narrow(Work(L"VIREL1_Service.db")), clock);
        ASSERT_TRUE(journal.Open().error.empty());
        ASSERT_EQ(TCatalogue(journal).SaveKind({0, "Грудная клетка; \"прямая\"", 0.18, 0.2}).fault,
                  TKindFault::None);
    }
    program->Click(program->Face().BitBtn1());
    ASSERT_EQ(program->Status(), "Считывание текущих значений произведено успешно");
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    ASSERT_EQ(Count(), 1);
    EXPECT_EQ(Cell(0, app::TJournalWindow::kKindColumn), "");

    // An end of measurement while the window is open: the new record is selected and offered,
    // and no dialog opens by itself.
    program->Click(program->Face().BitBtn1());
    for (int i = 0; i < 40 && Count() < 2; ++i) Sleep(100);
    ASSERT_EQ(Count(), 2);
    for (int i = 0; i < 20 && Status().empty(); ++i) Sleep(50);
    EXPECT_EQ(Status(), "Новая запись: Enter — указать исследование");
    EXPECT_EQ(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
    EXPECT_EQ(FindWindowW(app::TAnnotationDialog::kClassName, nullptr), nullptr);
    const std::string number = Cell(0, 2);

    // Enter on the list opens the dialog with the record's measured fields, read-only.
    PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 1);
    HWND dialog = Dialog();
    ASSERT_NE(dialog, nullptr) << "Enter opens the record's dialog";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), host().Window());
    EXPECT_FALSE(IsWindowEnabled(host().Window())) << "modal to the journal window";
    const std::string summary = Read(dialog, app::TAnnotationDialog::kIdSummary);
    EXPECT_EQ(summary.rfind("Прибор №42, измерение " + number + ", ", 0), 0u) << summary;
    EXPECT_NE(GetWindowLongW(Field(dialog, app::TAnnotationDialog::kIdSummary), GWL_STYLE) & ES_READONLY, 0);

    // A year of birth before 1900, then one in the future: a message each, nothing saved, the
    // dialog stays.
    Type(dialog, app::TAnnotationDialog::kIdBirthYear, "1899");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForBoxes(1));
    SYSTEMTIME today{};
    GetLocalTime(&today);
    const std::string range = "Год рождения должен быть от 1900 до " + std::to_string(today.wYear) + ".";
    EXPECT_EQ(Boxes()[0], range);
    Type(dialog, app::TAnnotationDialog::kIdBirthYear, std::to_string(today.wYear + 1));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForBoxes(2));
    EXPECT_EQ(Boxes()[1], range);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(ReadAnnotations(Work(L"VIREL1_Service.db")).empty());

    // Good input: 10,000 characters, quotes, semicolons and a line break, all intact.
    const std::string patient = std::string(10000, 'x') + "\"Иванов\"; И.И.";
    const std::string operatorName = "Петрова; \"ст. лаборант\"";
    const std::string note = "повтор; \"нерезко\"\r\nвторая строка";
    Type(dialog, app::TAnnotationDialog::kIdPatient, patient);
    Type(dialog, app::TAnnotationDialog::kIdBirthYear, "1975");
    SendMessageW(Field(dialog, app::TAnnotationDialog::kIdKind), CB_SETCURSEL, 1, 0);
    Type(dialog, app::TAnnotationDialog::kIdImages, "2");
    Type(dialog, app::TAnnotationDialog::kIdOperator, operatorName);
    Type(dialog, app::TAnnotationDialog::kIdNote, note);
    EXPECT_EQ(Read(dialog, app::TAnnotationDialog::kIdPatient), patient) << "no limit on the text";
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(Dialog(false), nullptr) << "OK closes the dialog once saved";
    EXPECT_EQ(Boxes().size(), 2u);
    auto rows = ReadAnnotations(Work(L"VIREL1_Service.db"));
    ASSERT_EQ(rows.size(), 1u);
    const std::vector<std::string> expected = {"2", "typed", Escaped(patient), "1975",
                                               Escaped("Грудная клетка; \"прямая\""), "2",
                                               Escaped(operatorName), Escaped(note)};
    EXPECT_EQ(rows[0], expected);
    for (int i = 0; i < 20 && Status() != "Описание записи сохранено"; ++i) Sleep(50);
    EXPECT_EQ(Status(), "Описание записи сохранено");
    EXPECT_EQ(Cell(0, app::TJournalWindow::kKindColumn), "Грудная клетка; \"прямая\"");
    EXPECT_EQ(Cell(1, app::TJournalWindow::kKindColumn), "");

    // A double click opens it again, filled from the saved annotation; Esc changes nothing.
    RECT item{};
    item.left = LVIR_BOUNDS;
    SendMessageW(List(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + 10, (item.top + item.bottom) / 2);
    PostMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(List(), WM_LBUTTONUP, 0, at);
    PostMessageW(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(List(), WM_LBUTTONUP, 0, at);
    dialog = Dialog();
    ASSERT_NE(dialog, nullptr) << "a double click opens the record's dialog";
    EXPECT_EQ(Read(dialog, app::TAnnotationDialog::kIdPatient), patient);
    EXPECT_EQ(Read(dialog, app::TAnnotationDialog::kIdBirthYear), "1975");
    EXPECT_EQ(SendMessageW(Field(dialog, app::TAnnotationDialog::kIdKind), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Read(dialog, app::TAnnotationDialog::kIdNote), note);
    Type(dialog, app::TAnnotationDialog::kIdNote, "не сохранять");
    PostMessageW(Field(dialog, app::TAnnotationDialog::kIdPatient), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(Dialog(false), nullptr) << "Esc closes the dialog";
    EXPECT_TRUE(IsWindowEnabled(host().Window()));
    EXPECT_EQ(ReadAnnotations(Work(L"VIREL1_Service.db")).size(), 1u) << "Esc saved nothing";
    program->program->SaveUnwrittenLines();
    EXPECT_EQ(host().Window(), nullptr);
}

// The catalogue's dialog from the journal window: a file imported, a junk file refused whole
// with its line's number, a kind added, a kind in use kept, the catalogue exported.
TEST_F(AnnotationDialog, TheCatalogueDialogImportsExportsAddsAndKeepsAKindInUse) {
    std::vector<std::pair<std::wstring, bool>> asked;
    std::vector<std::wstring> answers;
    host().SetCatalogueDialogFunction([&](OPENFILENAMEW& dialog, bool save) {
        asked.push_back({dialog.lpstrFile, save});
        if (answers.empty()) return false;
        wcsncpy(dialog.lpstrFile, answers.front().c_str(), dialog.nMaxFile);
        answers.erase(answers.begin());
        return true;
    });
    program->Click(program->Face().BitBtn1());
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    PostMessageW(host().Object()->CatalogueButton(), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    for (int i = 0; i < 100 && !dialog; ++i, Sleep(50)) {
        const HWND found = FindWindowW(app::TCatalogueDialog::kClassName, nullptr);
        if (found && IsWindowVisible(found)) dialog = found;
    }
    ASSERT_NE(dialog, nullptr) << "the button opens the catalogue's dialog";
    const HWND list = GetDlgItem(dialog, app::TCatalogueDialog::kIdList);
    const auto press = [&](int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
    const auto items = [&] { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); };
    const auto cell = [&](int item, int column) {
        wchar_t text[256] = L"";
        LVITEMW it{};
        it.iSubItem = column;
        it.pszText = text;
        it.cchTextMax = 256;
        SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it));
        return Narrow(text);
    };
    const auto write = [](const std::wstring& path, const std::string& bytes) {
        std::ofstream(Narrow(path), std::ios::binary) << bytes;
    };
    EXPECT_EQ(items(), 0) << "shipped empty";

    const std::string bom = "\xEF\xBB\xBF", header = bom + "Вид исследования;K для взрослых;K для детей\r\n";
    const std::wstring good = Work(L"K.csv");
    write(good, header + "Грудная клетка;0,18;0,2\r\n\"Череп; \"\"боковая\"\"\";;0,03\r\n");
    answers.push_back(good);
    press(app::TCatalogueDialog::kIdImport);
    for (int i = 0; i < 100 && items() < 2; ++i) Sleep(50);
    ASSERT_EQ(items(), 2);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].second) << "the open dialog";
    EXPECT_EQ(cell(0, 0), "Грудная клетка");
    EXPECT_EQ(cell(0, 1), "0,18");
    EXPECT_EQ(cell(1, 0), "Череп; \"боковая\"");
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_EQ(cell(1, 2), "0,03");

    // Line 4 is junk: nothing of the file is taken, not even its good lines 2 and 3.
    const std::wstring junk = Work(L"junk.csv");
    write(junk, header + "Грудная клетка;0,5;0,5\r\nКисть;0,01;\r\nТаз;0,18x;\r\n");
    answers.push_back(junk);
    press(app::TCatalogueDialog::kIdImport);
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_EQ(Boxes()[0], "Каталог не загружен, ничего не изменено: " + Narrow(junk) +
                              ": Строка 4: K для взрослых «0,18x»: не число (пример: 0,18)");
    EXPECT_EQ(items(), 2);
    EXPECT_EQ(cell(0, 1), "0,18");

    // A kind added through its own dialog.
    press(app::TCatalogueDialog::kIdAdd);
    HWND kind = nullptr;
    for (int i = 0; i < 100 && !kind; ++i, Sleep(50)) {
        const HWND found = FindWindowW(app::TKindDialog::kClassName, nullptr);
        if (found && IsWindowVisible(found)) kind = found;
    }
    ASSERT_NE(kind, nullptr);
    Type(kind, app::TKindDialog::kIdName, "Кисть");
    Type(kind, app::TKindDialog::kIdAdult, "0,01");
    PostMessageW(kind, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && items() < 3; ++i) Sleep(50);
    ASSERT_EQ(items(), 3);
    EXPECT_EQ(cell(1, 0), "Кисть") << "by name";

    // A record annotated with "Грудная клетка": that kind cannot be removed.
    {
        app::TPlatformClock clock;
        TJournal journal(Narrow(Work(L"VIREL1_Service.db")), clock);
        ASSERT_TRUE(journal.Open().error.empty());
        const auto kinds = TCatalogue(journal).Kinds();
        TAnnotationInput input;
        input.kindId = kinds[0].id;
        ASSERT_EQ(TAnnotations(journal).Annotate(1, input, {}).fault, TAnnotationFault::None);
    }
    LVITEMW select{};
    select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
    press(app::TCatalogueDialog::kIdRemove);
    ASSERT_TRUE(WaitForBoxes(2));
    EXPECT_EQ(Boxes()[1],
              "Вид исследования «Грудная клетка» указан в описаниях записей журнала; его нельзя удалить.");
    EXPECT_EQ(items(), 3);
    // One no record refers to goes.
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&select));
    press(app::TCatalogueDialog::kIdRemove);
    for (int i = 0; i < 100 && items() > 2; ++i) Sleep(50);
    EXPECT_EQ(items(), 2);

    // Exported to a file read back as it was imported.
    const std::wstring out = Work(L"export.csv");
    answers.push_back(out);
    press(app::TCatalogueDialog::kIdExport);
    std::string exported;
    for (int i = 0; i < 100 && exported.empty(); ++i, Sleep(50)) exported = ReadFileBytes(out);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_TRUE(asked[2].second) << "the save dialog";
    EXPECT_EQ(asked[2].first, L"Каталог видов исследований");
    EXPECT_EQ(exported, header + "Грудная клетка;0,18;0,2\r\n\"Череп; \"\"боковая\"\"\";;0,03\r\n");

    // The catalogue as a Russian spreadsheet program saves it (Windows-1251, no byte-order
    // mark) is read as the command line reads it: a K changed, no box.
    const std::wstring russian = Work(L"excel.csv");
    write(russian, Utf8ToCp1251("Вид исследования;K для взрослых;K для детей\r\n"
                                "Грудная клетка;0,25;0,2\r\n"));
    answers.push_back(russian);
    press(app::TCatalogueDialog::kIdImport);
    for (int i = 0; i < 100 && cell(0, 1) != "0,25"; ++i) Sleep(50);
    EXPECT_EQ(cell(0, 1), "0,25");
    EXPECT_EQ(items(), 2);
    EXPECT_EQ(Boxes().size(), 2u);
    EXPECT_NE(
        TextOf(GetDlgItem(dialog, app::TCatalogueDialog::kIdStatus)).find("видов исследований: 1"),
        std::string::npos);

    // Closed: the journal window's list shows the record's kind.
    press(IDCANCEL);
    for (int i = 0; i < 100 && IsWindowVisible(dialog); ++i) Sleep(50);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(Cell(0, app::TJournalWindow::kKindColumn), "Грудная клетка");
    program->program->SaveUnwrittenLines();
}

// The journal's settings: DAP in cGy·cm² in the list and its totals, the patient kept as a
// salted hash; both kept in the registry and there again when the window opens next.
TEST_F(AnnotationDialog, TheSettingsChangeTheUnitAndThePatientsFormAndAreKept) {
    for (int i = 0; i < 2; ++i) program->Click(program->Face().BitBtn1());
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    ASSERT_EQ(Count(), 2);
    const auto header = [&] {
        wchar_t text[64] = L"";
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = 64;
        SendMessageW(List(), LVM_GETCOLUMNW, 3, reinterpret_cast<LPARAM>(&column));
        return Narrow(text);
    };
    EXPECT_EQ(header(), "Доза, Гр*см^2") << "Gy·cm² by default";
    const std::string gy0 = Cell(0, 3), gy1 = Cell(1, 3);
    const std::string totalsGy = TextOf(host().Object()->TotalsLabel());
    const auto settingsDialog = [&] {
        PostMessageW(host().Object()->SettingsButton(), BM_CLICK, 0, 0);
        for (int i = 0; i < 100; ++i, Sleep(50)) {
            const HWND found = FindWindowW(app::TJournalSettingsDialog::kClassName, nullptr);
            if (found && IsWindowVisible(found)) return found;
        }
        return HWND{};
    };
    HWND dialog = settingsDialog();
    ASSERT_NE(dialog, nullptr);
    SendMessageW(GetDlgItem(dialog, app::TJournalSettingsDialog::kIdUnit), CB_SETCURSEL, 1, 0);
    SendMessageW(GetDlgItem(dialog, app::TJournalSettingsDialog::kIdPatient), CB_SETCURSEL, 1, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_EQ(Boxes()[0], "Для хеша укажите соль клиники — секретный текст.");
    Type(dialog, app::TJournalSettingsDialog::kIdSalt, "соль; \"клиники\"");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindowVisible(dialog); ++i) Sleep(50);
    ASSERT_FALSE(IsWindowVisible(dialog));
    for (int i = 0; i < 40 && header() != "Доза, сГр*см^2"; ++i) Sleep(50);
    EXPECT_EQ(header(), "Доза, сГр*см^2");
    // The meter's thousandths of Gy·cm², a hundred times over: worked out from the Gy texts.
    const auto centi = [](const std::string& gy) {
        const auto point = gy.find('.');
        std::string fraction = point == std::string::npos ? "" : gy.substr(point + 1);
        fraction.resize(3, '0');
        const long long milli = std::stoll(gy.substr(0, point)) * 1000 + std::stoll(fraction);
        std::string text = std::to_string(milli / 10);
        if (milli % 10) text += "." + std::to_string(milli % 10);
        return text;
    };
    EXPECT_EQ(Cell(0, 3), centi(gy0)) << gy0;
    EXPECT_EQ(Cell(1, 3), centi(gy1)) << gy1;
    const std::string totals = TextOf(host().Object()->TotalsLabel());
    EXPECT_EQ(totals.rfind("Записей за период: 2, сумма доз: ", 0), 0u) << totals;
    EXPECT_NE(totals.find(" сГр·см²"), std::string::npos) << totals << " (was " << totalsGy << ")";

    // The patient is kept as the salted hash, never as typed.
    LVITEMW select{};
    select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
    PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 1);
    HWND record = Dialog();
    ASSERT_NE(record, nullptr);
    Type(record, app::TAnnotationDialog::kIdPatient, "Иванов И.И.");
    PostMessageW(record, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(Dialog(false), nullptr);
    auto rows = ReadAnnotations(Work(L"VIREL1_Service.db"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], "sha256");
    EXPECT_EQ(rows[0][2], Sha256Hex("соль; \"клиники\"Иванов И.И."));

    // Opened again the hash is not shown; saved again with the patient's field left empty, the
    // same hash stays (not the hash of the hash, not erased).
    PostMessageW(List(), WM_KEYDOWN, VK_RETURN, 1);
    record = Dialog();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(Read(record, app::TAnnotationDialog::kIdPatient), "");
    EXPECT_EQ(Read(record, app::TAnnotationDialog::kIdHint),
              "Пациент сохранён не текстом и останется прежним; введите другого, только чтобы заменить его.");
    Type(record, app::TAnnotationDialog::kIdNote, "повторно");
    PostMessageW(record, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(Dialog(false), nullptr);
    rows = ReadAnnotations(Work(L"VIREL1_Service.db"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][1], "sha256");
    EXPECT_EQ(rows[1][2], rows[0][2]);
    EXPECT_EQ(rows[1][7], "повторно");

    // Closed and opened again: the same settings.
    SendMessageW(host().Window(), WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && host().Window(); ++i) Sleep(50);
    ASSERT_EQ(host().Window(), nullptr);
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    EXPECT_EQ(header(), "Доза, сГр*см^2");
    EXPECT_EQ(host().Object()->Settings().privacy.form, TPatientForm::Sha256);
    EXPECT_EQ(host().Object()->Settings().privacy.salt, "соль; \"клиники\"");
    program->program->SaveUnwrittenLines();
}


// The id of a menu entry of `window`'s menu bar, by its caption; 0 when there is none.
UINT MenuCommand(HWND window, const std::string& caption) {
    const HMENU bar = GetMenu(window);
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
        const HMENU popup = GetSubMenu(bar, i);
        for (int j = 0; popup && j < GetMenuItemCount(popup); ++j) {
            wchar_t text[128] = L"";
            GetMenuStringW(popup, static_cast<UINT>(j), text, 128, MF_BYPOSITION);
            if (Narrow(text) == caption) return GetMenuItemID(popup, j);
        }
    }
    return 0;
}

// A visible window of the class, within 5 s.
HWND WaitForWindow(const wchar_t* className) {
    for (int i = 0; i < 100; ++i, Sleep(50)) {
        const HWND found = FindWindowW(className, nullptr);
        if (found && IsWindowVisible(found)) return found;
    }
    return nullptr;
}

// The journal's records of this month as the independent reader sees them, oldest first: their
// doses in thousandths of Gy·cm².
std::vector<long long> MilliOfThisMonth(const std::vector<std::vector<std::string>>& rows) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char month[16];
    snprintf(month, sizeof month, "%04u-%02u-", now.wYear, now.wMonth);
    std::vector<long long> milli;
    for (const auto& row : rows) {
        if (row.size() == 6 && row[2].rfind(month, 0) == 0)
            milli.push_back(std::llround(std::stod(row[3]) * 1000));
    }
    return milli;
}

// Thousandths of Gy·cm² as the reports and the dose sheet write them in the unit: 3, 1 or no
// digits after the separator.
std::string InUnit(long long milli, TDoseUnit unit, char separator) {
    char text[32];
    if (unit == TDoseUnit::Gy)
        snprintf(text, sizeof text, "%lld%c%03lld", milli / 1000, separator, milli % 1000);
    else if (unit == TDoseUnit::cGy)
        snprintf(text, sizeof text, "%lld%c%lld", milli / 10, separator, milli % 10);
    else
        snprintf(text, sizeof text, "%lld", milli);
    return text;
}

// E = DAP × K in mSv with three decimals, rounded half up: K in millionths.
std::string EffectiveText(long long milli, long long kMicro, char separator) {
    const long long nano = milli * kMicro;
    const long long thousandths = (nano + 500'000) / 1'000'000;
    char text[32];
    snprintf(text, sizeof text, "%lld%c%03lld", thousandths / 1000, separator, thousandths % 1000);
    return text;
}

char LocaleSeparator() {
    wchar_t separator[8] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return static_cast<char>(separator[0]);
}

std::string ListCell(HWND list, int item, int column) {
    wchar_t text[512] = L"";
    LVITEMW it{};
    it.iSubItem = column;
    it.pszText = text;
    it.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it));
    return Narrow(text);
}

std::string ListHeader(HWND list, int column) {
    wchar_t text[256] = L"";
    LVCOLUMNW it{};
    it.mask = LVCF_TEXT;
    it.pszText = text;
    it.cchTextMax = 256;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&it));
    return Narrow(text);
}

const char kOddKind[] = "Грудная клетка <прямая> & \"боковая\"";

// Two records of this month, both annotated with a kind whose K for adults is 0.18: the first
// with an adult's year of birth, the second without one.
void TwoAnnotatedRecords(TRunningProgram& program, const std::wstring& journalPath) {
    for (int i = 0; i < 2; ++i) program.Click(program.Face().BitBtn1());
    app::TPlatformClock clock;
    TJournal journal(Narrow(journalPath), clock);
    ASSERT_TRUE(journal.Open().error.empty());
    const TKindResult kind = TCatalogue(journal).SaveKind({0, kOddKind, 0.18, 0.2});
    ASSERT_EQ(kind.fault, TKindFault::None);
    TAnnotationInput adult;
    adult.kindId = kind.id;
    adult.birthYear = 1975;
    adult.patient = "Иванов И.И.";
    ASSERT_EQ(TAnnotations(journal).Annotate(1, adult, {}).fault, TAnnotationFault::None);
    TAnnotationInput noYear;
    noYear.kindId = kind.id;
    ASSERT_EQ(TAnnotations(journal).Annotate(2, noYear, {}).fault, TAnnotationFault::None);
}

// The report window from the journal window's menu: this month by default, the tables read back
// from its lists in another unit, the workbook saved and read back by openpyxl.
TEST_F(AnnotationDialog, TheReportWindowShowsThePeriodInTheUnitAndSavesItsWorkbook) {
    TwoAnnotatedRecords(*program, Work(L"VIREL1_Service.db"));
    program->Click(program->Face().BitBtn1());  // a third record, without an annotation
    const std::vector<long long> milli = MilliOfThisMonth(ReadJournal(Work(L"VIREL1_Service.db")));
    ASSERT_EQ(milli.size(), 3u);
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    const UINT command = MenuCommand(host().Window(), "&Отчёт за период...");
    ASSERT_NE(command, 0u) << "the journal window's menu has the report";
    PostMessageW(host().Window(), WM_COMMAND, command, 0);
    const HWND window = WaitForWindow(app::TReportWindow::kClassName);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), host().Window());
    EXPECT_TRUE(IsWindowEnabled(host().Window())) << "modeless: the journal window stays usable";
    const HWND source = GetDlgItem(window, app::TReportWindow::kIdSource);
    ASSERT_EQ(SendMessageW(source, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(TextOf(source), "Этот кабинет");
    const HWND unit = GetDlgItem(window, app::TReportWindow::kIdUnit);
    const TDoseUnit journalUnit = host().Object()->Settings().unit;
    EXPECT_EQ(SendMessageW(unit, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(journalUnit))
        << "the journal's unit first";
    const HWND headline = GetDlgItem(window, app::TReportWindow::kIdHeadline);
    const HWND kinds = GetDlgItem(window, app::TReportWindow::kIdKinds);
    const HWND months = GetDlgItem(window, app::TReportWindow::kIdMonths);
    const auto waitForReport = [&](const std::string& unitText) {
        for (int i = 0; i < 200; ++i, Sleep(50)) {
            if (TextOf(headline).rfind("Отчёт за период с ", 0) == 0 &&
                ListHeader(kinds, 2) == "Суммарный ДАП, " + unitText)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(waitForReport(DoseUnitText(journalUnit))) << TextOf(headline);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char month[16];
    snprintf(month, sizeof month, "%02u.%04u", now.wMonth, now.wYear);
    const std::string headlineText = TextOf(headline);
    EXPECT_EQ(headlineText.rfind(std::string("Отчёт за период с 01.") + month + " по ", 0), 0u)
        << headlineText;
    EXPECT_NE(headlineText.find(", записей: 3"), std::string::npos) << headlineText;

    // mGy·cm² chosen: the report again, every header in the unit.
    SendMessageW(unit, CB_SETCURSEL, 2, 0);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(app::TReportWindow::kIdUnit, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(unit));
    ASSERT_TRUE(waitForReport("мГр·см²")) << TextOf(headline);
    const char sep = LocaleSeparator();
    ASSERT_EQ(SendMessageW(kinds, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(ListHeader(kinds, 3), "Медиана ДАП, мГр·см²");
    EXPECT_EQ(ListHeader(kinds, 4), "75-й процентиль ДАП, мГр·см²");
    EXPECT_EQ(ListCell(kinds, 0, 0), kOddKind);
    EXPECT_EQ(ListCell(kinds, 0, 1), "2");
    EXPECT_EQ(ListCell(kinds, 0, 2), InUnit(milli[0] + milli[1], TDoseUnit::mGy, sep));
    EXPECT_EQ(ListCell(kinds, 0, 5), "1") << "one of them has an effective dose";
    EXPECT_EQ(ListCell(kinds, 0, 6), EffectiveText(milli[0], 180'000, sep));
    EXPECT_EQ(ListCell(kinds, 1, 0), "Без вида исследования");
    EXPECT_EQ(ListCell(kinds, 1, 1), "1");
    EXPECT_EQ(ListCell(kinds, 1, 2), InUnit(milli[2], TDoseUnit::mGy, sep));
    EXPECT_EQ(ListCell(kinds, 1, 6), "") << "no effective dose, never zero";
    EXPECT_EQ(ListCell(kinds, 2, 0), "Всего");
    EXPECT_EQ(ListCell(kinds, 2, 1), "3");
    EXPECT_EQ(ListCell(kinds, 2, 2), InUnit(milli[0] + milli[1] + milli[2], TDoseUnit::mGy, sep));
    ASSERT_EQ(SendMessageW(months, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(ListHeader(months, 2), "Суммарный ДАП, мГр·см²");
    EXPECT_EQ(ListCell(months, 0, 0), month);
    EXPECT_EQ(ListCell(months, 0, 1), "3");

    // Saved as a workbook, read back by openpyxl: the same cells as numbers, and the chart.
    const std::wstring file = Work(L"Отчёт.xlsx");
    journalAnswers_.push_back({file, 1});
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(app::TReportWindow::kIdSave, BN_CLICKED), 0);
    for (int i = 0; i < 100 && TextOf(headline).rfind("Отчёт записан в файл ", 0) != 0; ++i) Sleep(50);
    EXPECT_EQ(TextOf(headline), "Отчёт записан в файл " + Narrow(file));
    EXPECT_EQ(journalDialogName_.rfind(L"Отчёт 01.", 0), 0u);
    const auto lines = RunReader(VIREL_E2E_REPORT_READER, file);
    std::string all;
    for (const auto& line : lines) {
        for (const auto& field : line) all += field + "|";
        all += "\n";
    }
    const auto has = [&lines](const std::vector<std::string>& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    const std::string byKind = "По видам исследований", byMonth = "По месяцам";
    EXPECT_TRUE(has({"cell", byKind, "R2C3", "str", "Суммарный ДАП, мГр·см²", "General"})) << all;
    EXPECT_TRUE(has({"cell", byKind, "R3C1", "str", kOddKind, "General"})) << all;
    EXPECT_TRUE(has({"cell", byKind, "R3C3", "number", std::to_string(milli[0] + milli[1]), "0"})) << all;
    EXPECT_TRUE(has({"cell", byKind, "R5C2", "number", "3", "General"})) << all;
    EXPECT_TRUE(has({"cell", byMonth, "R3C2", "number", "3", "General"})) << all;
    bool chart = false;
    for (const auto& line : lines) chart = chart || (line.size() > 3 && line[0] == "chart" && line[1] == byMonth);
    EXPECT_TRUE(chart) << all;

    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 100 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(50);
    EXPECT_FALSE(IsWindow(window) && IsWindowVisible(window)) << "closed";
    for (int i = 0; i < 100 && !IsWindowEnabled(host().Window()); ++i) Sleep(50);
    EXPECT_TRUE(IsWindowEnabled(host().Window()));
    program->program->SaveUnwrittenLines();
}

// Two annotated records selected, the dose sheet copied: the clipboard holds the text with a
// header line and a table in HTML, read back here as another program reads them.
TEST_F(AnnotationDialog, TheDoseSheetOfTheSelectedRecordsGoesToTheClipboardAsTextAndTable) {
    TwoAnnotatedRecords(*program, Work(L"VIREL1_Service.db"));
    const std::vector<long long> milli = MilliOfThisMonth(ReadJournal(Work(L"VIREL1_Service.db")));
    ASSERT_EQ(milli.size(), 2u);
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    ASSERT_EQ(Count(), 2);
    const UINT command = MenuCommand(host().Window(), "&Копировать лист учёта доз\tCtrl+C");
    ASSERT_NE(command, 0u);
    // Nothing selected: the status line says what to do.
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    SendMessageW(host().Window(), WM_COMMAND, command, 0);
    EXPECT_EQ(Status(), "Выделите записи пациента в списке (несколько — с Ctrl или Shift), затем Ctrl+C");
    LVITEMW select{};
    select.stateMask = select.state = LVIS_SELECTED;
    SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&select));
    EXPECT_EQ(SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0), 2) << "the list takes several";
    SendMessageW(host().Window(), WM_COMMAND, command, 0);
    EXPECT_EQ(Status(), "Лист учёта доз скопирован в буфер обмена, записей: 2");

    std::string text, html;
    const UINT htmlFormat = RegisterClipboardFormatW(L"HTML Format");
    bool opened = false;
    for (int i = 0; i < 50 && !(opened = OpenClipboard(nullptr) != FALSE); ++i) Sleep(50);
    ASSERT_TRUE(opened);
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = Narrow(static_cast<const wchar_t*>(GlobalLock(data)));
        GlobalUnlock(data);
    }
    if (const HANDLE data = GetClipboardData(htmlFormat)) {
        html.assign(static_cast<const char*>(GlobalLock(data)));
        GlobalUnlock(data);
    }
    CloseClipboard();

    const TDoseUnit unit = host().Object()->Settings().unit;
    const char sep = LocaleSeparator();
    const std::string date = Today();
    EXPECT_EQ(text, "Дата\tИсследование\tДАП, " + DoseUnitText(unit) + "\tЭффективная доза, мЗв\r\n" +
                        date + "\t" + kOddKind + "\t" + InUnit(milli[0], unit, sep) + "\t" +
                        EffectiveText(milli[0], 180'000, sep) + "\r\n" + date + "\t" + kOddKind +
                        "\t" + InUnit(milli[1], unit, sep) + "\t\r\n")
        << "oldest first (one minute's in the journal's order); no year of birth: no effective dose";
    EXPECT_EQ(text.find("Иванов"), std::string::npos) << "nothing of the patient";

    ASSERT_EQ(html.rfind("Version:0.9\r\n", 0), 0u) << html;
    const auto offset = [&html](const std::string& name) -> std::size_t {
        const auto at = html.find(name + ":");
        return at == std::string::npos ? std::string::npos
                                       : std::stoul(html.substr(at + name.size() + 1, 10));
    };
    const std::size_t start = offset("StartFragment"), end = offset("EndFragment");
    ASSERT_LT(start, end);
    ASSERT_LE(end, html.size());
    EXPECT_EQ(offset("EndHTML"), html.size());
    EXPECT_EQ(html.compare(offset("StartHTML"), 6, "<html>"), 0) << html;
    const std::string table = html.substr(start, end - start);
    EXPECT_EQ(table.rfind("<table", 0), 0u) << table;
    EXPECT_EQ(table.substr(table.size() - 8), "</table>");
    EXPECT_NE(table.find("<tr><th>Дата</th><th>Исследование</th><th>ДАП, " + DoseUnitText(unit) +
                         "</th><th>Эффективная доза, мЗв</th></tr>"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("<tr><td>" + date +
                         "</td><td>Грудная клетка &lt;прямая&gt; &amp; &quot;боковая&quot;</td><td>" +
                         InUnit(milli[0], unit, sep) + "</td><td>" +
                         EffectiveText(milli[0], 180'000, sep) + "</td></tr>"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("<td>" + InUnit(milli[1], unit, sep) + "</td><td></td></tr></table>"),
              std::string::npos)
        << table;

    // A new record moves the rows down: the positions selected would hold other records now, so
    // the selection goes, and only the new record is selected, as offered.
    program->Click(program->Face().BitBtn1());
    for (int i = 0; i < 40 && Count() < 3; ++i) Sleep(100);
    ASSERT_EQ(Count(), 3);
    for (int i = 0; i < 40 && SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0) != 1; ++i) Sleep(50);
    EXPECT_EQ(SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
    program->program->SaveUnwrittenLines();
}

// The journal window's export in mGy·cm²: the unit in the dose column's header and every dose
// in it, in the CSV text and in the workbook.
TEST_F(AnnotationDialog, TheJournalsExportWritesDosesInTheChosenUnit) {
    for (int i = 0; i < 2; ++i) program->Click(program->Face().BitBtn1());
    const std::vector<long long> milli = MilliOfThisMonth(ReadJournal(Work(L"VIREL1_Service.db")));
    ASSERT_EQ(milli.size(), 2u);
    CtrlJ();
    ASSERT_NE(host().Window(), nullptr);
    PostMessageW(host().Object()->SettingsButton(), BM_CLICK, 0, 0);
    const HWND dialog = WaitForWindow(app::TJournalSettingsDialog::kClassName);
    ASSERT_NE(dialog, nullptr);
    SendMessageW(GetDlgItem(dialog, app::TJournalSettingsDialog::kIdUnit), CB_SETCURSEL, 2, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && ListHeader(List(), 3) != "Доза, мГр*см^2"; ++i) Sleep(50);
    ASSERT_EQ(ListHeader(List(), 3), "Доза, мГр*см^2");

    const std::wstring csv = Work(L"mgy.csv");
    journalAnswers_.push_back({csv, 2});
    SendMessageW(host().Object()->ExportButton(), BM_CLICK, 0, 0);
    const auto lines = ReadCsv(csv);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], (std::vector<std::string>{"6", "Дата, время", "Номер измерения", "Доза, мГр*см^2",
                                                  "Ошибка прибора", "Прибор", "Источник"}));
    // Newest first, as the list shows them.
    EXPECT_EQ(lines[2][3], std::to_string(milli[1]));
    EXPECT_EQ(lines[3][3], std::to_string(milli[0]));
    EXPECT_EQ(lines[2][3], Cell(0, 3));

    const std::wstring xlsx = Work(L"mgy.xlsx");
    journalAnswers_.push_back({xlsx, 1});
    SendMessageW(host().Object()->ExportButton(), BM_CLICK, 0, 0);
    auto cells = ReadXlsx(xlsx);
    EXPECT_EQ(At(cells, "R2C3", 1), "Доза, мГр*см^2");
    EXPECT_EQ(std::llround(std::stod(At(cells, "R3C3", 1))), milli[1]);
    EXPECT_EQ(std::llround(std::stod(At(cells, "R4C3", 1))), milli[0]);
    program->program->SaveUnwrittenLines();
}

}  // namespace
}  // namespace virel::e2e
