#include "app/windows/Face.h"

#include <commctrl.h>
#include <windowsx.h>

#include <stdexcept>
#include <vector>

#include "app/frame/Application.h"
#include "app/platform/SerialPorts.h"
#include "app/windows/AboutBox.h"
#include "app/windows/ProgressBar.h"
#include "app/windows/Resource.h"
#include "app/windows/Texts.h"
#include "core/Utf16.h"
#include "core/meter/PortChoice.h"

namespace virel::app {

namespace {

enum TControlId : int {
    kIdGroupBox1 = 1001,
    kIdComPort,
    kIdSpeed,
    kIdGroupBox4,
    kIdReadToFile,
    kIdAutoTime,
    kIdGroupBox2,
    kIdDevNumber,
    kIdMeasureNumber,
    kIdTime,
    kIdDose,
    kIdGroupBox3,
    kIdBitBtn1,
    kIdPrintOnDevice,
    kIdBitBtn3,
    kIdBitBtn4,
    kIdArchiveNumber,
    kIdBitBtn2,
    kIdCheckBox1,
    kIdStatusBar,
};

constexpr UINT_PTR kTimerId = 1;
constexpr int kLabelHeight = 13;
constexpr int kLabelSpacing = 3;  // between a labelled edit and its label above

// Which action a button runs.
int ActionOfControl(int id) {
    switch (id) {
        case kIdBitBtn1:
            return kActPrint;
        case kIdBitBtn2:
            return kActReadToExcel;
        case kIdBitBtn3:
            return kActClear;
        case kIdBitBtn4:
            return kActReadArcN;
        default:
            return 0;
    }
}

HBITMAP LoadBitmapResource(int id) {
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

}  // namespace

TFace::TFace(TApplication& application, TAboutBox& aboutBox, TFProgressBar& progressBar,
             const TFaceCommandsFactory& makeCommands, std::function<void()> openJournal)
    : TCustomWindow(application),
      aboutBox_(aboutBox),
      progressBar_(progressBar),
      presentPorts_(PresentSerialPorts),
      logo_(LoadBitmapResource(IDB_LOGO)),
      glyph_(LoadBitmapResource(IDB_GLYPH)),
      image_(application, logo_.Get(), TFit::Proportional),
      openJournal_(std::move(openJournal)),
      commands_(makeCommands(*this)) {
    // A missing command is a wiring fault, found at start.
    if (!openJournal_) throw std::invalid_argument("TFace: the journal's command is missing");
}

TFace::~TFace() {
    DestroyHandle();
}

HWND TFace::Create() {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    HMENU menu = CreateMenu();
    CreateHandle(
        {L"TFace", LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
        kAppTitle, style, 0, CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr,
        menu);
    if (!Handle()) {
        DestroyMenu(menu);
        return nullptr;
    }
    CreateMenus();
    FitClientArea();
    CreateControls();
    Application().SetMainWindow(Handle(), shortcuts_.Get());
    Application().AddDialogWindow(Handle());
    SetTimer(Handle(), kTimerId, kTimerInterval, nullptr);
    return Handle();
}

void TFace::CreateMenus() {
    const std::wstring tab = L"\t";
    HMENU service = CreatePopupMenu();
    AppendMenuW(service, MF_STRING, kSetTime, (kSetTimeCaption + tab + L"Ctrl+T").c_str());
    AppendMenuW(service, MF_STRING, kActReadToExcel,
                (kReadToExcelCaption + tab + L"Ctrl+R").c_str());
    AppendMenuW(service, MF_STRING, kActSaveToFile, (kSaveToFileCaption + tab + L"Ctrl+S").c_str());
    AppendMenuW(service, MF_STRING, kActHarvest, (kHarvestCaption + tab + L"Ctrl+H").c_str());
    AppendMenuW(service, MF_STRING, kActJournal, (kJournalCaption + tab + L"Ctrl+J").c_str());
    AppendMenuW(service, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(service, MF_STRING, kActExit, (kExitCaption + tab + L"Ctrl+X").c_str());
    HMENU bar = GetMenu(Handle());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(service), kMenuService);
    // A menu-bar entry has no room for a shortcut text; Ctrl+A works all the same.
    AppendMenuW(bar, MF_STRING, kActAbout, kAboutCaption);
    DrawMenuBar(Handle());

    popupMenu_.Reset(CreatePopupMenu());
    HMENU popup = popupMenu_.Get();
    AppendMenuW(popup, MF_STRING, kActAbout, (kAboutCaption + tab + L"Ctrl+A").c_str());
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup, MF_STRING, kSetTime, (kSetTimeCaption + tab + L"Ctrl+T").c_str());
    AppendMenuW(popup, MF_STRING, kActReadToExcel, (kReadToExcelCaption + tab + L"Ctrl+R").c_str());
    AppendMenuW(popup, MF_STRING, kActSaveToFile, (kSaveToFileCaption + tab + L"Ctrl+S").c_str());
    AppendMenuW(popup, MF_STRING, kActHarvest, (kHarvestCaption + tab + L"Ctrl+H").c_str());
    AppendMenuW(popup, MF_STRING, kActJournal, (kJournalCaption + tab + L"Ctrl+J").c_str());
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup, MF_STRING, kActExit, (kExitCaption + tab + L"Ctrl+X").c_str());

    ACCEL keys[] = {
        {FVIRTKEY | FCONTROL, 'P', kActPrint},   {FVIRTKEY | FCONTROL, 'R', kActReadToExcel},
        {FVIRTKEY | FCONTROL, 'A', kActAbout},   {FVIRTKEY | FCONTROL, 'X', kActExit},
        {FVIRTKEY | FCONTROL, 'T', kSetTime},    {FVIRTKEY | FCONTROL, 'S', kActSaveToFile},
        {FVIRTKEY | FCONTROL, 'H', kActHarvest}, {FVIRTKEY | FCONTROL, 'J', kActJournal},
    };
    shortcuts_.Reset(CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))));
}

HWND TFace::CreateLabeledEdit(HWND parent, const wchar_t* label, int x, int y, int id,
                              HWND& labelHandle) {
    labelHandle = CreateAutoSizeLabel(Layout(), label, x, y - kLabelHeight - kLabelSpacing,
                                      kLabelHeight, parent);
    return CreateControl(Layout(), L"EDIT", L"", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP,
                         {x, y, 137, 21}, parent, id, WS_EX_CLIENTEDGE);
}

void TFace::CreateControls() {
    toolTips_.Create(Layout(), Handle());
    // Creation order is the Tab order (it counts within each group box).
    CreatePortGroup();
    CreateServiceGroup();
    CreateCurrentGroup();
    CreateLastGroup();
    const HWND self = Handle();
    checkBox1_ = CreateControl(Layout(), L"BUTTON", kCheckBox1, BS_AUTOCHECKBOX | WS_TABSTOP,
                               {8, 376, 369, 17}, self, kIdCheckBox1);
    image_.Create(Layout(), self, {184, 8, 185, 81});
    statusBar_ = CreateControl(Layout(), STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN,
                               {0, 402, 384, 19}, self, kIdStatusBar);
    const int wholeWidth = -1;  // one panel from the left edge to the right edge
    SendMessageW(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&wholeWidth));
    AddToolTips();
    RefreshPortList();
    focused_ = comPort_.Handle();
}

void TFace::CreatePortGroup() {
    groupBox1_ =
        CreateGroupBox(Layout(), kGroupComPort, {8, 8, 161, 81}, Handle(), Handle(), kIdGroupBox1);
    comPort_.Attach(CreateComboBox(Layout(), {8, 16, 145, 21}, groupBox1_, kIdComPort,
                                   {L"COM1", L"COM2", L"COM3", L"COM4"}));
    speed_.Attach(
        CreateComboBox(Layout(), {8, 48, 145, 21}, groupBox1_, kIdSpeed, {L"4800", L"9600"}));
}

void TFace::CreateServiceGroup() {
    groupBox3_ = CreateGroupBox(Layout(), kGroupService, {184, 184, 193, 185}, Handle(), Handle(),
                                kIdGroupBox3);
    bitBtn2_.Create(Layout(), kReadToExcelCaption, {8, 152, 177, 25}, groupBox3_, kIdBitBtn2,
                    glyph_.Get());
    bitBtn1_.Create(Layout(), kPrintCaption, {8, 16, 177, 25}, groupBox3_, kIdBitBtn1,
                    glyph_.Get());
    printOnDevice_.Attach(CreateControl(Layout(), L"BUTTON", kPrintOnDevice,
                                        BS_AUTOCHECKBOX | WS_TABSTOP, {8, 48, 169, 17}, groupBox3_,
                                        kIdPrintOnDevice));
    bitBtn3_.Create(Layout(), kClearCaption, {8, 72, 177, 25}, groupBox3_, kIdBitBtn3,
                    glyph_.Get());
    bitBtn4_.Create(Layout(), kReadArcNCaption, {8, 112, 121, 25}, groupBox3_, kIdBitBtn4,
                    glyph_.Get());
    CreateSpinEdit(archiveNumber_, {136, 114, 49, 21}, groupBox3_, kIdArchiveNumber);
    archiveNumber_.SetMinValue(0);
    archiveNumber_.SetMaxValue(255);
    archiveNumber_.SetText(L"0");
}

void TFace::CreateCurrentGroup() {
    groupBox4_ =
        CreateGroupBox(Layout(), kGroupCurrent, {8, 96, 369, 81}, Handle(), Handle(), kIdGroupBox4);
    readToFile_.Attach(CreateControl(Layout(), L"BUTTON", kReadToFile, BS_AUTOCHECKBOX | WS_TABSTOP,
                                     {16, 24, 321, 17}, groupBox4_, kIdReadToFile));
    CreateSpinEdit(autoTime_, {16, 48, 81, 21}, groupBox4_, kIdAutoTime);
    autoTime_.SetMinValue(5);
    autoTime_.SetMaxValue(1000000000);
    autoTime_.SetValue(60);
    label3_ = CreateControl(Layout(), L"STATIC", kLabelAutoTime, SS_LEFT | SS_NOPREFIX,
                            {112, 48, 193, 13}, groupBox4_, -1);
}

void TFace::CreateSpinEdit(TSpinEdit& field, TBounds design, HWND parent, int id) {
    const TBounds at = Layout().Bounds(design);
    field.SetDpi(Layout().Dpi());
    field.Create(parent, id, at.x, at.y, at.width, at.height);
    SetControlFont(field.Handle(), Layout().Font());
    Layout().Keep([&field, design](const TDpiLayout& layout) {
        field.SetDpi(layout.Dpi());
        SetControlFont(field.Handle(), layout.Font());
        MoveControl(field.Handle(), layout.Bounds(design));
    });
}

void TFace::CreateLastGroup() {
    groupBox2_ =
        CreateGroupBox(Layout(), kGroupLast, {8, 184, 169, 185}, Handle(), Handle(), kIdGroupBox2);
    devNumber_ =
        CreateLabeledEdit(groupBox2_, kLabelDevNumber, 16, 32, kIdDevNumber, devNumberLabel_);
    measureNumber_ = CreateLabeledEdit(groupBox2_, kLabelMeasureNumber, 16, 72, kIdMeasureNumber,
                                       measureNumberLabel_);
    time_ = CreateLabeledEdit(groupBox2_, kLabelTime, 16, 112, kIdTime, timeLabel_);
    dose_ = CreateLabeledEdit(groupBox2_, kLabelDose, 16, 152, kIdDose, doseLabel_);
}

void TFace::AddToolTips() {
    // A button shows its action's hint; a combo box's edit part shows the combo's.
    toolTips_.Add(speed_.Handle(), kHintSpeed);
    if (HWND edit = FindWindowExW(speed_.Handle(), nullptr, L"EDIT", nullptr)) {
        toolTips_.Add(edit, kHintSpeed);
    }
    toolTips_.Add(readToFile_.Handle(), kHintToFile);
    // A spin edit shows its hint over the field and over its spin button.
    toolTips_.Add(autoTime_.Handle(), kHintAutoTime);
    toolTips_.Add(autoTime_.ButtonHandle(), kHintAutoTime);
    toolTips_.Add(measureNumber_, kHintMeasureNumber);
    toolTips_.Add(time_, kHintTime);
    toolTips_.Add(bitBtn1_.Handle(), kPrintHint);
    toolTips_.Add(bitBtn3_.Handle(), kClearHint);
    toolTips_.Add(bitBtn4_.Handle(), kReadArcNHint);
    toolTips_.Add(archiveNumber_.Handle(), kHintArchiveNumber);
    toolTips_.Add(archiveNumber_.ButtonHandle(), kHintArchiveNumber);
    toolTips_.Add(bitBtn2_.Handle(), kReadToExcelHint);
    toolTips_.Add(checkBox1_, kHintToFile);
}

void TFace::Show() {
    if (IsWindowVisible(Handle())) return;
    if (OnShow) {
        // A failing restore must not keep the window from appearing.
        try {
            OnShow();
        } catch (...) {
            Application().HandleException();
        }
    }
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
    SetForegroundWindow(Handle());
    if (focused_) SetFocus(focused_);
}

void TFace::Close() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(canClose);
    if (canClose) Application().Terminate();
}

void TFace::actAboutExecute() {
    aboutBox_.ShowModal();
}

void TFace::actReadToExcelExecute() {
    commands_.ReadToExcelExecute(Choices());
}

void TFace::actSaveToFileExecute() {
    commands_.SaveToFileExecute(Choices());
}

void TFace::actHarvestExecute() {
    commands_.HarvestExecute(Choices());
}

void TFace::actJournalExecute() {
    openJournal_();
}

void TFace::actExitExecute() {
    Close();
}

void TFace::actPrintExecute() {
    commands_.PrintExecute(Choices());
}

void TFace::actClearExecute() {
    commands_.ClearExecute(Choices());
}

void TFace::actReadArcNExecute() {
    commands_.ReadArcNExecute(Choices(), Narrow(archiveNumber_.Text()));
}

void TFace::TimerTimer() {
    static_cast<void>(
        commands_.TimerTimer({readToFile_.Checked(), autoTime_.IntValue()}, Choices()));
}

TFaceChoices TFace::Choices() const {
    return {Narrow(comPort_.Text()), Narrow(speed_.Text()), printOnDevice_.Checked()};
}

void TFace::ExecuteAction(int id) {
    // While the file export reads, its keys and menu entries reach nothing that talks to the
    // meter (a reset between two archive reads would empty the archive being read).
    const bool talksToMeter = id == kActPrint || id == kActClear || id == kActReadArcN ||
                              id == kActReadToExcel || id == kActSaveToFile || id == kActHarvest;
    if (talksToMeter && !meterActionsEnabled_) return;
    switch (id) {
        case kActAbout:
            actAboutExecute();
            break;
        case kActReadToExcel:
            actReadToExcelExecute();
            break;
        case kActSaveToFile:
            actSaveToFileExecute();
            break;
        case kActHarvest:
            actHarvestExecute();
            break;
        case kActJournal:
            actJournalExecute();  // reads the journal only: also while an export reads
            break;
        case kActExit:
            actExitExecute();
            break;
        case kActPrint:
            actPrintExecute();
            break;
        case kActClear:
            actClearExecute();
            break;
        case kActReadArcN:
            actReadArcNExecute();
            break;
        default:
            break;  // kSetTime: the program does not set the meter's clock
    }
}

void TFace::SetStatusText(const std::string& text) {
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void TFace::SetSpeedText(const std::string& text) {
    speed_.SetText(Widen(text));
}

std::string TFace::StatusText() const {
    const auto length = LOWORD(SendMessageW(statusBar_, SB_GETTEXTLENGTHW, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(statusBar_, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Narrow(text);
}

void TFace::ShowRecord(const RecordTexts& texts) {
    SetWindowTextW(devNumber_, Widen(texts.devNumber).c_str());
    SetWindowTextW(measureNumber_, Widen(texts.measureNumber).c_str());
    SetWindowTextW(time_, Widen(texts.time).c_str());
    SetWindowTextW(dose_, Widen(texts.dose).c_str());
}

void TFace::SetMeterActionsEnabled(bool enabled) {
    meterActionsEnabled_ = enabled;
    for (const TBitBtn* button : {&bitBtn1_, &bitBtn2_, &bitBtn3_, &bitBtn4_}) {
        EnableWindow(button->Handle(), enabled ? TRUE : FALSE);
    }
    const UINT state = MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED);
    for (HMENU menu : {GetMenu(Handle()), popupMenu_.Get()}) {
        EnableMenuItem(menu, kActReadToExcel, state);
        EnableMenuItem(menu, kActSaveToFile, state);
        EnableMenuItem(menu, kActHarvest, state);
    }
}

std::string TFace::ArchiveNumberText() const {
    return Narrow(archiveNumber_.Text());
}

void TFace::SetArchiveNumberText(const std::string& text) {
    archiveNumber_.SetText(Widen(text));
}

void TFace::GaugeSetProgress(int progress) {
    progressBar_.Gauge().SetProgress(progress);
}

void TFace::GaugeSetMaxValue(int maxValue) {
    progressBar_.Gauge().SetMaxValue(maxValue);
}

void TFace::ShowProgress() {
    progressBar_.Show();
}

void TFace::CloseProgress() {
    progressBar_.Close();
}

void TFace::ProcessMessages() {
    Application().ProcessMessages();
}

void TFace::BringToForeground() {
    SetForegroundWindow(Handle());
}

void TFace::ReportError(const std::string& message) {
    Application().ShowErrorText(message);
}

TFaceStoredControls TFace::StoredControls() {
    return {{comPort_.Handle(), &comPort_},
            {autoTime_.Handle(), &autoTimeValue_},
            {speed_.Handle(), &speed_},
            {printOnDevice_.Handle(), &printOnDevice_}};
}

void TFace::SetPresentPorts(std::function<std::vector<std::string>()> presentPorts) {
    presentPorts_ = std::move(presentPorts);
}

void TFace::RefreshPortList() {
    // Reading the list of ports must never cost the operator the window: without it the list
    // keeps its four fixed ports.
    std::vector<std::string> present;
    try {
        if (presentPorts_) present = presentPorts_();
    } catch (...) {
    }
    std::vector<std::wstring> items;
    for (const std::string& port : PortList(present)) items.push_back(Widen(port));
    comPort_.SetItems(items);
}

HWND TFace::EditLabel(HWND labelledEdit) const {
    if (labelledEdit == devNumber_) return devNumberLabel_;
    if (labelledEdit == measureNumber_) return measureNumberLabel_;
    if (labelledEdit == time_) return timeLabel_;
    if (labelledEdit == dose_) return doseLabel_;
    return nullptr;
}

void TFace::OnCommand(int id, int code, HWND control) {
    if (!control) {  // a menu entry or a shortcut
        ExecuteAction(id);
        return;
    }
    if (id == kIdComPort && code == CBN_DROPDOWN) {
        RefreshPortList();  // an adapter plugged in since shows up
        return;
    }
    if (code == BN_CLICKED) ExecuteAction(ActionOfControl(id));
}

void TFace::ShowPopupMenu(LPARAM position) {
    POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (position == -1) {  // from the keyboard: at the control with the focus
        RECT bounds{};
        GetWindowRect(GetFocus() ? GetFocus() : Handle(), &bounds);
        at = POINT{bounds.left + 4, bounds.top + 4};
    }
    TrackPopupMenuEx(popupMenu_.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, Handle(),
                     nullptr);
}

void TFace::ShowMenuHint(UINT item, UINT flags) {
    const wchar_t* hint = item == kActSaveToFile ? kSaveToFileHint
                          : item == kActHarvest  ? kHarvestHint
                          : item == kActJournal  ? kJournalHint
                                                 : nullptr;
    const bool onEntry = hint && (flags & MF_POPUP) == 0 && flags != 0xFFFF;
    if (onEntry) {
        if (!menuHintShown_) statusBeforeHint_ = Widen(StatusText());
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(hint));
        menuHintShown_ = true;
    } else if (!onEntry && menuHintShown_) {
        SendMessageW(statusBar_, SB_SETTEXTW, 0,
                     reinterpret_cast<LPARAM>(statusBeforeHint_.c_str()));
        menuHintShown_ = false;
    }
}

LRESULT TFace::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MENUSELECT:
            ShowMenuHint(LOWORD(wParam), HIWORD(wParam));
            break;
        case WM_EXITMENULOOP:
            ShowMenuHint(0, 0xFFFF);
            break;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_TIMER:
            if (wParam == kTimerId) TimerTimer();
            return 0;
        case WM_DRAWITEM:
            if (DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
            break;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH brush =
                    FieldColors(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam))) {
                return reinterpret_cast<LRESULT>(brush);
            }
            break;
        case WM_CONTEXTMENU:
            ShowPopupMenu(lParam);
            return 0;
        case WM_ACTIVATE:
            if (OnActivate(LOWORD(wParam) != WA_INACTIVE)) return 0;
            break;
        case WM_SETFOCUS:
            if (focused_ && IsWindow(focused_)) SetFocus(focused_);
            return 0;
        case WM_SETTINGCHANGE:
            if (OnSettingChange) OnSettingChange();
            break;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DESTROY:
            OnDestroyWindow();
            return 0;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

bool TFace::DrawButton(const DRAWITEMSTRUCT& item) const {
    for (const TBitBtn* button : {&bitBtn1_, &bitBtn2_, &bitBtn3_, &bitBtn4_}) {
        if (button->Handle() == item.hwndItem) {
            button->Draw(item);
            return true;
        }
    }
    return false;
}

HBRUSH TFace::FieldColors(HWND control, HDC dc) const {
    // The read-only fields keep the white of an edit field.
    if (control != devNumber_ && control != measureNumber_ && control != time_ &&
        control != dose_) {
        return nullptr;
    }
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
}

bool TFace::OnActivate(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) focused_ = focus;
        return false;
    }
    if (!focused_ || !IsWindow(focused_)) return false;
    SetFocus(focused_);
    return true;
}

void TFace::OnDestroyWindow() {
    KillTimer(Handle(), kTimerId);
    Application().RemoveDialogWindow(Handle());
    if (Application().MainWindow() == Handle()) Application().SetMainWindow(nullptr, nullptr);
    if (OnDestroy) OnDestroy();
}

}  // namespace virel::app
