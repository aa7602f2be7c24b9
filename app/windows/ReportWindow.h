#pragma once
// The window "Отчёт за период", opened from the window "Журнал доз" on its thread and owned by
// it, modeless: the journal stays usable beside it, several reports may be open, and they go
// when the journal window goes. the source of the report (this room's journal; more sources come as more entries of
// "Источник"), the period (this month at first) and the unit of DAP; the report's tables by
// kind of examination (the records without a kind in a row of their own) above, and below it on
// tabs the others (by month; the audit against the reference levels when there is one), the
// same texts as its files; "Сохранить..." to xlsx or CSV through the same writers as the
// command line's report; and over the registry's rooms together "Сохранить как каталог..."
// for the local levels.
//
// A report over years of records takes up to a second: it is made on a thread of its own,
// which runs the source's function alone, and the window stays responsive meanwhile. A change
// while one is made asks for another once it is done; only the newest one is shown.
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "app/controls/ListColumns.h"
#include "app/frame/ModalWindow.h"
#include "core/export/FileExport.h"
#include "forms/ReportView.h"

namespace virel::app {

class TReportWindow : public TModalWindow {
public:
    static constexpr int kClientWidth = 740;
    static constexpr int kClientHeight = 470;
    static constexpr wchar_t kClassName[] = L"TReportWindow";
    // The controls' ids, for the tests that find them from another thread.
    enum TControlId : int {
        kIdSource = 3501,
        kIdFrom,
        kIdTo,
        kIdUnit,
        kIdHeadline,
        kIdKindsLabel,
        kIdKinds,
        kIdMonths,  // the list below, which shows the table its tab chooses
        kIdSave,
        kIdTables,  // the tabs of the tables after the kinds': by month, the audit, ...
        kIdSaveLevels,
    };

    // `sources`: at least one; the first is chosen. `platform`: the journal window's save
    // dialog and boxes. `moreSources`, when given, runs on a thread of its own when the window
    // opens (it may ask a server) and adds its sources to the list when it is done.
    using TMoreSources = std::function<std::vector<TReportSource>()>;
    // Told when the operator closed the window (hidden then): its owner lets it go later, never
    // from inside this call.
    using TClosed = std::function<void(TReportWindow&)>;
    TReportWindow(TApplication& application, std::vector<TReportSource> sources,
                  const TPeriod& period, TDoseUnit unit, IFileExportPlatform& platform,
                  char decimalSeparator, TMoreSources moreSources = {}, TClosed closed = {});
    ~TReportWindow() override;

    // Creates the window, hidden, owned by `owner`, and starts the first report.
    HWND Create(HWND owner);
    // Shows it, centred on its owner, and returns at once.
    void Show();

    // Saves the report shown to a file the operator chooses.
    void SaveExecute();
    // Saves the local levels of the report shown (all rooms of the registry) as a catalogue.
    void SaveLevelsExecute();
    bool Busy() const { return working_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    // Asks for the report of what the controls show now.
    void Request();
    void Start();
    void Finished();
    void ShowReport();
    void Close();
    void Fill(HWND list, const TReportViewTable& table);
    // The tabs of the tables after the kinds', the one chosen kept where it still is.
    void ShowTabs();
    void ShowChosenTable();
    void Join();
    void AddSources();

    std::vector<TReportSource> sources_;
    TPeriod period_;
    TDoseUnit unit_;
    IFileExportPlatform& platform_;
    char decimalSeparator_;

    // What a thread of the window hands back. Shared with the thread: a window closed while a
    // report is made (a server that does not answer takes up to its login time-out) lets the
    // thread run out on its own instead of waiting for it.
    template <typename T>
    class THandBack {
    public:
        void Put(T value) {
            const std::lock_guard<std::mutex> lock(mutex_);
            value_ = std::move(value);
        }
        std::optional<T> Take() {
            const std::lock_guard<std::mutex> lock(mutex_);
            return std::exchange(value_, std::nullopt);
        }

    private:
        std::mutex mutex_;
        std::optional<T> value_;
    };
    std::thread worker_;
    bool working_ = false;
    bool again_ = false;  // asked for again while one was made
    std::shared_ptr<THandBack<TReportOutcome>> done_ =
        std::make_shared<THandBack<TReportOutcome>>();
    TClosed closed_;
    // The sources found later.
    TMoreSources moreSources_;
    std::thread moreWorker_;
    bool lookingForMore_ = false;
    using TSources = std::vector<TReportSource>;
    std::shared_ptr<THandBack<TSources>> found_ = std::make_shared<THandBack<TSources>>();
    // The report shown, with what it was asked for.
    std::optional<TPeriodReport> report_;
    TDoseUnit reportUnit_ = TDoseUnit::Gy;
    std::vector<TReportViewTable> tables_;  // the report shown, as the lists show it

    // The two lists' columns, fitted to their headers; a width dragged stays for the next
    // report too.
    std::optional<TListColumns> kindColumns_, monthColumns_;
    std::string monthsTable_;  // the table the lower list shows now
    HWND source_ = nullptr, from_ = nullptr, to_ = nullptr, unitBox_ = nullptr, headline_ = nullptr,
         kinds_ = nullptr, months_ = nullptr, save_ = nullptr, tabs_ = nullptr,
         saveLevels_ = nullptr;
};

}  // namespace virel::app
