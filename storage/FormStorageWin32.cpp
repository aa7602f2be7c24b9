#include "storage/FormStorageWin32.h"

#include <vector>

#include "core/Errors.h"
#include "core/Utf16.h"
#include "storage/IniStore.h"
#include "storage/RegStore.h"
#include "storage/TextUtil.h"

namespace virel {

namespace {

std::string WindowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Narrow(text);
}

template <typename F>
F Required(F fn, const char* what) {
    if (!fn)
        throw Exception(storage_detail::Concat("The stored control ", what, " has no accessor"));
    return fn;
}

}  // namespace

TWin32FormStorage::TWin32FormStorage(HWND hwnd, TWin32FormOptions options, std::string storageName)
    : form_(hwnd, std::move(options)), storage_(&form_, std::move(storageName)) {
    storage_.SetStoreFactory(Win32StoreFactory());
}

void ConnectFormEvents(TFormEvents& events, std::function<void()>& onShow,
                       std::function<void(bool& canClose)>& onCloseQuery,
                       std::function<void()>& onDestroy) {
    onShow = [&events] { events.Show(); };
    onCloseQuery = [&events](bool& canClose) {
        if (events.onCloseQuery) events.onCloseQuery(canClose);
    };
    onDestroy = [&events] { events.Destroy(); };
}

TStoreFactory Win32StoreFactory() {
    return [](const TStoreLocation& where, bool readOnly) -> std::unique_ptr<TSectionStore> {
        if (where.useRegistry) return std::make_unique<TRegStore>(where.root, where.path, readOnly);
        return std::make_unique<TIniStore>(where.path);
    };
}

void InitStorageApplicationInfo() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return;
        if (n < buf.size()) {
            ApplicationInfo().exePath = Narrow(std::wstring(buf.data(), n));
            return;
        }
        buf.resize(buf.size() * 2);
    }
}

std::unique_ptr<TWin32FormStorage> CreateFaceStorage(HWND face, TFaceStoredControls c) {
    if (ApplicationInfo().exePath.empty()) InitStorageApplicationInfo();

    // Plain control messages where the window gave only the handle.
    if (c.portCombo && !c.getPortText) c.getPortText = [h = c.portCombo] { return WindowText(h); };
    if (c.portCombo && !c.setPortText) {
        // A restored text that names an item selects it; any other text stands alone with no
        // item selected.
        c.setPortText = [h = c.portCombo](const std::string& s) {
            const std::wstring text = Widen(s);
            const LRESULT item = text.empty()
                                     ? CB_ERR
                                     : SendMessageW(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>(text.c_str()));
            SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(item == CB_ERR ? -1 : item), 0);
            if (item == CB_ERR) SetWindowTextW(h, text.c_str());
        };
    }
    if (c.speedCombo && !c.getSpeedIndex) {
        c.getSpeedIndex = [h = c.speedCombo] {
            return static_cast<std::int32_t>(SendMessageW(h, CB_GETCURSEL, 0, 0));
        };
    }
    if (c.speedCombo && !c.setSpeedIndex) {
        c.setSpeedIndex = [h = c.speedCombo](std::int32_t i) {
            SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        };
    }
    if (c.printCheck && !c.getPrintOnDevice) {
        c.getPrintOnDevice = [h = c.printCheck] {
            return SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
        };
    }
    if (c.printCheck && !c.setPrintOnDevice) {
        c.setPrintOnDevice = [h = c.printCheck](bool on) {
            SendMessageW(h, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        };
    }

    auto result = std::make_unique<TWin32FormStorage>(face, TWin32FormOptions{}, "FormStorage1");
    TWin32Form& form = result->Form();
    form.Events() = std::move(c.windowEvents);
    form.AddControl("CB_ComPort", "TComboBox", c.portCombo)
        .AddString("Text", Required(c.getPortText, "CB_ComPort"),
                   Required(c.setPortText, "CB_ComPort"));
    form.AddControl("RxSpE_AutoTime", "TRxSpinEdit", c.autoTimeEdit)
        .AddFloat("Value", TFloatType::ftExtended, Required(c.getAutoTimeValue, "RxSpE_AutoTime"),
                  Required(c.setAutoTimeValue, "RxSpE_AutoTime"));
    form.AddControl("CB_Spead", "TComboBox", c.speedCombo)
        .AddInteger("ItemIndex", Required(c.getSpeedIndex, "CB_Spead"),
                    Required(c.setSpeedIndex, "CB_Spead"));
    form.AddControl("CB_PrintOnDevice", "TCheckBox", c.printCheck)
        .AddBoolean("Checked", Required(c.getPrintOnDevice, "CB_PrintOnDevice"),
                    Required(c.setPrintOnDevice, "CB_PrintOnDevice"));

    TFormStorage& storage = result->Storage();
    storage.SetOptions({TPlacementOption::fpPosition});
    storage.SetUseRegistry(true);
    storage.SetRegistryRoot(TPlacementRegRoot::prCurrentUser);
    storage.SetVersion(0);
    storage.SetStoredProps({"CB_ComPort.Text", "RxSpE_AutoTime.Value", "CB_Spead.ItemIndex",
                            "CB_PrintOnDevice.Checked"});
    storage.StoredValues().Add();  // the unnamed value of the section key
    storage.Loaded();
    return result;
}

}  // namespace virel
