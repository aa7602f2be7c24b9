#include "app/platform/FileExportPlatform.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>
#include <functional>
#include <vector>

#include "core/Utf16.h"
#include "core/export/ArchiveCsv.h"
#include "core/meter/DeviceTexts.h"
#include "fileexport/ReportXlsx.h"
#include "fileexport/XlsxArchive.h"
#include "reports/ReportCsv.h"
#include "storage/ProgramSettings.h"
#include "win/Scopes.h"
#include "win/SystemMessage.h"

namespace virel::app {

namespace {

constexpr DWORD kPathBuffer = 32768;  // the longest path Windows accepts, in characters
constexpr unsigned kTemporaryNameAttempts = 64;
// The whole archive's workbook is some 12 KB and its parts, written one at a time, some 50 KB
// together: a disk that takes 256 KiB has room for the library.
constexpr DWORD kProbeBlockBytes = 64 * 1024;
constexpr DWORD kProbeBytes = 4 * kProbeBlockBytes;
constexpr LONGLONG kMostWorkbookBytes = 64 * 1024 * 1024;  // far beyond 256 rows

std::wstring FolderOf(const std::wstring& path) {
    const auto at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring DocumentsFolder() {
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return {};
    }
    return path;
}

// The path in the ANSI code page, or nothing when a character has no place there.
std::string ToAnsi(const std::wstring& path) {
    const UINT page = GetACP();
    BOOL lost = FALSE;
    BOOL* lostFlag = page == CP_UTF8 ? nullptr : &lost;  // UTF-8 loses nothing and refuses it
    const DWORD flags = page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(page, flags, path.c_str(), -1, nullptr, 0, nullptr, lostFlag);
    if (n <= 0 || lost) return {};
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(page, flags, path.c_str(), -1, ansi.data(), n, nullptr, lostFlag);
    if (lost) return {};
    ansi.resize(static_cast<std::size_t>(n - 1));
    return ansi;
}

// A name for an existing file or folder that the C library's fopen (ANSI) opens: the path
// itself where the ANSI code page holds all its characters, else its short (8.3) form.
// Nothing when neither works (a volume without short names).
std::string LibraryPath(const std::wstring& path) {
    std::string ansi = ToAnsi(path);
    if (!ansi.empty()) return ansi;
    std::wstring shortPath(kPathBuffer, L'\0');
    const DWORD n = GetShortPathNameW(path.c_str(), shortPath.data(), kPathBuffer);
    if (n == 0 || n >= kPathBuffer) return {};
    shortPath.resize(n);
    return ToAnsi(shortPath);
}

// The folder where the library keeps its parts and writes the workbook: the system's temporary
// folder where the library can be handed its name, else the chosen folder. Nothing when neither
// can be named for the library.
struct TLibraryFolder {
    std::wstring path;  // without a trailing backslash; empty: the current folder
    std::string libraryPath;
};
std::optional<TLibraryFolder> LibraryFolder(const std::wstring& fallback) {
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = n > 0 && n <= MAX_PATH ? std::wstring(temp, n) : std::wstring();
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    std::string libraryPath = folder.empty() ? "" : LibraryPath(folder);
    if (libraryPath.empty()) {
        folder = fallback;
        if (folder.empty()) return TLibraryFolder{};
        libraryPath = LibraryPath(folder);
        if (libraryPath.empty()) return std::nullopt;
    }
    return TLibraryFolder{folder, libraryPath};
}

// A new file under an unused name, open for writing, that goes again unless kept: closed first,
// since an open file cannot be deleted.
class TTemporaryFile {
public:
    TTemporaryFile() = default;
    ~TTemporaryFile() {
        file_.Reset();
        if (!path_.empty() && !kept_) DeleteFileW(path_.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    // In `folder`, under an ASCII name, so that the library can be handed it. Created here, not
    // by the library: a folder that cannot be written to is reported with the system's own
    // reason. Nothing on success, else that reason.
    std::optional<std::string> Create(const std::wstring& folder) {
        const std::wstring prefix =
            folder.empty() || folder.back() == L'\\' ? folder : folder + L"\\";
        for (unsigned attempt = 0;; ++attempt) {
            wchar_t name[40];
            std::swprintf(name, std::size(name), L"~virel%08lx%02x.tmp",
                          static_cast<unsigned long>(GetCurrentProcessId() ^ GetTickCount()),
                          attempt);
            file_.Reset(CreateFileW((prefix + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file_) {
                path_ = prefix + name;
                return std::nullopt;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS || attempt + 1 >= kTemporaryNameAttempts) {
                return win::SystemMessage(error);
            }
        }
    }
    win::THandle& File() { return file_; }
    const std::wstring& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    win::THandle file_;
    std::wstring path_;
    bool kept_ = false;
};

// Writes all of `bytes` and flushes them: what the disk refuses (no space left, the disk gone)
// shows here with the system's reason, before the file replaces anything.
std::optional<std::string> WriteAll(win::THandle& file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return win::SystemMessage(GetLastError());
    }
    if (!FlushFileBuffers(file.Get())) return win::SystemMessage(GetLastError());
    file.Reset();
    return std::nullopt;
}

std::optional<std::string> ReadAll(const std::wstring& path, std::string& bytes) {
    const win::THandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size)) return win::SystemMessage(GetLastError());
    if (size.QuadPart > kMostWorkbookBytes) return win::SystemMessage(ERROR_FILE_TOO_LARGE);
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return win::SystemMessage(GetLastError());
    }
    if (read != bytes.size()) return win::SystemMessage(ERROR_HANDLE_EOF);
    return std::nullopt;
}

// Room for the library in the folder of `path`, asked of the disk by writing more than the
// library needs into that file. Nothing when the disk takes it; else the system's reason (no
// space left, a quota, the disk gone).
std::optional<std::string> DiskRefusal(const std::wstring& path) {
    const win::THandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return win::SystemMessage(GetLastError());
    const std::string block(kProbeBlockBytes, '\0');
    for (DWORD total = 0; total < kProbeBytes; total += kProbeBlockBytes) {
        DWORD written = 0;
        if (!WriteFile(file.Get(), block.data(), kProbeBlockBytes, &written, nullptr) ||
            written != kProbeBlockBytes) {
            return win::SystemMessage(GetLastError());
        }
    }
    if (!FlushFileBuffers(file.Get())) return win::SystemMessage(GetLastError());
    return std::nullopt;
}

// The workbook's bytes. The library writes it whole into a file of its folder, from which the
// bytes are taken, so that the chosen file is written as the CSV text is: by the program, with
// the system's reason when that fails. Nothing on success, else the reason.
// `write` makes the workbook at the library's path, with the library's temporary folder.
using TXlsxWriter = std::function<void(const std::string& path, const std::string& tempFolder)>;
std::optional<std::string> MakeXlsx(const std::wstring& chosenFolder, const TXlsxWriter& write,
                                    std::string& bytes) {
    const auto folder = LibraryFolder(chosenFolder);
    if (!folder) return win::SystemMessage(ERROR_INVALID_NAME);
    TTemporaryFile workbook;  // taken into memory, it goes
    if (auto failure = workbook.Create(folder->path)) return failure;
    workbook.File().Reset();  // the library opens it itself
    const std::string path = LibraryPath(workbook.Path());
    if (path.empty()) return win::SystemMessage(ERROR_INVALID_NAME);
    // The library does not check the writes of its parts: on a disk without room it would
    // make a workbook of cut parts and call it done. Its failures come as English texts, and the
    // C library's error number behind them may already be that of its report to the standard
    // error, which a window program does not have. So the disk is asked first, and again after
    // a failure.
    if (auto refusal = DiskRefusal(workbook.Path())) return refusal;
    try {
        write(path, folder->libraryPath);
    } catch (const std::exception& e) {
        return DiskRefusal(workbook.Path()).value_or(e.what());
    }
    return ReadAll(workbook.Path(), bytes);
}

}  // namespace

namespace {

// `bytes` under a temporary name in the folder of `path`, then renamed over `path`.
std::optional<std::string> WriteWholeFile(const std::wstring& path, TTemporaryFile& temporary,
                                          const std::string& bytes) {
    if (auto failure = WriteAll(temporary.File(), bytes)) return failure;
    // Only now does the chosen name change: an existing file is replaced by a complete one.
    if (!MoveFileExW(temporary.Path().c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return win::SystemMessage(GetLastError());
    }
    temporary.Keep();
    return std::nullopt;
}

}  // namespace

std::optional<std::string> WriteArchiveFile(const std::wstring& path, TArchiveFileType type,
                                            const TArchiveSheet& sheet,
                                            const RegionalFormats& formats) {
    const std::wstring folder = FolderOf(path);
    TTemporaryFile temporary;
    if (auto failure = temporary.Create(folder)) return failure;
    std::string bytes;
    if (type == TArchiveFileType::Csv) {
        bytes = ArchiveCsv(sheet, formats);
    } else if (auto failure = MakeXlsx(
                   folder,
                   [&sheet](const std::string& file, const std::string& temp) {
                       WriteArchiveXlsx(file, temp, sheet);
                   },
                   bytes)) {
        return failure;
    }
    return WriteWholeFile(path, temporary, bytes);
}

std::optional<std::string> WriteReportFile(const std::wstring& path, TArchiveFileType type,
                                           const TBook& book) {
    const std::wstring folder = FolderOf(path);
    TTemporaryFile temporary;
    if (auto failure = temporary.Create(folder)) return failure;
    std::string bytes;
    if (type == TArchiveFileType::Csv) {
        bytes = ReportCsv(book);
    } else if (auto failure = MakeXlsx(
                   folder,
                   [&book](const std::string& file, const std::string& temp) {
                       WriteReportXlsx(file, temp, book);
                   },
                   bytes)) {
        return failure;
    }
    return WriteWholeFile(path, temporary, bytes);
}

std::optional<std::string> WriteBytesFile(const std::wstring& path, const std::string& bytes) {
    TTemporaryFile temporary;
    if (auto failure = temporary.Create(FolderOf(path))) return failure;
    return WriteWholeFile(path, temporary, bytes);
}

std::optional<std::string> ReadBytesFile(const std::wstring& path, std::string& bytes) {
    win::THandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return win::SystemMessage(GetLastError());
    bytes.clear();
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
        if (read == 0) return std::nullopt;
        bytes.append(buffer, read);
    }
    return win::SystemMessage(GetLastError());
}

TFileExportPlatform::TFileExportPlatform(TApplication& application, const RegionalFormats& formats,
                                         TSettings stored, std::function<void()> beforeDialog)
    : application_(application),
      formats_(formats),
      stored_(std::move(stored)),
      beforeDialog_(std::move(beforeDialog)),
      dialog_([](OPENFILENAMEW& dialog) { return GetSaveFileNameW(&dialog) != FALSE; }) {}

void TFileExportPlatform::StoreFolder(const std::string& folder) {
    // Not kept: the next dialog opens in Documents again, nothing else is lost.
    static_cast<void>(stored_.Write(kArchiveFolder, folder));
}

std::wstring TFileExportPlatform::InitialFolder() const {
    // No stored folder: the dialog opens in Documents.
    const std::wstring last = Widen(stored_.Read(kArchiveFolder));
    if (!last.empty() && IsFolder(last)) return last;
    return DocumentsFolder();
}

std::optional<TArchiveFileChoice> TFileExportPlatform::ChooseFile(const std::string& name) {
    const std::wstring folder = InitialFolder();
    std::vector<wchar_t> file(kPathBuffer, L'\0');
    const std::wstring proposed = Widen(name).substr(0, kPathBuffer - 1);
    std::copy(proposed.begin(), proposed.end(), file.begin());
    std::wstring filter = Widen(texts::kFilterXlsx);
    filter += L'\0';
    filter += L"*.xlsx";
    filter += L'\0';
    filter += Widen(texts::kFilterCsv);
    filter += L'\0';
    filter += L"*.csv";
    filter += L'\0';  // the list ends with an empty entry (c_str adds the second zero)

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = application_.MainWindow();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathBuffer;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrDefExt = L"xlsx";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                   OFN_NOCHANGEDIR | OFN_ENABLESIZING;
    if (beforeDialog_) beforeDialog_();
    if (!dialog_ || !dialog_(dialog)) return std::nullopt;

    file.back() = L'\0';
    const TArchiveFileType type =
        dialog.nFilterIndex == 2 ? TArchiveFileType::Csv : TArchiveFileType::Xlsx;
    auto choice = ArchiveFileChoiceFor(Narrow(std::wstring(file.data())), type);
    StoreFolder(Narrow(FolderOf(Widen(choice.path))));
    return choice;
}

std::optional<std::string> TFileExportPlatform::Write(const TArchiveFileChoice& choice,
                                                const TArchiveSheet& sheet) {
    return WriteArchiveFile(Widen(choice.path), choice.type, sheet, formats_);
}

bool TFileExportPlatform::AskForAnotherName(const std::string& path, const std::string& reason) {
    const std::string text = texts::kFileWriteFailed + ("\"" + path + "\":\r\n") + reason +
                             "\r\n\r\n" + texts::kFileChooseAnother;
    return application_.ShowMessageBox(Widen(text), MB_YESNO | MB_ICONERROR) == IDYES;
}

}  // namespace virel::app
