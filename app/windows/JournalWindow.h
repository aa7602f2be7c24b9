#pragma once
// The window "Журнал доз": the dose journal's records of a period, newest first, in a virtual
// list; the period's count and total; the meters' clock notes; the period's export to xlsx or
// CSV.
//
// It runs on a thread of its own with a connection of its own to the journal file (readers
// do not block the writer in WAL mode): the main window's thread may wait seconds in an
// exchange with a silent meter, and this window still scrolls, filters and exports. It is a
// top-level window owned by no other, with its own message loop (its own TApplication).
// TJournalWindowHost, on the main window's thread, starts it, brings it to the front when asked
// again, and closes it (waiting for its thread) when the main window goes.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/platform/FileExportPlatform.h"
#include "app/frame/Application.h"
#include "app/windows/CatalogueDialog.h"
#include "app/frame/Window.h"
#include "core/meter/DeviceSeams.h"
#include "core/Regional.h"
#include "forms/AnnotationForm.h"
#include "journal/Journal.h"
#include "forms/JournalView.h"
#include "registry/PushSchedule.h"
#include "forms/JournalSettings.h"
#include "forms/ReportView.h"
#include "storage/Settings.h"
#include "win/Scopes.h"

namespace virel::app {

class TJournalWindow : public TCustomWindow {
public:
    static constexpr int kClientWidth = 740;
    static constexpr int kClientHeight = 415;
    static constexpr UINT kRefreshInterval = 1000;  // ms between looks at the journal file
    static constexpr wchar_t kClassName[] = L"TJournalWindow";

    // The list's columns: the journal's, then the kind of examination.
    static constexpr int kKindColumn = static_cast<int>(kJournalColumns);

    // The journal is this window's own connection, opened or not (each refresh tries again).
    // `settings`: the unit of DAP and how the record's dialog keeps the patient, kept by
    // `storeSettings` when the operator changes them; `catalogueFiles`: the catalogue's open
    // and save dialogs; `link`: the program's pusher to the central registry, whose state the
    // window shows in a line and which is told of new settings and annotations; `stored`: the
    // program's settings, the central journal's among them.
    using TStoreSettings = std::function<bool(const TJournalSettings&)>;
    TJournalWindow(TApplication& application, TJournal& journal, IClock& clock,
                   RegionalFormats formats, IFileExportPlatform& exportPlatform,
                   TJournalSettings settings, TStoreSettings storeSettings,
                   TCatalogueFileDialog catalogueFiles, IRegistryLink& link, TSettings stored);
    ~TJournalWindow() override;

    // Creates and shows the window with this month's records.
    HWND Create();

    // The period shown, the rows' count; what the list shows at a row and column.
    const TPeriod& Period() const { return period_; }
    void SetPeriod(const TPeriod& period);
    std::size_t RowCount() const { return count_; }
    std::string CellText(std::size_t row, TJournalColumn column);
    // The current annotation's kind of examination of the row.
    std::string KindText(std::size_t row);
    // Looks at the file now, as the timer does every second.
    void Refresh();
    // Writes the shown period to a file the operator chooses.
    void ExportExecute();
    // Opens the record's dialog for the selected row (Enter, a double click); modal, returns
    // when it is closed.
    void AnnotateExecute();
    // The catalogue's dialog; the list shows the kinds' new names when it closes.
    void CatalogueExecute();
    // The settings' dialog; the list shows doses in the unit chosen.
    void SettingsExecute();
    // The window "Отчёт за период", modal; returns when it is closed.
    void ReportExecute();
    // The selected records' lines for the patient's dose sheet onto the clipboard, as text and
    // as a table (Ctrl+C).
    void CopyDoseSheetExecute();
    // Where a report can come from: this room's journal, and when the central registry is
    // configured, its rooms together and this room as the server holds it.
    std::vector<TReportSource> ReportSources() const;
    const TJournalSettings& Settings() const { return settings_; }
    // The dialog "Центральный журнал"; the pusher reads the settings again when they are stored.
    void RegistryExecute();

    HWND List() const { return list_; }
    HWND FromPicker() const { return from_; }
    HWND ToPicker() const { return to_; }
    HWND TotalsLabel() const { return totals_; }
    HWND ClockLabel() const { return clock_; }
    HWND ExportButton() const { return export_; }
    HWND CatalogueButton() const { return catalogue_; }
    HWND SettingsButton() const { return settingsButton_; }
    HWND StatusBar() const { return status_; }
    HWND RegistryButton() const { return registryButton_; }
    HWND LinkLine() const { return linkLine_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    void Reload(bool keepPlace);
    bool EnsureOpen();
    const TJournalRow* RowAt(std::size_t index);
    void Fetch(std::size_t from, std::size_t to);
    void ShowProblem(const std::exception& e);
    void SetStatus(const std::string& text);
    LRESULT OnNotify(const NMHDR& header);
    void PeriodFromPickers();
    void OfferNewest(std::optional<std::int64_t> newestBefore);
    std::optional<std::int64_t> NewestId();
    void ShowLink();

    TJournal& journal_;
    // What the window reads and writes of the journal, on its connection.
    TJournalRecords records_;
    TAnnotations annotations_;
    TCatalogue catalogueTable_;
    TClockNotes clockNotes_;
    IClock& clockSource_;
    RegionalFormats formats_;
    IFileExportPlatform& exportPlatform_;
    TJournalSettings settings_;
    TStoreSettings storeSettings_;
    TCatalogueFileDialog catalogueFiles_;
    IRegistryLink& link_;
    TSettings stored_;  // where the central journal's settings are kept
    TPeriod period_;
    std::size_t count_ = 0;
    TPeriodTotals totalsValue_;
    TRowCache cache_;
    std::unordered_map<std::int64_t, std::string> kinds_;  // of the rows held, by record id
    std::optional<std::int64_t> newest_;  // the newest row's id as last seen
    bool annotating_ = false;
    std::wstring cell_;  // the text handed to the list last
    win::TAccelerators shortcuts_;
    HWND list_ = nullptr, from_ = nullptr, to_ = nullptr, totals_ = nullptr, clock_ = nullptr,
         export_ = nullptr, status_ = nullptr, catalogue_ = nullptr,
         settingsButton_ = nullptr, registryButton_ = nullptr, linkLine_ = nullptr;
};

// Starts, fronts and ends the journal window's thread, from the main window's thread.
class TJournalWindowHost {
public:
    // The window opens its own connection to `journalPath`; `stored`: the program's settings,
    // where the window's own are kept and the save dialog keeps its last folder (shared with
    // the file export); `link`: the program's pusher to the central registry (it outlives the
    // host).
    TJournalWindowHost(std::string journalPath, TSettings stored, IRegistryLink& link);
    ~TJournalWindowHost();  // closes the window and waits for its thread
    TJournalWindowHost(const TJournalWindowHost&) = delete;
    TJournalWindowHost& operator=(const TJournalWindowHost&) = delete;

    // Opens the window with the regional formats given, or brings the open one to the front.
    // Returns once the window exists (or could not be made).
    void Show(const RegionalFormats& formats);
    // Closes the window and waits for its thread to end (its connection closed with it).
    void Close();
    // The window, while it is open (its thread's: read it with SendMessage only).
    HWND Window() const { return window_.load(); }
    TJournalWindow* Object() const { return object_.load(); }

    // For tests: the save dialog and the message boxes of the window's thread.
    void SetSaveDialogFunction(TSaveDialogFunction function) { dialog_ = std::move(function); }
    void SetMessageBoxFunction(TMessageBoxFunction function) { boxes_ = std::move(function); }
    // For tests: the catalogue's open and save dialogs.
    void SetCatalogueDialogFunction(TCatalogueFileDialog function) {
        catalogueFiles_ = std::move(function);
    }

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void Join();

    std::string journalPath_;
    TSettings stored_;
    IRegistryLink& link_;
    RegionalFormats formats_;
    TSaveDialogFunction dialog_;
    TMessageBoxFunction boxes_;
    TCatalogueFileDialog catalogueFiles_;
    win::THandle thread_;
    win::THandle ready_;  // set when the window exists or could not be made
    std::atomic<HWND> window_{nullptr};
    std::atomic<TJournalWindow*> object_{nullptr};
};

}  // namespace virel::app
