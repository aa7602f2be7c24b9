#pragma once
// The settings "Центральный журнал", from the window "Журнал доз": the ODBC connection string
// or DSN, the room's name and the password. The stored password is never put into its field
// (the field says that one is stored); OK stores the settings, "Проверить" tries them on a
// thread of its own, so that the dialog stays responsive while a driver waits for a server.
// Modal to the journal window, on its thread; what the fields make is forms/RegistryForm.
#include <windows.h>

#include <functional>
#include <memory>

#include "app/frame/OkCancelDialog.h"
#include "forms/RegistryForm.h"

namespace virel::app {

class TRegistryDialog : public TOkCancelDialog {
public:
    static constexpr int kClientWidth = 460;
    static constexpr int kClientHeight = 276;
    static constexpr wchar_t kClassName[] = L"TRegistryDialog";
    enum TControlId : int {
        kIdConnection = 3401,
        kIdRoom,
        kIdPassword,
        kIdForget,
        kIdCheck,
        kIdCheckResult,
    };

    using TCheck = std::function<TLinkCheck(const TRegistrySettings&)>;
    using TStore = std::function<bool(const TRegistrySettings&)>;
    // `stored`: the settings as stored (the password only in memory); `check`: the link's check
    // (CheckRegistry), run on another thread; `store`: keeps the settings (SaveRegistrySettings).
    TRegistryDialog(TApplication& application, TRegistrySettings stored, TCheck check,
                    TStore store);
    ~TRegistryDialog() override;
    HWND Create(HWND owner);
    // True when OK stored new settings.
    bool ShowModal();

private:
    struct TCheckJob;
    static DWORD WINAPI CheckMain(void* job);

    void OkExecute() override;
    void CheckExecute();
    void CheckDone();
    TRegistrySettings Chosen() const;
    void SetResult(const std::string& text);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    TRegistrySettings stored_;
    TCheck check_;
    TStore store_;
    // The check in flight, shared with its thread, which may outlive the dialog.
    std::shared_ptr<TCheckJob> job_;
    HWND connection_ = nullptr, room_ = nullptr, password_ = nullptr, forget_ = nullptr,
         checkButton_ = nullptr, result_ = nullptr;
};

}  // namespace virel::app
