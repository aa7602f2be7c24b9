#include "app/platform/FileExportPlatform.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <vector>

#include "core/ArchiveCsv.h"
#include "core/DeviceTexts.h"
#include "core/Utf16.h"
#include "fileexport/XlsxArchive.h"
#include "storage/RegStore.h"
#include "win/Scopes.h"
#include "win/SystemMessage.h"

namespace virel::app {

namespace {

constexpr DWORD kPathBuffer = 32768;  // the longest path Windows accepts, in characters
constexpr unsigned kTemporaryNameAttempts = 64;

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

std::string TemporaryFolderForLibrary(const std::wstring& fallback) {
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    std::string folder = n > 0 && n <= MAX_PATH ? LibraryPath(std::wstring(temp, n)) : "";
    return folder.empty() ? LibraryPath(fallback) : folder;
}

// The temporary file goes when the write did not complete.
class TTemporaryFile {
public:
    explicit TTemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TTemporaryFile() {
        if (!kept_) DeleteFileW(path_.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    const std::wstring& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    std::wstring path_;
    bool kept_ = false;
};

std::optional<std::string> WriteCsv(win::THandle& file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return win::SystemMessage(GetLastError());
    }
    // Flushed: what the disk refuses shows here, before the file replaces anything.
    if (!FlushFileBuffers(file.Get())) return win::SystemMessage(GetLastError());
    file.Reset();
    return std::nullopt;
}

std::optional<std::string> WriteXlsx(win::THandle& file, const std::wstring& temporary,
                                     const std::wstring& folder, const TArchiveSheet& sheet) {
    file.Reset();  // the library opens the file itself
    const std::string path = LibraryPath(temporary);
    if (path.empty()) return win::SystemMessage(ERROR_INVALID_NAME);
    errno = 0;
    try {
        WriteArchiveXlsx(path, TemporaryFolderForLibrary(folder), sheet);
    } catch (const std::exception& e) {
        std::string reason = e.what();
        if (errno != 0) reason += std::string(" (") + std::strerror(errno) + ")";
        return reason;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> WriteArchiveFile(const std::wstring& path, TArchiveFileType type,
                                            const TArchiveSheet& sheet,
                                            const RegionalFormats& formats) {
    const std::wstring folder = FolderOf(path);
    const std::wstring prefix = folder.empty() ? std::wstring() : folder + L"\\";
    // Created here, not by the library: a folder that cannot be written to is reported with
    // the system's own reason. An ASCII name, so that the library can be handed it.
    win::THandle file;
    std::wstring temporary;
    for (unsigned attempt = 0; !file; ++attempt) {
        wchar_t name[40];
        std::swprintf(name, std::size(name), L"~virel%08lx%02x.tmp",
                      static_cast<unsigned long>(GetCurrentProcessId() ^ GetTickCount()), attempt);
        temporary = prefix + name;
        const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file.Reset(handle);
            break;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS || attempt + 1 >= kTemporaryNameAttempts) {
            return win::SystemMessage(error);
        }
    }
    TTemporaryFile guard(temporary);
    const auto failure = type == TArchiveFileType::Csv ? WriteCsv(file, ArchiveCsv(sheet, formats))
                                                       : WriteXlsx(file, temporary, folder, sheet);
    if (failure) return failure;
    // Only now does the chosen name change: an existing file is replaced by a complete one.
    if (!MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return win::SystemMessage(GetLastError());
    }
    guard.Keep();
    return std::nullopt;
}

TFileExportPlatform::TFileExportPlatform(TApplication& application, const RegionalFormats& formats,
                                         std::string registryKey, std::string section,
                                         std::function<void()> beforeDialog)
    : application_(application),
      formats_(formats),
      registryKey_(std::move(registryKey)),
      section_(std::move(section)),
      beforeDialog_(std::move(beforeDialog)),
      dialog_([](OPENFILENAMEW& dialog) { return GetSaveFileNameW(&dialog) != FALSE; }) {}

std::string TFileExportPlatform::ReadFolder() const {
    try {
        TRegStore store(TPlacementRegRoot::prCurrentUser, registryKey_, true);
        return store.ReadString(section_, kFolderValue, "");
    } catch (...) {
        return {};  // no stored folder: the dialog opens in Documents
    }
}

void TFileExportPlatform::StoreFolder(const std::string& folder) const {
    try {
        TRegStore store(TPlacementRegRoot::prCurrentUser, registryKey_, false);
        store.WriteString(section_, kFolderValue, folder);
    } catch (...) {
        // Not kept: the next dialog opens in Documents again, nothing else is lost.
    }
}

std::wstring TFileExportPlatform::InitialFolder() const {
    const std::wstring last = Widen(ReadFolder());
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
