#pragma once
// The window "Журнал доз": the dose journal's records of a period, newest first, in a virtual
// list; the period's count and total; the meters' clock notes; the period's export to xlsx or
// CSV.
//
// It runs on a thread of its own with a connection of its own to the journal file (readers
// do not block the writer in WAL mode): the main window's thread may wait seconds in an
// exchange with a silent meter, and this window still scrolls, filters and exports. It is a
// top-level window owned by no other, with its own message loop (its own TApplication).
// What it is made of is decided by the composition root (TJournalWindowParts, app/Program);
// TJournalWindowHost, on the main window's thread, starts its thread, makes there the objects
// bound to it, brings the window to the front when asked again, and closes it (waiting for its
// thread) when the main window goes.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/frame/Application.h"
#include "app/controls/ListColumns.h"
#include "app/frame/Window.h"
#include "app/platform/FileExportPlatform.h"
#include "app/platform/JournalConnection.h"
#include "app/windows/CatalogueDialog.h"
#include "app/windows/RegistryDialog.h"
#include "app/windows/ReportWindow.h"
#include "core/Regional.h"
#include "core/meter/DeviceSeams.h"
#include "forms/AnnotationForm.h"
#include "forms/JournalPeriods.h"
#include "forms/JournalSettings.h"
#include "forms/JournalView.h"
#include "forms/QueueWatch.h"
#include "forms/ReportView.h"
#include "journal/Journal.h"
#include "registry/PushSchedule.h"
#include "storage/Settings.h"
#include "win/Scopes.h"

namespace virel::app {

// What the window "Журнал доз" is made of, every part decided by the composition root: all but
// the objects bound to the window's own thread (its message loop, its connection to the journal,
// its save dialog's platform), which its host makes on that thread from these.
struct TJournalWindowParts {
    // Opens a connection of its own to the journal: the host opens the window's on the window's
    // thread, a report opens one on its own thread.
    TOpenJournal openJournal;
    // Today, for the period first shown and the year of birth's check.
    IClock& clock;
    // The program's pusher to the central registry (it outlives the window): the window shows
    // its state in a line and tells it of new settings and annotations.
    IRegistryLink& link;
    // The program's settings, where the save dialog keeps its last folder (shared with the
    // file export).
    TSettings stored;
    // The save dialog and the message boxes of the window's thread; the system's when empty.
    TSaveDialogFunction saveDialog;
    TMessageBoxFunction messageBox;
    // The catalogue's open and save dialogs.
    TCatalogueFileDialog catalogueFiles;
    // The journal's settings: read when the window opens (a change made in an earlier window is
    // there again), kept when the operator changes them.
    std::function<TJournalSettings()> readSettings;
    std::function<bool(const TJournalSettings&)> writeSettings;
    // The central journal's settings as stored, their check (run on another thread) and their
    // keeping.
    std::function<TRegistrySettings()> loadRegistry;
    TRegistryDialog::TCheck checkRegistry;
    TRegistryDialog::TStore saveRegistry;
    // The user's decimal separator, read when a report or a dose sheet is made.
    std::function<char()> decimalSeparator;
};

class TJournalWindow : public TCustomWindow {
public:
    static constexpr int kClientWidth = 740;
    static constexpr int kClientHeight = 415;
    static constexpr UINT kRefreshInterval = 1000;  // ms between looks at the journal file
    static constexpr wchar_t kClassName[] = L"TJournalWindow";

    // The list's columns: the journal's, then the kind of examination.
    static constexpr int kKindColumn = static_cast<int>(kJournalColumns);

    // The application, the journal (this window's own connection, opened or not: each
    // refresh tries again) and the export's platform are its thread's, made by the host; the
    // rest is `parts`. The settings are read as the window is made.
    TJournalWindow(TApplication& application, TJournal& journal,
                   IFileExportPlatform& exportPlatform, const TJournalWindowParts& parts,
                   RegionalFormats formats);
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
    // Looks at the file now, as the timer does every second: the rows, the records that came
    // outside the period, the registry's queue.
    void Refresh();
    // The period of the menu "Период"; the whole journal from its first record to its last.
    void QuickPeriodExecute(TQuickPeriod which);
    // The period that holds the records that came outside the one shown, when the status line
    // offers it (a click on the line, Ctrl+G); nothing otherwise.
    void ShowOutsideExecute();
    const std::optional<TPeriod>& OfferedPeriod() const { return offered_; }
    // Writes the shown period to a file the operator chooses.
    void ExportExecute();
    // Opens the record's dialog for the selected row (Enter, a double click); modal, returns
    // when it is closed.
    void AnnotateExecute();
    // The catalogue's dialog; the list shows the kinds' new names when it closes.
    void CatalogueExecute();
    // The settings' dialog; the list shows doses in the unit chosen.
    void SettingsExecute();
    // Opens a window "Отчёт за период", modeless: the journal window stays usable, and its
    // report windows close with it.
    void ReportExecute();
    std::size_t ReportWindows() const { return reports_.size(); }
    // The selected records' lines for the patient's dose sheet onto the clipboard, as text and
    // as a table (Ctrl+C).
    void CopyDoseSheetExecute();
    // Where a report can come from: this room's journal, and when the central registry is
    // configured, its rooms together and this room as the server holds it.
    std::vector<TReportSource> ReportSources() const;
    const TJournalSettings& Settings() const { return settings_; }
    // The dialog "Центральный журнал"; the pusher reads the settings again when they are stored.
    void RegistryExecute();
    // "Только оповещения": the period's rows whose records raised a high-dose alert, alone, or
    // all rows again.
    void AlertsOnlyExecute();
    bool AlertsOnly() const { return alertsOnly_; }
    // The levels the row's record went over (its tip); empty when it raised no alert.
    std::string AlertMark(std::size_t row);

    HWND List() const { return list_; }
    // The list's column widths the operator dragged (at 96 dpi, 0: not dragged), as stored.
    std::vector<int> DraggedColumnWidths() const {
        return columns_ ? columns_->DraggedWidths() : std::vector<int>{};
    }
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
    void ShowCell(LVITEMW& item);
    void ShowTip(NMLVGETINFOTIPW& tip);
    LRESULT AlertRowColours(NMLVCUSTOMDRAW& draw);
    void PeriodFromPickers();
    void OfferNewest(std::optional<std::int64_t> newestBefore);
    std::optional<std::int64_t> NewestId();
    void ShowLink();
    void LookAtQueue(bool changed);
    void NoticeOutside();
    void Offer(std::optional<TPeriod> period);
    void LoadAlerts();

    TJournal& journal_;
    // What the window reads and writes of the journal, on its connection.
    TJournalRecords records_;
    TAnnotations annotations_;
    TCatalogue catalogueTable_;
    TClockNotes clockNotes_;
    IFileExportPlatform& exportPlatform_;
    TJournalWindowParts parts_;
    RegionalFormats formats_;
    TJournalSettings settings_;
    TPeriod period_;
    std::size_t count_ = 0;
    TPeriodTotals totalsValue_;
    TRowCache cache_;
    std::unordered_map<std::int64_t, std::string> kinds_;  // of the rows held, by record id
    std::optional<std::int64_t> newest_;                   // the newest row's id as last seen
    bool annotating_ = false;
    // The newest row id seen: the rows after it came since (none before the first look).
    std::optional<std::int64_t> lastSeenId_;
    std::optional<TPeriod> offered_;  // the period the status line offers
    bool alertsOnly_ = false;
    TAlertMarks alertMarks_;  // the period's alerts by record, read with the rows
    TQueueWatch queueWatch_;
    // The report windows open; one the operator closed is let go at the next message.
    std::vector<std::unique_ptr<TReportWindow>> reports_;
    std::wstring cell_;  // the text handed to the list last
    std::optional<TListColumns> columns_;  // the list's, fitted to their headers
    win::TAccelerators shortcuts_;
    HWND list_ = nullptr, from_ = nullptr, to_ = nullptr, totals_ = nullptr, clock_ = nullptr,
         export_ = nullptr, status_ = nullptr, catalogue_ = nullptr, settingsButton_ = nullptr,
         registryButton_ = nullptr, linkLine_ = nullptr;
};

// Starts, fronts and ends the journal window's thread, from the main window's thread; on that
// thread it makes, in one place, the objects bound to it and hands them to the window.
class TJournalWindowHost {
public:
    explicit TJournalWindowHost(TJournalWindowParts parts);
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
    void SetSaveDialogFunction(TSaveDialogFunction function) {
        parts_.saveDialog = std::move(function);
    }
    void SetMessageBoxFunction(TMessageBoxFunction function) {
        parts_.messageBox = std::move(function);
    }
    // For tests: the catalogue's open and save dialogs.
    void SetCatalogueDialogFunction(TCatalogueFileDialog function) {
        parts_.catalogueFiles = std::move(function);
    }

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    // The window with its thread's objects, until it is closed; `ready` is set once it exists.
    void RunWindow(HANDLE ready);
    void Join();

    TJournalWindowParts parts_;
    RegionalFormats formats_;
    win::THandle thread_;
    win::THandle ready_;  // set when the window exists or could not be made
    std::atomic<HWND> window_{nullptr};
    std::atomic<TJournalWindow*> object_{nullptr};
};

}  // namespace virel::app
