#include "app/windows/JournalWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "app/controls/Controls.h"
#include "app/platform/Clipboard.h"
#include "app/windows/AnnotationDialog.h"
#include "app/windows/JournalSettingsDialog.h"
#include "core/Utf16.h"
#include "core/meter/DeviceTexts.h"
#include "forms/ReportSources.h"
#include "reports/DoseSheet.h"
#include "storage/ProgramSettings.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

enum TControlId : int {
    kIdFromLabel = 2001,
    kIdFrom,
    kIdToLabel,
    kIdTo,
    kIdExport,
    kIdTotals,
    kIdClock,
    kIdList,
    kIdStatus,
    kIdCatalogue,
    kIdSettings,
    kIdRegistry,
    kIdLink,
    kIdReport,
    kIdCopySheet,
    kIdThisMonth,
    kIdLastMonth,
    kIdThisYear,
    kIdWholeJournal,
    kIdShowOutside,
    kIdAlertsOnly,
};

// The menu "Период": its entries in the order of TQuickPeriod.
constexpr int kQuickPeriodIds[] = {kIdThisMonth, kIdLastMonth, kIdThisYear, kIdWholeJournal};

constexpr UINT_PTR kRefreshTimer = 1;
// Posted by the host: the window comes to the front (restored when minimised).
constexpr UINT kMsgBringToFront = WM_APP + 1;
// Posted by a report window the operator closed: lParam is the window to let go.
constexpr UINT kMsgReportClosed = WM_APP + 2;

// The columns' widths at 96 dpi, in the order of TJournalColumn.
constexpr int kColumnWidths[kJournalColumns + 1] = {130, 60, 105, 95, 100, 90, 130};
constexpr std::size_t kListColumns = kJournalColumns + 1;
// The widths the operator dragged, kept with the journal's settings.
constexpr TTextSetting kStoredColumnWidths{{kJournalSettingsSection, "ColumnWidths"}, ""};

// The queue on the window's connection: a busy or closed file counts nothing now.
class TWindowQueueCounter final : public IQueueCounter {
public:
    explicit TWindowQueueCounter(TJournal& journal) : journal_(journal) {}
    std::optional<TQueueFigures> Count() override {
        try {
            if (!journal_.IsOpen()) return std::nullopt;
            TPushQueue queue(journal_);
            return TQueueFigures{queue.Waiting(), queue.Refused()};
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

private:
    TJournal& journal_;
};

SYSTEMTIME SystemTimeOf(const DateTime& day) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(day.year);
    time.wMonth = static_cast<WORD>(day.month);
    time.wDay = static_cast<WORD>(day.day);
    return time;
}

DateTime DayOfPicker(HWND picker) {
    SYSTEMTIME time{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
        return {};
    return {time.wYear, time.wMonth, time.wDay, 0, 0, 0, 0};
}

void SetPicker(HWND picker, const DateTime& day) {
    SYSTEMTIME time = SystemTimeOf(day);
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

void SetText(HWND control, const std::string& text) {
    SetWindowTextW(control, Widen(text).c_str());
}

}  // namespace

TJournalWindow::TJournalWindow(TApplication& application, TJournal& journal,
                               IFileExportPlatform& exportPlatform,
                               const TJournalWindowParts& parts, RegionalFormats formats)
    : TCustomWindow(application),
      journal_(journal),
      records_(journal),
      annotations_(journal),
      catalogueTable_(journal),
      clockNotes_(journal),
      exportPlatform_(exportPlatform),
      parts_(parts),
      formats_(std::move(formats)),
      settings_(parts_.readSettings()),
      period_(DefaultJournalPeriod(FromMilliseconds(parts_.clock.LocalNowMs()))) {}

TJournalWindow::~TJournalWindow() {
    DestroyHandle();
}

HWND TJournalWindow::Create() {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    win::TMenu bar(CreateMenu());
    const HMENU journal = CreatePopupMenu();
    AppendMenuW(journal, MF_STRING, kIdExport, Widen(texts::kJournalExport).c_str());
    AppendMenuW(journal, MF_STRING, kIdReport, Widen(texts::kReportMenu).c_str());
    AppendMenuW(journal, MF_STRING, kIdCopySheet,
                (Widen(texts::kDoseSheetCopy) + L"\tCtrl+C").c_str());
    AppendMenuW(journal, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(journal, MF_STRING, kIdCatalogue, Widen(texts::kCatalogueButton).c_str());
    AppendMenuW(journal, MF_STRING, kIdSettings, Widen(texts::kJournalSettingsButton).c_str());
    AppendMenuW(journal, MF_STRING, kIdRegistry, Widen(texts::kRegistryButton).c_str());
    AppendMenuW(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(journal),
                Widen(texts::kJournalMenu).c_str());
    const HMENU periods = CreatePopupMenu();
    const char* const quick[] = {texts::kPeriodThisMonth, texts::kPeriodLastMonth,
                                 texts::kPeriodThisYear, texts::kPeriodWholeJournal};
    for (std::size_t i = 0; i < std::size(quick); ++i)
        AppendMenuW(periods, MF_STRING, kQuickPeriodIds[i], Widen(quick[i]).c_str());
    AppendMenuW(periods, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(periods, MF_STRING | MF_GRAYED, kIdShowOutside,
                (Widen(texts::kPeriodShowOutside) + L"\tCtrl+G").c_str());
    AppendMenuW(periods, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(periods, MF_STRING, kIdAlertsOnly, Widen(texts::kAlertsOnly).c_str());
    AppendMenuW(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(periods),
                Widen(texts::kPeriodMenu).c_str());
    CreateHandle(
        {kClassName, LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
        Widen(texts::kJournalWindowCaption).c_str(), style, 0, CW_USEDEFAULT, CW_USEDEFAULT,
        kClientWidth, kClientHeight, nullptr, bar.Get());
    if (!Handle()) return nullptr;
    bar.Release();  // the window's now: destroyed with it
    CreateControls();
    ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'C', kIdCopySheet},
                    {FVIRTKEY | FCONTROL, 'G', kIdShowOutside}};
    shortcuts_.Reset(CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))));
    Application().SetMainWindow(Handle(), shortcuts_.Get());
    Application().AddDialogWindow(Handle());
    Reload(false);
    NoticeOutside();  // the first look: what is there now is the base
    LookAtQueue(true);
    ShowLink();
    SetTimer(Handle(), kRefreshTimer, kRefreshInterval, nullptr);
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
    SetForegroundWindow(Handle());
    SetFocus(list_);
    return Handle();
}

void TJournalWindow::CreateControls() {
    const HWND self = Handle();
    CreateControl(Layout(), L"STATIC", Widen(texts::kJournalPeriodFrom).c_str(), SS_LEFT,
                  {8, 12, 14, 13}, self, kIdFromLabel);
    from_ = CreateControl(Layout(), DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT | WS_TABSTOP,
                          {24, 8, 100, 21}, self, kIdFrom);
    CreateControl(Layout(), L"STATIC", Widen(texts::kJournalPeriodTo).c_str(), SS_LEFT,
                  {134, 12, 18, 13}, self, kIdToLabel);
    to_ = CreateControl(Layout(), DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT | WS_TABSTOP,
                        {154, 8, 100, 21}, self, kIdTo);
    export_ = CreateControl(Layout(), L"BUTTON", Widen(texts::kJournalExport).c_str(),
                            BS_PUSHBUTTON | WS_TABSTOP, {596, 7, 136, 23}, self, kIdExport);
    settingsButton_ =
        CreateControl(Layout(), L"BUTTON", Widen(texts::kJournalSettingsButton).c_str(),
                      BS_PUSHBUTTON | WS_TABSTOP, {336, 7, 100, 23}, self, kIdSettings);
    catalogue_ = CreateControl(Layout(), L"BUTTON", Widen(texts::kCatalogueButton).c_str(),
                               BS_PUSHBUTTON | WS_TABSTOP, {444, 7, 144, 23}, self, kIdCatalogue);
    totals_ = CreateControl(Layout(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX, {8, 38, 724, 13}, self,
                            kIdTotals);
    clock_ = CreateControl(Layout(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX, {8, 56, 724, 26}, self,
                           kIdClock);
    list_ = CreateControl(Layout(), WC_LISTVIEWW, L"",
                          LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_VSCROLL,
                          {8, 88, 724, 270}, self, kIdList, WS_EX_CLIENTEDGE);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    const auto& headers = JournalColumnHeaders();
    for (std::size_t c = 0; c < kListColumns; ++c) {
        std::wstring header = Widen(c == static_cast<std::size_t>(TJournalColumn::Dose)
                                        ? JournalDoseHeader(settings_.unit)
                                    : c < kJournalColumns ? headers[c]
                                                          : texts::kJournalHeaderKind);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = c == 0 || c >= kJournalColumns - 1 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.cx = Layout().Scale(kColumnWidths[c]);
        column.pszText = header.data();
        SendMessageW(list_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    columns_.emplace(list_, std::vector<int>(std::begin(kColumnWidths), std::end(kColumnWidths)));
    columns_->SetDraggedWidths(
        ParseColumnWidths(parts_.stored.Read(kStoredColumnWidths), kListColumns));
    columns_->Fit(Layout());
    // The columns follow the window to a monitor of another dpi, fitted to the font there.
    Layout().Keep([this](const TDpiLayout& layout) { columns_->Fit(layout); });
    // The central registry's link under the list, its settings beside it.
    linkLine_ = CreateControl(Layout(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                              {8, 371, 566, 13}, self, kIdLink);
    registryButton_ =
        CreateControl(Layout(), L"BUTTON", Widen(texts::kRegistryButton).c_str(),
                      BS_PUSHBUTTON | WS_TABSTOP, {582, 366, 150, 23}, self, kIdRegistry);
    status_ = CreateControl(Layout(), STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN,
                            {0, 396, 740, 19}, self, kIdStatus);
    const int wholeWidth = -1;
    SendMessageW(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&wholeWidth));
    SetPicker(from_, period_.from);
    SetPicker(to_, period_.to);
}

bool TJournalWindow::EnsureOpen() {
    if (journal_.IsOpen()) return true;
    const TOpenResult opened = journal_.Open();
    if (journal_.IsOpen()) return true;
    SetText(totals_, texts::kJournalUnavailable + opened.error);
    return false;
}

void TJournalWindow::ShowProblem(const std::exception& e) {
    // A failed look at the file is shown in the window, not in a box every second.
    SetText(totals_, texts::kJournalUnavailable + std::string(e.what()));
}

void TJournalWindow::SetStatus(const std::string& text) {
    SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void TJournalWindow::SetPeriod(const TPeriod& period) {
    Offer(std::nullopt);
    period_ = PeriodBetween(period.from, period.to);
    SetPicker(from_, period_.from);
    SetPicker(to_, period_.to);
    Reload(false);
}

void TJournalWindow::PeriodFromPickers() {
    Offer(std::nullopt);
    period_ = PeriodBetween(DayOfPicker(from_), DayOfPicker(to_));
    Reload(false);
}

void TJournalWindow::Reload(bool keepPlace) {
    const std::size_t before = count_;
    const auto top =
        static_cast<std::size_t>(std::max<LRESULT>(0, SendMessageW(list_, LVM_GETTOPINDEX, 0, 0)));
    cache_.Clear();
    kinds_.clear();
    std::vector<std::string> drifts;
    try {
        if (!EnsureOpen()) {
            count_ = 0;
        } else {
            journal_.Changed();  // what this look saw is the base of the next
            totalsValue_ = records_.Totals(period_);
            count_ = static_cast<std::size_t>(std::max<std::int64_t>(0, totalsValue_.count));
            SetText(totals_, TotalsTextIn(totalsValue_, settings_.unit));
            LoadAlerts();
            drifts = ClockDriftTexts(clockNotes_.Drifts());
        }
    } catch (const std::exception& e) {
        count_ = 0;
        ShowProblem(e);
    }
    std::string clockText;
    for (const std::string& line : drifts) clockText += (clockText.empty() ? "" : "\r\n") + line;
    SetText(clock_, clockText);

    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    if (!keepPlace || count_ != before) {
        // The list's selection is by position: once rows come or go, the positions selected
        // hold other records, and a dose sheet copied then would be another patient's.
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&none));
    }
    SendMessageW(list_, LVM_SETITEMCOUNT, count_, keepPlace ? LVSICF_NOSCROLL : 0);
    if (count_ > 0) {
        const std::size_t newTop = keepPlace
                                       ? TopAfterRefresh(top, static_cast<std::int64_t>(before),
                                                         static_cast<std::int64_t>(count_))
                                       : 0;
        // The list scrolls by whole rows: to bring `newTop` to the top, show the last row a
        // page below it, then the row itself.
        const auto perPage = static_cast<std::size_t>(
            std::max<LRESULT>(1, SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0)));
        const auto currentTop = static_cast<std::size_t>(
            std::max<LRESULT>(0, SendMessageW(list_, LVM_GETTOPINDEX, 0, 0)));
        if (currentTop != newTop) {
            SendMessageW(list_, LVM_ENSUREVISIBLE, std::min(count_ - 1, newTop + perPage - 1),
                         FALSE);
            SendMessageW(list_, LVM_ENSUREVISIBLE, newTop, FALSE);
        }
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    newest_ = NewestId();
}

void TJournalWindow::LoadAlerts() {
    alertMarks_ = AlertMarksOf(TAlerts(journal_).InPeriod(period_), settings_.unit);
    if (!alertsOnly_) return;
    // Few records raise alerts: the period's rows are read once and those kept whole, so the
    // list never pages for them.
    std::vector<TJournalRow> rows = AlertRowsOnly(records_.Rows(period_, 0, count_), alertMarks_);
    TPeriodTotals shown{static_cast<std::int64_t>(rows.size()), 0};
    for (const TJournalRow& row : rows) {
        shown.dose += row.record.dose;
        kinds_[row.id] = KindCellText(annotations_.Current(row.id));
    }
    count_ = rows.size();
    SetText(totals_, TotalsTextIn(shown, settings_.unit));
    cache_.Store(0, std::move(rows));
}

void TJournalWindow::AlertsOnlyExecute() {
    alertsOnly_ = !alertsOnly_;
    CheckMenuItem(GetMenu(Handle()), kIdAlertsOnly,
                  MF_BYCOMMAND | (alertsOnly_ ? MF_CHECKED : MF_UNCHECKED));
    Reload(false);
}

std::string TJournalWindow::AlertMark(std::size_t row) {
    const TJournalRow* at = RowAt(row);
    if (!at) return {};
    const auto mark = alertMarks_.find(at->id);
    return mark == alertMarks_.end() ? std::string() : mark->second;
}

void TJournalWindow::ShowLink() {
    // Set only when it changed: a label set anew every second flickers.
    const std::wstring text =
        Widen(LinkStateText(queueWatch_.Shown(parts_.link.State()), formats_));
    if (win::WindowText(linkLine_) != text) SetWindowTextW(linkLine_, text.c_str());
}

void TJournalWindow::LookAtQueue(bool changed) {
    // Without a registry nothing is shown: the queue is not counted.
    if (!parts_.link.State().configured) {
        queueWatch_.Reset();
        return;
    }
    TWindowQueueCounter counter(journal_);
    (void)queueWatch_.Look(changed, counter);
}

void TJournalWindow::Refresh() {
    bool changed = false;
    try {
        changed = !journal_.IsOpen() || journal_.Changed();
    } catch (const std::exception& e) {
        ShowProblem(e);
    }
    if (changed) {
        const std::optional<std::int64_t> newestBefore = newest_;
        Reload(true);
        OfferNewest(newestBefore);
        NoticeOutside();
    }
    LookAtQueue(changed);
    ShowLink();
}

void TJournalWindow::NoticeOutside() {
    TRecordSpan added;
    try {
        if (!journal_.IsOpen()) return;
        added = records_.SpanAfter(lastSeenId_.value_or(0), period_);
    } catch (const std::exception&) {
        return;  // the next look tries again; the totals line says why
    }
    const bool first = !lastSeenId_;
    if (added.count > 0 || first) lastSeenId_ = std::max(lastSeenId_.value_or(0), added.lastId);
    if (first) return;
    const auto outside = OutsideRecords(added);
    if (!outside) return;
    Offer(outside->period);
    SetStatus(OutsideRecordsText(*outside, formats_));
}

void TJournalWindow::Offer(std::optional<TPeriod> period) {
    offered_ = period;
    EnableMenuItem(GetMenu(Handle()), kIdShowOutside,
                   MF_BYCOMMAND | (offered_ ? MF_ENABLED : MF_GRAYED));
}

void TJournalWindow::ShowOutsideExecute() {
    if (!offered_) return;
    const TPeriod period = *offered_;
    SetPeriod(period);
    SetStatus({});
}

void TJournalWindow::QuickPeriodExecute(TQuickPeriod which) {
    TRecordSpan all;
    if (which == TQuickPeriod::WholeJournal) {
        try {
            if (!EnsureOpen()) return;
            all = records_.SpanAfter(0, period_);
        } catch (const std::exception& e) {
            ShowProblem(e);
            return;
        }
    }
    SetPeriod(QuickPeriodOf(which, FromMilliseconds(parts_.clock.LocalNowMs()), all));
}

std::optional<std::int64_t> TJournalWindow::NewestId() {
    const TJournalRow* row = count_ > 0 ? RowAt(0) : nullptr;
    return row ? row->id : 0;  // ids start at 1: any row is newer than none
}

void TJournalWindow::OfferNewest(std::optional<std::int64_t> newestBefore) {
    const TJournalRow* row = count_ > 0 ? RowAt(0) : nullptr;
    if (!row || !IsNewMeasurement(newestBefore, *row)) return;
    // Selected, not opened: the operator may be typing elsewhere, and Enter opens it.
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    SendMessageW(list_, LVM_ENSUREVISIBLE, 0, FALSE);
    SetStatus(texts::kJournalNewRecord);
}

void TJournalWindow::Fetch(std::size_t from, std::size_t to) {
    const auto span = cache_.Missing(from, to, count_);
    if (!span) return;
    try {
        cache_.Store(span->first, records_.Rows(period_, span->first, span->count));
        // The kinds of the rows held: one step into the annotations' index each.
        for (std::size_t i = span->first; i < span->first + span->count; ++i) {
            const TJournalRow* row = cache_.Find(i);
            if (row && !kinds_.count(row->id))
                kinds_[row->id] = KindCellText(annotations_.Current(row->id));
        }
    } catch (const std::exception& e) {
        ShowProblem(e);
    }
}

const TJournalRow* TJournalWindow::RowAt(std::size_t index) {
    if (!cache_.Find(index)) Fetch(index, index);
    return cache_.Find(index);
}

std::string TJournalWindow::CellText(std::size_t row, TJournalColumn column) {
    const TJournalRow* at = RowAt(row);
    return at ? JournalCellText(*at, column, formats_) : std::string();
}

std::string TJournalWindow::KindText(std::size_t row) {
    const TJournalRow* at = RowAt(row);
    if (!at) return {};
    const auto kind = kinds_.find(at->id);
    return kind == kinds_.end() ? std::string() : kind->second;
}

void TJournalWindow::AnnotateExecute() {
    const LRESULT selected =
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (selected < 0 || annotating_) return;
    const TJournalRow* at = RowAt(static_cast<std::size_t>(selected));
    if (!at) return;
    const TJournalRow row = *at;
    const int year = FromMilliseconds(parts_.clock.LocalNowMs()).year;
    std::vector<TExamKind> kinds;
    std::optional<TAnnotation> current;
    try {
        kinds = catalogueTable_.Kinds();
        current = annotations_.Current(row.id);
    } catch (const std::exception& e) {
        Application().ShowErrorText(e.what());
        return;
    }
    TAnnotationDialog dialog(Application(), RecordSummaryText(row, formats_), kinds,
                             FieldsOfAnnotation(current, kinds), year,
                             [this, &row, year](const TAnnotationInput& input) {
                                 return AnnotationFaultText(
                                     annotations_.Annotate(row.id, input, settings_.privacy), year);
                             });
    if (!dialog.Create(Handle())) return;
    annotating_ = true;
    const bool saved = dialog.ShowModal();
    annotating_ = false;
    if (!saved) return;
    try {
        kinds_[row.id] = KindCellText(annotations_.Current(row.id));
    } catch (const std::exception& e) {
        ShowProblem(e);
    }
    SetStatus(texts::kAnnotationSaved);
    parts_.link.Wake();  // the annotation waits in the registry's queue now
    InvalidateRect(list_, nullptr, TRUE);
}

void TJournalWindow::CatalogueExecute() {
    if (!EnsureOpen()) return;
    TCatalogueDialog dialog(Application(), catalogueTable_, parts_.catalogueFiles);
    if (!dialog.Create(Handle())) return;
    if (dialog.ShowModal()) Reload(true);
}

void TJournalWindow::SettingsExecute() {
    TJournalSettingsDialog dialog(Application(), settings_);
    if (!dialog.Create(Handle())) return;
    const auto chosen = dialog.ShowModal();
    if (!chosen) return;
    settings_ = *chosen;
    if (!parts_.writeSettings(settings_)) SetStatus(texts::kJournalSettingsNotStored);
    std::wstring header = Widen(JournalDoseHeader(settings_.unit));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = header.data();
    SendMessageW(list_, LVM_SETCOLUMNW, static_cast<WPARAM>(TJournalColumn::Dose),
                 reinterpret_cast<LPARAM>(&column));
    columns_->Fit(Layout());  // the unit's header may be wider
    Reload(true);
}

void TJournalWindow::RegistryExecute() {
    TRegistryDialog dialog(Application(), parts_.loadRegistry(), parts_.checkRegistry,
                           parts_.saveRegistry);
    if (!dialog.Create(Handle())) return;
    if (dialog.ShowModal()) parts_.link.SettingsChanged();
    ShowLink();
}

std::vector<TReportSource> TJournalWindow::ReportSources() const {
    // The report runs on a thread of its own: it opens its own connection to the file there.
    std::vector<TReportSource> sources{
        {texts::kReportSourceHere, [open = parts_.openJournal](const TPeriod& period, TDoseUnit) {
             const std::unique_ptr<TJournalConnection> connection = open();
             return ReportOfJournal(connection->journal, period);
         }}};
    // The central registry's, with the settings stored now, when it is configured.
    for (TReportSource& source : RegistryReportSources(parts_.loadRegistry()))
        sources.push_back(std::move(source));
    return sources;
}

void TJournalWindow::ReportExecute() {
    // The registry's other rooms are asked of the server while the window is open already.
    TReportWindow::TMoreSources otherRooms;
    if (const TRegistrySettings registry = parts_.loadRegistry(); Configured(registry))
        otherRooms = [registry] { return OtherRoomSources(registry); };
    const HWND self = Handle();
    auto window = std::make_unique<TReportWindow>(
        Application(), ReportSources(), period_, settings_.unit, exportPlatform_,
        parts_.decimalSeparator(), std::move(otherRooms), [self](TReportWindow& closed) {
            PostMessageW(self, kMsgReportClosed, 0, reinterpret_cast<LPARAM>(&closed));
        });
    if (!window->Create(Handle())) return;
    window->Show();
    reports_.push_back(std::move(window));
}

void TJournalWindow::CopyDoseSheetExecute() {
    std::vector<TDoseSheetRecord> records;
    std::vector<TExamKind> catalogue;
    try {
        for (LRESULT at = -1; (at = SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(at),
                                                 LVNI_SELECTED)) >= 0;) {
            const TJournalRow* row = RowAt(static_cast<std::size_t>(at));
            if (!row) continue;
            TDoseSheetRecord record{*row, std::nullopt};
            record.annotation = annotations_.Current(row->id);
            records.push_back(std::move(record));
        }
        if (!records.empty()) catalogue = catalogueTable_.Kinds();
    } catch (const std::exception& e) {
        Application().ShowErrorText(e.what());
        return;
    }
    if (records.empty()) {
        SetStatus(texts::kDoseSheetNothing);
        return;
    }
    const TDoseSheet sheet =
        DoseSheetOf(records, catalogue, settings_.unit, formats_, parts_.decimalSeparator());
    if (!PutOnClipboard(Handle(), Widen(DoseSheetText(sheet)),
                        ClipboardHtml(DoseSheetTable(sheet)))) {
        SetStatus(texts::kDoseSheetNotCopied);
        return;
    }
    SetStatus(texts::kDoseSheetCopied + std::to_string(records.size()));
}

void TJournalWindow::ExportExecute() {
    const auto choice = exportPlatform_.ChooseFile(JournalFileName(period_));
    if (!choice) return;
    std::vector<TJournalRow> rows;
    try {
        rows = records_.Rows(period_, 0, count_);
    } catch (const std::exception& e) {
        Application().ShowErrorText(e.what());
        return;
    }
    const auto written = WriteSheetAskingAgain(
        exportPlatform_, *choice, JournalSheetIn(rows, period_, formats_, settings_.unit));
    if (!written) {
        SetStatus(texts::kStatusFileNotSaved);
        return;
    }
    SetStatus(texts::kJournalExported + std::to_string(rows.size()) + texts::kJournalExportedTo +
              *written);
}

// The list asks for a cell's text: the journal's rows are not copied into the list.
void TJournalWindow::ShowCell(LVITEMW& item) {
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    const auto index = static_cast<std::size_t>(item.iItem);
    cell_ = Widen(item.iSubItem == kKindColumn
                      ? KindText(index)
                      : CellText(index, static_cast<TJournalColumn>(item.iSubItem)));
    if (item.iSubItem == static_cast<int>(TJournalColumn::Dose)) {
        const TJournalRow* row = RowAt(index);
        cell_ = row ? Widen(JournalDoseText(*row, settings_.unit)) : std::wstring();
    }
    wcsncpy(item.pszText, cell_.c_str(), static_cast<std::size_t>(item.cchTextMax) - 1);
    item.pszText[item.cchTextMax - 1] = L'\0';
}

// A row whose record raised an alert is drawn in red on pink: its cells keep the texts the
// export and the clipboard take, and the tip names the levels.
LRESULT TJournalWindow::AlertRowColours(NMLVCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const TJournalRow* row = RowAt(static_cast<std::size_t>(draw.nmcd.dwItemSpec));
    if (!row || alertMarks_.count(row->id) == 0) return CDRF_DODEFAULT;
    draw.clrText = RGB(176, 0, 0);
    draw.clrTextBk = RGB(255, 224, 224);
    return CDRF_NEWFONT;
}

// The levels a marked row's record went over.
void TJournalWindow::ShowTip(NMLVGETINFOTIPW& tip) {
    const std::wstring mark = Widen(AlertMark(static_cast<std::size_t>(tip.iItem)));
    if (mark.empty() || !tip.pszText || tip.cchTextMax <= 0) return;
    wcsncpy(tip.pszText, mark.c_str(), static_cast<std::size_t>(tip.cchTextMax) - 1);
    tip.pszText[tip.cchTextMax - 1] = L'\0';
}

LRESULT TJournalWindow::OnNotify(const NMHDR& header) {
    // A column's edge dragged by the operator: that width stays, at every start.
    if (columns_ && columns_->Dragged(header, Layout())) {
        (void)parts_.stored.Write(kStoredColumnWidths, ColumnWidthsText(columns_->DraggedWidths()));
        return 0;
    }
    if (header.hwndFrom == list_) {
        switch (header.code) {
            case LVN_GETDISPINFOW:
                ShowCell(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header))->item);
                return 0;
            case NM_CUSTOMDRAW:
                return AlertRowColours(
                    *reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
            case LVN_GETINFOTIPW:
                ShowTip(*reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
                return 0;
            case LVN_ODCACHEHINT: {
                const auto& hint = reinterpret_cast<const NMLVCACHEHINT&>(header);
                Fetch(static_cast<std::size_t>(std::max(0, hint.iFrom)),
                      static_cast<std::size_t>(std::max(0, hint.iTo)));
                return 0;
            }
            case NM_DBLCLK:
                if (reinterpret_cast<const NMITEMACTIVATE&>(header).iItem >= 0) AnnotateExecute();
                return 0;
            case NM_RETURN:
                AnnotateExecute();
                return 0;
            default:
                return 0;
        }
    }
    if ((header.hwndFrom == from_ || header.hwndFrom == to_) && header.code == DTN_DATETIMECHANGE) {
        PeriodFromPickers();
    }
    // The status line's offer is taken with a click on it.
    if (header.hwndFrom == status_ && header.code == NM_CLICK) ShowOutsideExecute();
    return 0;
}

LRESULT TJournalWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            if (LOWORD(wParam) == kIdExport && HIWORD(wParam) == BN_CLICKED) {
                ExportExecute();
            } else if (LOWORD(wParam) == kIdSettings && HIWORD(wParam) == BN_CLICKED) {
                SettingsExecute();
            } else if (LOWORD(wParam) == kIdCatalogue && HIWORD(wParam) == BN_CLICKED) {
                CatalogueExecute();
            } else if (LOWORD(wParam) == kIdRegistry && HIWORD(wParam) == BN_CLICKED) {
                RegistryExecute();
            } else if (LOWORD(wParam) == kIdReport) {
                ReportExecute();
            } else if (LOWORD(wParam) == kIdCopySheet) {
                CopyDoseSheetExecute();
            } else if (LOWORD(wParam) == kIdAlertsOnly) {
                AlertsOnlyExecute();
            } else if (LOWORD(wParam) == kIdShowOutside) {
                ShowOutsideExecute();
            } else if (const auto* quick = std::find(std::begin(kQuickPeriodIds),
                                                     std::end(kQuickPeriodIds), LOWORD(wParam));
                       quick != std::end(kQuickPeriodIds)) {
                QuickPeriodExecute(
                    static_cast<TQuickPeriod>(quick - std::begin(kQuickPeriodIds)));
            } else if (LOWORD(wParam) == IDOK) {
                AnnotateExecute();  // Enter, as the dialog keys turn it into the default command
            } else if (LOWORD(wParam) == IDCANCEL) {
                DestroyWindow(Handle());  // Esc closes the window, as a dialog's
            }
            return 0;
        case WM_TIMER:
            if (wParam == kRefreshTimer) Refresh();
            return 0;
        case kMsgReportClosed:
            std::erase_if(reports_, [lParam](const std::unique_ptr<TReportWindow>& report) {
                return reinterpret_cast<LPARAM>(report.get()) == lParam;
            });
            return 0;
        case kMsgBringToFront:
            if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
            SetForegroundWindow(Handle());
            return 0;
        case WM_CLOSE:
            DestroyWindow(Handle());
            return 0;
        case WM_DESTROY:
            KillTimer(Handle(), kRefreshTimer);
            Application().RemoveDialogWindow(Handle());
            Application().Terminate();
            return 0;
        default:
            return DefaultProc(message, wParam, lParam);
    }
}

TJournalWindowHost::TJournalWindowHost(TJournalWindowParts parts) : parts_(std::move(parts)) {}

TJournalWindowHost::~TJournalWindowHost() {
    Close();
}

void TJournalWindowHost::Show(const RegionalFormats& formats) {
    if (const HWND window = window_.load()) {
        PostMessageW(window, kMsgBringToFront, 0, 0);
        // This thread has the keyboard (the shortcut or the menu came to it): it may hand the
        // foreground on.
        SetForegroundWindow(window);
        return;
    }
    Join();  // a window closed earlier: its thread has ended or is ending
    formats_ = formats;
    ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (!thread_ || !ready_) return;
    const HANDLE waits[] = {ready_.Get(), thread_.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

void TJournalWindowHost::Close() {
    if (const HWND window = window_.load()) PostMessageW(window, WM_CLOSE, 0, 0);
    Join();
}

void TJournalWindowHost::Join() {
    if (!thread_) return;
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
}

DWORD WINAPI TJournalWindowHost::ThreadMain(void* self) {
    static_cast<TJournalWindowHost*>(self)->Run();
    return 0;
}

void TJournalWindowHost::Run() {
    struct TReady {
        HANDLE event;
        ~TReady() { SetEvent(event); }
    } ready{ready_.Get()};
    try {
        RunWindow(ready.event);
    } catch (...) {
        object_.store(nullptr);
        window_.store(nullptr);
    }
}

void TJournalWindowHost::RunWindow(HANDLE ready) {
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_DATE_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                      ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    // The objects bound to this thread, made here and only here. The save dialog needs COM on
    // the thread that shows it; made at the first export.
    win::TComApartmentOnFirstUse com;
    TApplication application;
    application.SetTitle(Widen(texts::kJournalWindowCaption));
    if (parts_.messageBox) application.SetMessageBoxFunction(parts_.messageBox);
    const std::unique_ptr<TJournalConnection> connection = parts_.openJournal();
    TFileExportPlatform platform(application, formats_, parts_.stored, [&com] { com.Enter(); });
    if (parts_.saveDialog) platform.SetSaveDialogFunction(parts_.saveDialog);
    TJournalWindowParts parts = parts_;
    // The catalogue's dialogs need COM on this thread, as the export's does.
    parts.catalogueFiles = [&com, files = parts_.catalogueFiles](OPENFILENAMEW& dialog, bool save) {
        com.Enter();
        return files(dialog, save);
    };
    {
        TJournalWindow window(application, connection->journal, platform, parts, formats_);
        if (window.Create()) {
            window_.store(window.Handle());
            object_.store(&window);
            SetEvent(ready);
            application.Run();
        }
        object_.store(nullptr);
        window_.store(nullptr);
    }
    // The window, then its connection, then COM: in the reverse order of their making.
}

}  // namespace virel::app
