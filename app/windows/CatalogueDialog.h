#pragma once
// The catalogue of kinds of examination, edited from the window "Журнал доз": a list of the
// kinds with their K for adults and children; add, change and remove (a kind records are
// annotated with stays, and the message says why); import from and export to the catalogue's
// CSV file through the open and save dialogs. Modal to the journal window, on its thread, on
// its connection to the journal.
#include <windows.h>
// after windows.h
#include <commdlg.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/controls/ListColumns.h"
#include "app/frame/OkCancelDialog.h"
#include "forms/CatalogueForm.h"
#include "journal/Journal.h"

namespace virel::app {

// The open or save dialog for a catalogue file; true when the operator chose one. `save` says
// which. Replaceable so that tests can answer it.
using TCatalogueFileDialog = std::function<bool(OPENFILENAMEW& dialog, bool save)>;

// One kind's name, K, levels and check-up flag, modal to the catalogue's dialog.
class TKindDialog : public TOkCancelDialog {
public:
    static constexpr int kClientWidth = 420;
    static constexpr int kClientHeight = 232;
    static constexpr wchar_t kClassName[] = L"TKindDialog";
    enum TControlId : int {
        kIdName = 3101,
        kIdAdult,
        kIdChild,
        kIdReference,
        kIdAlert,
        kIdPreventive
    };
    // Saves the kind checked; returns why it was not saved, empty when it was.
    using TSave = std::function<std::string(const TExamKind&)>;

    TKindDialog(TApplication& application, TExamKind kind, TSave save);
    ~TKindDialog() override;
    HWND Create(HWND owner);
    bool ShowModal();  // true when saved

private:
    void OkExecute() override;

    TExamKind kind_;
    TSave save_;
    HWND name_ = nullptr, adult_ = nullptr, child_ = nullptr;
    HWND reference_ = nullptr, alert_ = nullptr, preventive_ = nullptr;
};

class TCatalogueDialog : public TModalWindow {
public:
    static constexpr int kClientWidth = 720;
    static constexpr int kClientHeight = 300;
    static constexpr wchar_t kClassName[] = L"TCatalogueDialog";
    enum TControlId : int {
        kIdList = 3201,
        kIdAdd,
        kIdEdit,
        kIdRemove,
        kIdImport,
        kIdExport,
        kIdStatus,
    };

    TCatalogueDialog(TApplication& application, TCatalogue& catalogue, TCatalogueFileDialog files);
    ~TCatalogueDialog() override;
    HWND Create(HWND owner);
    // Returns when it is closed; true when the catalogue was changed.
    bool ShowModal();

    void AddExecute();
    void EditExecute();
    void RemoveExecute();
    void ImportExecute();
    void ExportExecute();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The command of a button; false when it is none of the catalogue's own.
    bool RunCommand(int id);
    void Reload();
    void SetStatus(const std::string& text);
    int Selected() const;
    void Tell(const std::string& text);
    std::optional<std::wstring> ChooseFile(bool save);

    TCatalogue& catalogue_;
    TCatalogueFileDialog files_;
    std::vector<TExamKind> kinds_;
    bool changed_ = false;
    std::wstring cell_;
    HWND list_ = nullptr, status_ = nullptr;
    // Both K columns whole; the kind's name takes what they leave.
    std::optional<TListColumns> columns_;
};

}  // namespace virel::app
