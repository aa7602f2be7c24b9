#include "app/windows/CatalogueDialog.h"

#include <commctrl.h>

#include <cwchar>

#include "app/controls/Controls.h"
#include "app/frame/Application.h"
#include "app/platform/FileExportPlatform.h"
#include "core/Utf16.h"
#include "reports/CatalogueCsv.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

// The name, the two K, the two levels and the flag; the list scrolls sideways.
constexpr int kColumns = 6;
constexpr int kColumnWidths[kColumns] = {150, 145, 145, 90, 150, 110};

std::string TextOf(HWND control) {
    return Narrow(win::WindowText(control));
}

HWND Edit(TDpiLayout& layout, HWND parent, const std::string& text, dpi::TBounds at, int id) {
    const HWND edit = CreateControl(layout, L"EDIT", Widen(text).c_str(),
                                    ES_AUTOHSCROLL | WS_TABSTOP, at, parent, id, WS_EX_CLIENTEDGE);
    return edit;
}

// The fields' labels and where the fields start after them.
constexpr int kLabelWidth = 156;
constexpr int kFieldX = 8 + kLabelWidth + 4;

void Label(TDpiLayout& layout, HWND parent, const char* text, int y) {
    CreateControl(layout, L"STATIC", Widen(text).c_str(), SS_LEFT, {8, y + 3, kLabelWidth, 13},
                  parent, -1);
}

}  // namespace

TKindDialog::TKindDialog(TApplication& application, TExamKind kind, TSave save)
    : TOkCancelDialog(application), kind_(std::move(kind)), save_(std::move(save)) {}

TKindDialog::~TKindDialog() {
    DestroyHandle();
}

HWND TKindDialog::Create(HWND owner) {
    if (!CreateModalHandle(kClassName, Widen(texts::kKindCaption).c_str(), kClientWidth,
                           kClientHeight, owner))
        return nullptr;
    TDpiLayout& layout = Layout();
    const HWND self = Handle();
    const TKindFields fields = FieldsOfKind(kind_);
    const int nameWidth = kClientWidth - kFieldX - 8;
    Label(layout, self, texts::kKindName, 8);
    name_ = Edit(layout, self, fields.name, {kFieldX, 8, nameWidth, 21}, kIdName);
    Label(layout, self, texts::kKindAdult, 36);
    adult_ = Edit(layout, self, fields.kAdult, {kFieldX, 36, 90, 21}, kIdAdult);
    Label(layout, self, texts::kKindChild, 64);
    child_ = Edit(layout, self, fields.kChild, {kFieldX, 64, 90, 21}, kIdChild);
    CreateControl(layout, L"STATIC", Widen(texts::kKindHint).c_str(), SS_LEFT | SS_NOPREFIX,
                  {8, 92, kClientWidth - 16, 13}, self, -1);
    Label(layout, self, texts::kKindReference, 112);
    reference_ = Edit(layout, self, fields.referenceLevel, {kFieldX, 112, 90, 21}, kIdReference);
    Label(layout, self, texts::kKindAlert, 140);
    alert_ = Edit(layout, self, fields.alertLevel, {kFieldX, 140, 90, 21}, kIdAlert);
    CreateControl(layout, L"STATIC", Widen(texts::kKindLevelHint).c_str(), SS_LEFT | SS_NOPREFIX,
                  {8, 166, kClientWidth - 16, 13}, self, -1);
    preventive_ =
        CreateControl(layout, L"BUTTON", Widen(texts::kKindPreventive).c_str(),
                      BS_AUTOCHECKBOX | WS_TABSTOP, {8, 184, 260, 17}, self, kIdPreventive);
    SendMessageW(preventive_, BM_SETCHECK, fields.preventive ? BST_CHECKED : BST_UNCHECKED, 0);
    CreateControl(layout, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP,
                  {kClientWidth - 164, 202, 75, 25}, self, IDOK);
    CreateControl(layout, L"BUTTON", L"Отмена", BS_PUSHBUTTON | WS_TABSTOP,
                  {kClientWidth - 83, 202, 75, 25}, self, IDCANCEL);
    return Handle();
}

bool TKindDialog::ShowModal() {
    return RunOkCancel(name_);
}

void TKindDialog::OkExecute() {
    const TKindParse parse = ParseKindFields(
        {TextOf(name_), TextOf(adult_), TextOf(child_), TextOf(reference_), TextOf(alert_),
         SendMessageW(preventive_, BM_GETCHECK, 0, 0) == BST_CHECKED},
        kind_.id);
    std::string refused = parse.kind ? save_(*parse.kind) : parse.message;
    if (!refused.empty()) {
        Application().ShowMessageBox(Widen(refused), MB_OK | MB_ICONWARNING);
        return;
    }
    Accept();
}

TCatalogueDialog::TCatalogueDialog(TApplication& application, TCatalogue& catalogue,
                                   TCatalogueFileDialog files)
    : TModalWindow(application), catalogue_(catalogue), files_(std::move(files)) {}

TCatalogueDialog::~TCatalogueDialog() {
    DestroyHandle();
}

HWND TCatalogueDialog::Create(HWND owner) {
    if (!CreateModalHandle(kClassName, Widen(texts::kCatalogueCaption).c_str(), kClientWidth,
                           kClientHeight, owner))
        return nullptr;
    TDpiLayout& layout = Layout();
    const HWND self = Handle();
    list_ = CreateControl(
        layout, WC_LISTVIEWW, L"",
        LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP | WS_VSCROLL,
        {8, 8, 560, 256}, self, kIdList, WS_EX_CLIENTEDGE);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const char* headers[kColumns] = {
        texts::kCatalogueHeaderName,  texts::kCatalogueHeaderAdult,
        texts::kCatalogueHeaderChild, texts::kCatalogueHeaderReference,
        texts::kCatalogueHeaderAlert, texts::kCatalogueHeaderPreventive};
    for (int c = 0; c < kColumns; ++c) {
        std::wstring header = Widen(headers[c]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.cx = layout.Scale(kColumnWidths[c]);
        column.pszText = header.data();
        SendMessageW(list_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    columns_.emplace(list_, std::vector<int>(std::begin(kColumnWidths), std::end(kColumnWidths)),
                     0);
    columns_->Fit(layout);
    layout.Keep([this](const TDpiLayout& at) { columns_->Fit(at); });
    const struct {
        const char* text;
        int id;
        int y;
    } buttons[] = {
        {texts::kCatalogueAdd, kIdAdd, 8},         {texts::kCatalogueEdit, kIdEdit, 37},
        {texts::kCatalogueRemove, kIdRemove, 66},  {texts::kCatalogueImport, kIdImport, 110},
        {texts::kCatalogueExport, kIdExport, 139}, {texts::kCatalogueClose, IDCANCEL, 239}};
    for (const auto& button : buttons) {
        CreateControl(layout, L"BUTTON", Widen(button.text).c_str(), BS_PUSHBUTTON | WS_TABSTOP,
                      {576, button.y, 136, 25}, self, button.id);
    }
    status_ = CreateControl(layout, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                            {8, 272, 704, 26}, self, kIdStatus);
    Reload();
    return Handle();
}

bool TCatalogueDialog::ShowModal() {
    CentreOnOwner();
    (void)RunModal(list_);
    return changed_;
}

void TCatalogueDialog::Reload() {
    try {
        kinds_ = catalogue_.Kinds();
    } catch (const std::exception& e) {
        kinds_.clear();
        SetStatus(texts::kCatalogueNotWritten + std::string(e.what()));
    }
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
        const TExamKind& kind = kinds_[i];
        const std::string cells[kColumns] = {kind.name,
                                             KCellText(kind.kAdult),
                                             KCellText(kind.kChild),
                                             LevelCellText(kind.referenceLevel),
                                             LevelCellText(kind.alertLevel),
                                             PreventiveCellText(kind.preventive)};
        for (int c = 0; c < kColumns; ++c) {
            std::wstring text = Widen(cells[c]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.iSubItem = c;
            item.pszText = text.data();
            SendMessageW(list_, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, i,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
}

void TCatalogueDialog::SetStatus(const std::string& text) {
    SetWindowTextW(status_, Widen(text).c_str());
}

void TCatalogueDialog::Tell(const std::string& text) {
    Application().ShowMessageBox(Widen(text), MB_OK | MB_ICONWARNING);
}

int TCatalogueDialog::Selected() const {
    const auto index = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return index >= 0 && static_cast<std::size_t>(index) < kinds_.size() ? index : -1;
}

void TCatalogueDialog::AddExecute() {
    TKindDialog dialog(Application(), {}, [this](const TExamKind& kind) {
        return KindFaultText(catalogue_.SaveKind(kind), kind.name);
    });
    if (!dialog.Create(Handle()) || !dialog.ShowModal()) return;
    changed_ = true;
    Reload();
}

void TCatalogueDialog::EditExecute() {
    const int index = Selected();
    if (index < 0) return;
    TKindDialog dialog(Application(), kinds_[static_cast<std::size_t>(index)],
                       [this](const TExamKind& kind) {
                           return KindFaultText(catalogue_.SaveKind(kind), kind.name);
                       });
    if (!dialog.Create(Handle()) || !dialog.ShowModal()) return;
    changed_ = true;
    Reload();
}

void TCatalogueDialog::RemoveExecute() {
    const int index = Selected();
    if (index < 0) return;
    const TExamKind& kind = kinds_[static_cast<std::size_t>(index)];
    const std::string refused = KindFaultText(catalogue_.RemoveKind(kind.id), kind.name);
    if (!refused.empty()) {
        Tell(refused);
        return;
    }
    changed_ = true;
    Reload();
}

std::optional<std::wstring> TCatalogueDialog::ChooseFile(bool save) {
    wchar_t path[MAX_PATH] = L"";
    if (save) wcsncpy(path, Widen(texts::kCatalogueFileName).c_str(), MAX_PATH - 1);
    // Two strings ending in a double null: the filter's name and its pattern.
    std::wstring filter = Widen(texts::kCatalogueFilter) + L'\0' + L"*.csv" + L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Handle();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    if (!files_(dialog, save)) return std::nullopt;
    return std::wstring(path);
}

void TCatalogueDialog::ImportExecute() {
    const auto path = ChooseFile(false);
    if (!path) return;
    const std::string name = Narrow(*path);
    std::string bytes;
    if (const auto failure = ReadBytesFile(*path, bytes)) {
        Tell(texts::kCatalogueNotRead + name + ": " + *failure);
        return;
    }
    const TCatalogueParse parsed = ParseCatalogueCsv(bytes);
    if (!parsed.ok) {
        // The whole file or nothing: the line at fault is named, the catalogue stays.
        Tell(texts::kCatalogueNotImported + name + ": " + parsed.error);
        return;
    }
    // A K above 3 mSv/(Gy·cm²) is likely copied in µSv/(cGy·cm²): taken only when confirmed.
    if (!parsed.questioned.empty() &&
        Application().ShowMessageBox(Widen(QuestionedKText(parsed) + texts::kCatalogueQuestionK),
                                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    try {
        catalogue_.Merge(parsed.kinds, parsed.columns);
    } catch (const std::exception& e) {
        Tell(texts::kCatalogueNotWritten + std::string(e.what()));
        return;
    }
    changed_ = true;
    Reload();
    SetStatus(texts::kCatalogueImported + name + texts::kCatalogueKinds +
              std::to_string(parsed.kinds.size()) + ")");
}

void TCatalogueDialog::ExportExecute() {
    const auto path = ChooseFile(true);
    if (!path) return;
    const std::string name = Narrow(*path);
    if (const auto failure = WriteBytesFile(*path, CatalogueCsv(kinds_))) {
        Tell(texts::kCatalogueNotSaved + name + ": " + *failure);
        return;
    }
    SetStatus(texts::kCatalogueExported + name + texts::kCatalogueKinds +
              std::to_string(kinds_.size()) + ")");
}

bool TCatalogueDialog::RunCommand(int id) {
    switch (id) {
        case kIdAdd:
            AddExecute();
            return true;
        case kIdEdit:
        case IDOK:  // Enter on the list changes the kind selected
            EditExecute();
            return true;
        case kIdRemove:
            RemoveExecute();
            return true;
        case kIdImport:
            ImportExecute();
            return true;
        case kIdExport:
            ExportExecute();
            return true;
        default:
            return false;  // "Закрыть" (IDCANCEL) closes, as Esc and the close box do
    }
}

LRESULT TCatalogueDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED || RunCommand(LOWORD(wParam))) return 0;
            break;
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.hwndFrom == list_ && header.code == NM_DBLCLK) EditExecute();
            return 0;
        }
        default:
            break;
    }
    return TModalWindow::WindowProc(message, wParam, lParam);
}

}  // namespace virel::app
