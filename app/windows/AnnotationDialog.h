#pragma once
// The record's dialog of the window "Журнал доз": the record's measured fields, read-only, and
// what the clinic adds to it (patient, year of birth, kind of examination, images, operator,
// note). Modal to the journal window, on its thread. OK checks the fields and hands them to
// the save given; the dialog stays open with a message while they are wrong or not saved.
// Cancel, Esc and the close box change nothing.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/frame/OkCancelDialog.h"
#include "forms/AnnotationForm.h"

namespace virel::app {

class TAnnotationDialog : public TOkCancelDialog {
public:
    static constexpr int kClientWidth = 440;
    static constexpr int kClientHeight = 322;
    static constexpr wchar_t kClassName[] = L"TAnnotationDialog";
    // Saves the checked input; returns why it was not saved, empty when it was.
    using TSave = std::function<std::string(const TAnnotationInput&)>;
    // The controls' ids, for the tests that find them from another thread.
    enum TControlId : int {
        kIdSummary = 3001,
        kIdPatient,
        kIdHint,
        kIdBirthYear,
        kIdKind,
        kIdImages,
        kIdOperator,
        kIdNote,
    };

    TAnnotationDialog(TApplication& application, std::string recordSummary,
                      std::vector<TExamKind> kinds, TAnnotationPrefill prefill, int currentYear,
                      TSave save);
    ~TAnnotationDialog() override;

    // Creates the dialog, hidden, owned by `owner`.
    HWND Create(HWND owner);
    // Shows it and returns when it is closed: true when the annotation was saved.
    bool ShowModal();

    HWND Summary() const { return summary_; }
    HWND Patient() const { return patient_; }
    HWND PatientHint() const { return hint_; }
    HWND BirthYear() const { return birthYear_; }
    HWND Kind() const { return kind_; }
    HWND Images() const { return images_; }
    HWND Operator() const { return operator_; }
    HWND Note() const { return note_; }

private:
    void OkExecute() override;
    TAnnotationFields Fields() const;

    std::string summaryText_;
    std::vector<TExamKind> kinds_;
    TAnnotationPrefill prefill_;
    int currentYear_;
    TSave save_;
    HWND summary_ = nullptr, patient_ = nullptr, hint_ = nullptr, birthYear_ = nullptr,
         kind_ = nullptr, images_ = nullptr, operator_ = nullptr, note_ = nullptr, ok_ = nullptr;
};

}  // namespace virel::app
