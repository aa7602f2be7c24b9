#include "storage/FormStorageWin32.h"

#include <vector>

#include "core/Utf16.h"
#include "storage/IniStore.h"
#include "storage/RegStore.h"

namespace virel {

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

}  // namespace virel
