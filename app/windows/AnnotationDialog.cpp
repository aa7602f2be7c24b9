#include "app/windows/AnnotationDialog.h"

#include "app/controls/Controls.h"
#include "app/frame/Application.h"
#include "core/Utf16.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

constexpr int kLabelX = 8, kLabelWidth = 130, kFieldX = 142, kFieldWidth = 290;

void Label(TDpiLayout& layout, HWND parent, const char* text, int y) {
    CreateControl(layout, L"STATIC", Widen(text).c_str(), SS_LEFT,
                  {kLabelX, y + 3, kLabelWidth, 13}, parent, -1);
}

// An edit that takes any length: a note may be a long text pasted in.
HWND Edit(TDpiLayout& layout, HWND parent, const std::string& text, DWORD style, dpi::TBounds at,
          int id) {
    const HWND edit =
        CreateControl(layout, L"EDIT", L"", style | WS_TABSTOP, at, parent, id, WS_EX_CLIENTEDGE);
    SendMessageW(edit, EM_LIMITTEXT, 0, 0);
    SetWindowTextW(edit, Widen(text).c_str());
    return edit;
}

std::string TextOf(HWND control) {
    return Narrow(win::WindowText(control));
}

}  // namespace

TAnnotationDialog::TAnnotationDialog(TApplication& application, std::string recordSummary,
                                     std::vector<TExamKind> kinds, TAnnotationPrefill prefill,
                                     int currentYear, TSave save)
    : TOkCancelDialog(application),
      summaryText_(std::move(recordSummary)),
      kinds_(std::move(kinds)),
      prefill_(std::move(prefill)),
      currentYear_(currentYear),
      save_(std::move(save)) {}

TAnnotationDialog::~TAnnotationDialog() {
    DestroyHandle();
}

HWND TAnnotationDialog::Create(HWND owner) {
    if (!CreateModalHandle(kClassName, Widen(texts::kAnnotationCaption).c_str(), kClientWidth,
                           kClientHeight, owner))
        return nullptr;
    TDpiLayout& layout = Layout();
    const HWND self = Handle();
    const TAnnotationFields& f = prefill_.fields;
    Label(layout, self, texts::kAnnotationRecord, 8);
    // Read-only, but an edit: the operator can select and copy the record's fields.
    summary_ = Edit(layout, self, summaryText_, ES_READONLY | ES_AUTOHSCROLL,
                    {kFieldX, 8, kFieldWidth, 21}, kIdSummary);
    Label(layout, self, texts::kAnnotationPatient, 36);
    patient_ =
        Edit(layout, self, f.patient, ES_AUTOHSCROLL, {kFieldX, 36, kFieldWidth, 21}, kIdPatient);
    hint_ =
        CreateControl(layout, L"STATIC",
                      prefill_.patientHidden ? Widen(texts::kAnnotationPatientHidden).c_str() : L"",
                      SS_LEFT | SS_NOPREFIX, {kFieldX, 60, kFieldWidth, 26}, self, kIdHint);
    Label(layout, self, texts::kAnnotationBirthYear, 90);
    birthYear_ =
        Edit(layout, self, f.birthYear, ES_AUTOHSCROLL, {kFieldX, 90, 70, 21}, kIdBirthYear);
    Label(layout, self, texts::kAnnotationKind, 118);
    kind_ = CreateControl(layout, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                          {kFieldX, 118, kFieldWidth, 200}, self, kIdKind);
    SendMessageW(kind_, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Widen(texts::kAnnotationNoKind).c_str()));
    for (const TExamKind& kind : kinds_)
        SendMessageW(kind_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(kind.name).c_str()));
    SendMessageW(kind_, CB_SETCURSEL, f.kind, 0);
    Label(layout, self, texts::kAnnotationImages, 146);
    images_ = Edit(layout, self, f.images, ES_AUTOHSCROLL, {kFieldX, 146, 70, 21}, kIdImages);
    Label(layout, self, texts::kAnnotationOperator, 174);
    operator_ = Edit(layout, self, f.operatorName, ES_AUTOHSCROLL, {kFieldX, 174, kFieldWidth, 21},
                     kIdOperator);
    Label(layout, self, texts::kAnnotationNote, 202);
    note_ = Edit(layout, self, f.note, ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL,
                 {kFieldX, 202, kFieldWidth, 78}, kIdNote);
    ok_ = CreateControl(layout, L"BUTTON", Widen(texts::kAnnotationOk).c_str(),
                        BS_DEFPUSHBUTTON | WS_TABSTOP, {276, 290, 75, 25}, self, IDOK);
    CreateControl(layout, L"BUTTON", Widen(texts::kAnnotationCancel).c_str(),
                  BS_PUSHBUTTON | WS_TABSTOP, {357, 290, 75, 25}, self, IDCANCEL);
    return Handle();
}

bool TAnnotationDialog::ShowModal() {
    return RunOkCancel(patient_);
}

TAnnotationFields TAnnotationDialog::Fields() const {
    TAnnotationFields f;
    f.patient = TextOf(patient_);
    f.birthYear = TextOf(birthYear_);
    const LRESULT choice = SendMessageW(kind_, CB_GETCURSEL, 0, 0);
    f.kind = choice > 0 ? static_cast<std::size_t>(choice) : 0;
    f.images = TextOf(images_);
    f.operatorName = TextOf(operator_);
    f.note = TextOf(note_);
    return f;
}

void TAnnotationDialog::OkExecute() {
    const TAnnotationParse parse =
        ParseAnnotationFields(Fields(), kinds_, currentYear_, prefill_.patientHidden);
    if (!parse.input) {
        Application().ShowMessageBox(Widen(parse.message), MB_OK | MB_ICONWARNING);
        // The field that is wrong gets the focus; only the year and the images can be.
        const bool year = parse.message.rfind(texts::kImagesNotNumber, 0) != 0;
        SetFocus(year ? birthYear_ : images_);
        SendMessageW(year ? birthYear_ : images_, EM_SETSEL, 0, -1);
        return;
    }
    const std::string refused = save_(*parse.input);
    if (!refused.empty()) {
        Application().ShowMessageBox(Widen(refused), MB_OK | MB_ICONWARNING);
        return;
    }
    Accept();
}

}  // namespace virel::app
