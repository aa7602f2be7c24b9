#include "app/windows/ReportWindow.h"

#include <commctrl.h>

#include "app/controls/Controls.h"
#include "app/platform/FileExportPlatform.h"
#include "core/Utf16.h"
#include "forms/JournalView.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

// Posted by the report thread when its outcome is there to take.
constexpr UINT kMsgReportDone = WM_APP + 21;
constexpr UINT kMsgMoreSources = WM_APP + 22;

// A thread of a window that is going: waited for when it is done, else left to run out (it
// holds only its own copies and its hand-back, and posts to a window that is gone).
void LetGo(std::thread& thread, bool running) {
    if (!thread.joinable()) return;
    if (running) {
        thread.detach();
    } else {
        thread.join();
    }
}

constexpr TDoseUnit kUnits[] = {TDoseUnit::Gy, TDoseUnit::cGy, TDoseUnit::mGy};

// The columns' widths at 96 dpi: the kind's name wide, the figures narrower.
constexpr int kKindWidths[] = {170, 70, 90, 80, 80, 70, 80, 80};
constexpr int kMonthWidths[] = {120, 140, 200};
constexpr int kAuditWidths[] = {170, 80, 90, 110, 80, 90, 110};
constexpr int kRoomsAuditWidths[] = {150, 100, 80, 90, 110, 80, 90, 110};
constexpr int kLevelsWidths[] = {170, 170, 330};

// The columns' widths of a table by its name.
std::pair<const int*, std::size_t> WidthsOf(const std::string& table) {
    if (table == kKindsSheet) return {kKindWidths, std::size(kKindWidths)};
    if (table == kAuditSheet) return {kAuditWidths, std::size(kAuditWidths)};
    if (table == kRoomsAuditSheet) return {kRoomsAuditWidths, std::size(kRoomsAuditWidths)};
    if (table == kLocalLevelsSheet) return {kLevelsWidths, std::size(kLevelsWidths)};
    return {kMonthWidths, std::size(kMonthWidths)};
}

void SetPicker(HWND picker, const DateTime& day) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(day.year);
    time.wMonth = static_cast<WORD>(day.month);
    time.wDay = static_cast<WORD>(day.day);
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

DateTime DayOfPicker(HWND picker) {
    SYSTEMTIME time{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
        return {};
    return {time.wYear, time.wMonth, time.wDay, 0, 0, 0, 0};
}

void SetText(HWND control, const std::string& text) {
    SetWindowTextW(control, Widen(text).c_str());
}

HWND Label(TDpiLayout& layout, HWND parent, const std::string& text, TBounds at, int id = -1) {
    return CreateControl(layout, L"STATIC", Widen(text).c_str(), SS_LEFT, at, parent, id);
}

HWND List(TDpiLayout& layout, HWND parent, TBounds at, int id) {
    const HWND list = CreateControl(layout, WC_LISTVIEWW, L"",
                                    LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                        LVS_NOSORTHEADER | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL,
                                    at, parent, id, WS_EX_CLIENTEDGE);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    return list;
}

}  // namespace

TReportWindow::TReportWindow(TApplication& application, std::vector<TReportSource> sources,
                             const TPeriod& period, TDoseUnit unit, IFileExportPlatform& platform,
                             char decimalSeparator, TMoreSources moreSources, TClosed closed)
    : TModalWindow(application),
      sources_(std::move(sources)),
      period_(period),
      unit_(unit),
      platform_(platform),
      decimalSeparator_(decimalSeparator),
      closed_(std::move(closed)),
      moreSources_(std::move(moreSources)) {}

TReportWindow::~TReportWindow() {
    // What the threads would hand back is not wanted any more.
    LetGo(worker_, working_);
    LetGo(moreWorker_, lookingForMore_);
    DestroyHandle();
}

HWND TReportWindow::Create(HWND owner) {
    if (!CreateModalHandle(kClassName, Widen(texts::kReportCaption).c_str(), kClientWidth,
                           kClientHeight, owner, WS_CLIPCHILDREN))
        return nullptr;
    CreateControls();
    Request();
    if (moreSources_) {
        lookingForMore_ = true;
        const HWND window = Handle();
        moreWorker_ = std::thread([handBack = found_, window, find = moreSources_] {
            std::vector<TReportSource> found;
            try {
                found = find();
            } catch (const std::exception&) {
            }
            handBack->Put(std::move(found));
            PostMessageW(window, kMsgMoreSources, 0, 0);
        });
    }
    return Handle();
}

void TReportWindow::CreateControls() {
    TDpiLayout& layout = Layout();
    const HWND self = Handle();
    Label(layout, self, texts::kReportSource, {8, 12, 60, 13});
    source_ = CreateControl(layout, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                            {70, 8, 150, 120}, self, kIdSource);
    for (const TReportSource& source : sources_)
        SendMessageW(source_, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Widen(source.name).c_str()));
    SendMessageW(source_, CB_SETCURSEL, 0, 0);
    Label(layout, self, texts::kJournalPeriodFrom, {232, 12, 14, 13});
    from_ = CreateControl(layout, DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT | WS_TABSTOP,
                          {248, 8, 100, 21}, self, kIdFrom);
    Label(layout, self, texts::kJournalPeriodTo, {356, 12, 18, 13});
    to_ = CreateControl(layout, DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT | WS_TABSTOP,
                        {376, 8, 100, 21}, self, kIdTo);
    SetPicker(from_, period_.from);
    SetPicker(to_, period_.to);
    Label(layout, self, texts::kReportUnit, {484, 12, 106, 13});
    unitBox_ = CreateControl(layout, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                             {592, 8, 140, 120}, self, kIdUnit);
    for (const TDoseUnit unit : kUnits)
        SendMessageW(unitBox_, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Widen(DoseUnitText(unit)).c_str()));
    SendMessageW(unitBox_, CB_SETCURSEL, static_cast<WPARAM>(unit_), 0);

    headline_ = CreateControl(layout, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, {8, 38, 724, 13}, self,
                              kIdHeadline);
    Label(layout, self, kKindsSheet, {8, 58, 724, 13}, kIdKindsLabel);
    kinds_ = List(layout, self, {8, 74, 724, 170}, kIdKinds);
    tabs_ = CreateControl(layout, WC_TABCONTROLW, L"", WS_TABSTOP, {8, 250, 724, 22}, self,
                          kIdTables);
    months_ = List(layout, self, {8, 272, 724, 158}, kIdMonths);
    saveLevels_ = CreateControl(layout, L"BUTTON", Widen(texts::kReportSaveLevels).c_str(),
                                BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, {420, 438, 150, 25},
                                self, kIdSaveLevels);
    kindColumns_.emplace(kinds_, std::vector<int>(std::begin(kKindWidths), std::end(kKindWidths)));
    monthColumns_.emplace(months_,
                          std::vector<int>(std::begin(kMonthWidths), std::end(kMonthWidths)));
    layout.Keep([this](const TDpiLayout& at) {
        kindColumns_->Fit(at);
        monthColumns_->Fit(at);
    });
    save_ =
        CreateControl(layout, L"BUTTON", Widen(texts::kReportSave).c_str(),
                      BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, {576, 438, 75, 25}, self, kIdSave);
    CreateControl(layout, L"BUTTON", Widen(texts::kReportClose).c_str(), BS_PUSHBUTTON | WS_TABSTOP,
                  {657, 438, 75, 25}, self, IDCANCEL);
}

void TReportWindow::Show() {
    CentreOnOwner();
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(source_);
}

void TReportWindow::Close() {
    ShowWindow(Handle(), SW_HIDE);
    if (closed_) closed_(*this);
}

void TReportWindow::Request() {
    const LRESULT source = SendMessageW(source_, CB_GETCURSEL, 0, 0);
    const LRESULT unit = SendMessageW(unitBox_, CB_GETCURSEL, 0, 0);
    unit_ = unit >= 0 && unit < 3 ? kUnits[unit] : TDoseUnit::Gy;
    period_ = PeriodBetween(DayOfPicker(from_), DayOfPicker(to_));
    if (source < 0 || static_cast<std::size_t>(source) >= sources_.size()) return;
    if (working_) {
        again_ = true;
        return;
    }
    Start();
}

void TReportWindow::Start() {
    Join();
    const TReportSource& source =
        sources_[static_cast<std::size_t>(SendMessageW(source_, CB_GETCURSEL, 0, 0))];
    working_ = true;
    again_ = false;
    EnableWindow(save_, FALSE);
    EnableWindow(saveLevels_, FALSE);
    SetText(headline_, texts::kReportComputing);
    const HWND window = Handle();
    // The thread gets copies: the window may change its controls meanwhile.
    worker_ = std::thread(
        [handBack = done_, window, compute = source.report, period = period_, unit = unit_] {
            TReportOutcome outcome;
            try {
                outcome = compute(period, unit);
            } catch (const std::exception& e) {
                outcome.report.reset();
                outcome.error = e.what();
            }
            handBack->Put(std::move(outcome));
            PostMessageW(window, kMsgReportDone, 0, 0);
        });
    reportUnit_ = unit_;
}

void TReportWindow::Finished() {
    const std::optional<TReportOutcome> outcome = done_->Take();
    if (!outcome) return;
    Join();
    working_ = false;
    if (again_) {
        Start();  // what the controls show now; this outcome is out of date
        return;
    }
    if (!outcome->report) {
        report_.reset();
        tables_.clear();
        SendMessageW(kinds_, LVM_DELETEALLITEMS, 0, 0);
        SendMessageW(months_, LVM_DELETEALLITEMS, 0, 0);
        SetText(headline_, texts::kReportFailed + outcome->error);
        return;
    }
    report_ = std::move(outcome->report);
    ShowReport();
}

void TReportWindow::ShowReport() {
    tables_ = ReportViewTables(ReportBook(*report_, reportUnit_), decimalSeparator_);
    Fill(kinds_, tables_[0]);
    ShowTabs();
    SetText(headline_, ReportHeadline(*report_));
    EnableWindow(save_, TRUE);
    EnableWindow(saveLevels_, OffersLocalLevels(*report_) ? TRUE : FALSE);
}

void TReportWindow::ShowTabs() {
    const LRESULT chosen = SendMessageW(tabs_, TCM_GETCURSEL, 0, 0);
    SendMessageW(tabs_, TCM_DELETEALLITEMS, 0, 0);
    for (std::size_t t = 1; t < tables_.size(); ++t) {
        std::wstring name = Widen(tables_[t].name);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = name.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, t - 1, reinterpret_cast<LPARAM>(&item));
    }
    const LRESULT count = SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0);
    SendMessageW(tabs_, TCM_SETCURSEL, chosen >= 0 && chosen < count ? chosen : 0, 0);
    ShowChosenTable();
}

void TReportWindow::ShowChosenTable() {
    const LRESULT chosen = SendMessageW(tabs_, TCM_GETCURSEL, 0, 0);
    if (chosen < 0 || static_cast<std::size_t>(chosen) + 1 >= tables_.size()) return;
    Fill(months_, tables_[static_cast<std::size_t>(chosen) + 1]);
}

void TReportWindow::Fill(HWND list, const TReportViewTable& table) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    while (SendMessageW(list, LVM_DELETECOLUMN, 0, 0)) {
    }
    // The lower list shows one table after another: each its own designed widths, and what
    // the operator dragged is kept while the same table stays shown.
    if (list == months_ && table.name != monthsTable_) {
        const auto [widths, known] = WidthsOf(table.name);
        monthColumns_.emplace(months_, std::vector<int>(widths, widths + known));
        monthsTable_ = table.name;
    }
    for (std::size_t c = 0; c < table.headers.size(); ++c) {
        std::wstring header = Widen(table.headers[c]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.fmt = c > 0 && table.numbers[c] ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.pszText = header.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    (list == kinds_ ? kindColumns_ : monthColumns_)->Fit(Layout());
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
            std::wstring text = Widen(table.rows[r][c]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(r);
            item.iSubItem = static_cast<int>(c);
            item.pszText = text.data();
            SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, r,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void TReportWindow::AddSources() {
    std::optional<TSources> found = found_->Take();
    if (!found) return;
    if (moreWorker_.joinable()) moreWorker_.join();
    lookingForMore_ = false;
    // Added at the end: the chosen entry keeps its place.
    for (TReportSource& source : *found) {
        SendMessageW(source_, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Widen(source.name).c_str()));
        sources_.push_back(std::move(source));
    }
}

void TReportWindow::Join() {
    if (worker_.joinable()) worker_.join();
}

void TReportWindow::SaveExecute() {
    if (!report_) return;
    const TBook book = ReportBook(*report_, reportUnit_);
    auto choice = platform_.ChooseFile(ReportFileName(report_->period));
    while (choice) {
        const auto failure = WriteReportFile(Widen(choice->path), choice->type, book);
        if (!failure) {
            SetText(headline_, texts::kReportSaved + choice->path);
            return;
        }
        if (!platform_.AskForAnotherName(choice->path, *failure)) break;
        choice = platform_.ChooseFile(ReportFileName(report_->period));
    }
    SetText(headline_, texts::kReportNotSaved);
}

void TReportWindow::SaveLevelsExecute() {
    if (!report_ || !OffersLocalLevels(*report_)) return;
    const std::string csv = LocalLevelsCatalogueCsv(report_->rooms->levels);
    auto choice = platform_.ChooseFile(LocalLevelsFileName(report_->period));
    while (choice) {
        const std::string path = CsvPathOf(choice->path);
        const auto failure = WriteBytesFile(Widen(path), csv);
        if (!failure) {
            SetText(headline_, texts::kReportLevelsSaved + path);
            return;
        }
        if (!platform_.AskForAnotherName(path, *failure)) break;
        choice = platform_.ChooseFile(LocalLevelsFileName(report_->period));
    }
    SetText(headline_, texts::kReportLevelsNotSaved);
}

LRESULT TReportWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (kindColumns_->Dragged(header, Layout()) || monthColumns_->Dragged(header, Layout()))
                return 0;
            if ((header.hwndFrom == from_ || header.hwndFrom == to_) &&
                header.code == DTN_DATETIMECHANGE)
                Request();
            if (header.hwndFrom == tabs_ && header.code == TCN_SELCHANGE) ShowChosenTable();
            return 0;
        }
        case WM_COMMAND:
            if ((LOWORD(wParam) == kIdSource || LOWORD(wParam) == kIdUnit) &&
                HIWORD(wParam) == CBN_SELCHANGE) {
                Request();
            } else if (LOWORD(wParam) == kIdSave && HIWORD(wParam) == BN_CLICKED) {
                SaveExecute();
            } else if (LOWORD(wParam) == kIdSaveLevels && HIWORD(wParam) == BN_CLICKED) {
                SaveLevelsExecute();
            } else if (LOWORD(wParam) == IDCANCEL) {
                Close();  // Esc and "Закрыть"
            }
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case kMsgReportDone:
            Finished();
            return 0;
        case kMsgMoreSources:
            AddSources();
            return 0;
        default:
            break;
    }
    return TModalWindow::WindowProc(message, wParam, lParam);
}

}  // namespace virel::app
