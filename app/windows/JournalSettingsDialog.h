#pragma once
// The journal's settings, from the window "Журнал доз": the unit the window shows DAP in, and
// how the record's dialog keeps the patient (as typed, a salted SHA-256, or not at all) with
// the clinic's salt, and the alert level for every record. Modal to the journal window, on its thread.
#include <windows.h>

#include <optional>

#include "app/frame/OkCancelDialog.h"
#include "forms/JournalSettings.h"

namespace virel::app {

class TJournalSettingsDialog : public TOkCancelDialog {
public:
    static constexpr int kClientWidth = 420;
    static constexpr int kClientHeight = 205;
    static constexpr wchar_t kClassName[] = L"TJournalSettingsDialog";
    enum TControlId : int { kIdUnit = 3301, kIdPatient, kIdSalt, kIdAlertLevel };

    TJournalSettingsDialog(TApplication& application, TJournalSettings settings);
    ~TJournalSettingsDialog() override;
    HWND Create(HWND owner);
    // The settings chosen, or nothing when cancelled.
    std::optional<TJournalSettings> ShowModal();

private:
    void OkExecute() override;

    TJournalSettings settings_;
    HWND unit_ = nullptr, patient_ = nullptr, salt_ = nullptr, alertLevel_ = nullptr;
};

}  // namespace virel::app
