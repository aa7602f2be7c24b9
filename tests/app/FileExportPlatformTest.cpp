// The file export's save dialog, the system's own: what it proposes, where it opens, and the
// file and type that the operator's choice in it gives.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <functional>
#include <optional>
#include <string>

#include "WindowTestSupport.h"
#include "app/platform/FileExportPlatform.h"
#include "core/Utf16.h"
#include "storage/RegSettingsStore.h"

namespace virel::app::test {
namespace {

// A registry key of the test's own, so that no folder is stored yet.
const char kKey[] = "Software\\VirelTests\\ArchiveFiles";
const char kSection[] = "TFace";

// The dialog's controls, by the ids the system's dialog template gives them.
constexpr int kTypeBox = 0x470;   // the file types
constexpr int kNameBox = 0x47C;   // the file name (a combo box) ...
constexpr int kNameEdit = 0x480;  // ... or an edit, as other versions have it

HWND SaveDialogOfThisThread() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) {
            wchar_t name[16] = L"";
            GetClassNameW(window, name, 16);
            if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND NameControl(HWND dialog) {
    HWND name = GetDlgItem(dialog, kNameBox);
    return name ? name : GetDlgItem(dialog, kNameEdit);
}

std::function<bool()> g_step;  // true when done
void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
    if (g_step && g_step()) g_step = nullptr;
}

// Runs `open`, and `answer` in the dialog's modal loop as soon as the dialog is there; a
// dialog that the answer did not close is cancelled after two seconds rather than left open.
void AnswerDialog(const std::function<void()>& open, const std::function<void(HWND)>& answer) {
    int ticks = 0;
    bool answered = false;
    g_step = [&] {
        const HWND dialog = SaveDialogOfThisThread();
        ++ticks;
        if (dialog && !answered) {
            answer(dialog);
            answered = true;
            ticks = 0;
        } else if (dialog && ticks > 100) {
            ADD_FAILURE() << "the dialog stayed open";
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return true;
        }
        return !dialog && ticks > 500;
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, Step);
    open();
    KillTimer(nullptr, timer);
    g_step = nullptr;
}

class ArchiveFilesDialog : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, Widen(kKey).c_str()); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, Widen(kKey).c_str()); }

    TTestProgram program;
    RegionalFormats formats;
    TFileExportPlatform files{program.application, formats, UserSettings(kKey)};
};

TEST_F(ArchiveFilesDialog,
       OpensInDocumentsThenInTheLastFolderWithTheNameProposedAndTheChosenTypesEnding) {
    wchar_t documents[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents)));
    std::wstring proposed = L"<no dialog>";
    std::optional<TArchiveFileChoice> choice;
    AnswerDialog([&] { choice = files.ChooseFile("Архив ВИРЕЛ1 07.12.2026"); },
                 [&](HWND dialog) {
                     proposed = Text(NameControl(dialog));
                     // The operator picks the CSV type and types a bare name.
                     const HWND types = GetDlgItem(dialog, kTypeBox);
                     SendMessageW(types, CB_SETCURSEL, 1, 0);
                     for (const WORD code : {CBN_SELCHANGE, CBN_SELENDOK}) {
                         SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kTypeBox, code),
                                      reinterpret_cast<LPARAM>(types));
                     }
                     SetWindowTextW(NameControl(dialog), L"Выбор");
                     PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                 });
    EXPECT_EQ(proposed, L"Архив ВИРЕЛ1 07.12.2026");
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->path, Narrow(documents) + "\\Выбор.csv");
    EXPECT_EQ(choice->type, TArchiveFileType::Csv);
    EXPECT_EQ(files.InitialFolder(), documents) << "the folder chosen is the next one's";

    // The default type, into another folder, typed; the next dialog opens there.
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring other = std::wstring(temp) + L"virel-archive-dialog";
    CreateDirectoryW(other.c_str(), nullptr);
    AnswerDialog([&] { choice = files.ChooseFile("Архив"); },
                 [&](HWND dialog) {
                     SetWindowTextW(NameControl(dialog), (other + L"\\Архив").c_str());
                     PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                 });
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->path, Narrow(other) + "\\Архив.xlsx");
    EXPECT_EQ(choice->type, TArchiveFileType::Xlsx);
    AnswerDialog([&] { choice = files.ChooseFile("Архив"); },
                 [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); });
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->path, Narrow(other) + "\\Архив.xlsx");
    RemoveDirectoryW(other.c_str());

    // Stored beside the window's values; gone or junk there, the dialog opens in Documents.
    const std::wstring section = Widen(kKey) + L"\\" + Widen(kSection);
    wchar_t stored[MAX_PATH] = L"";
    DWORD bytes = sizeof stored;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, section.c_str(), L"ArchiveFolder", RRF_RT_REG_SZ,
                           nullptr, stored, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(stored, other);
    EXPECT_EQ(files.InitialFolder(), documents) << "the folder no longer exists";
    const DWORD number = 7;
    RegSetKeyValueW(HKEY_CURRENT_USER, section.c_str(), L"ArchiveFolder", REG_DWORD, &number,
                    sizeof number);
    EXPECT_EQ(files.InitialFolder(), documents);
    const std::wstring huge(40000, L'x');
    RegSetKeyValueW(HKEY_CURRENT_USER, section.c_str(), L"ArchiveFolder", REG_SZ, huge.c_str(),
                    static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(files.InitialFolder(), documents);

    // Cancelled: nothing.
    AnswerDialog([&] { choice = files.ChooseFile("Архив"); },
                 [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_FALSE(choice.has_value());
}

}  // namespace
}  // namespace virel::app::test
