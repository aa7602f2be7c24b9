// VirelSheetServer: a small spreadsheet program reachable as "Excel.Application" through COM
// automation, for tests and demonstrations of the archive export.
//
//   VirelSheetServer /regserver [/journal DIR]   register (HKLM) with its journal directory
//   VirelSheetServer /unregserver                remove the registration
//   VirelSheetServer /quit                       tell every running instance to quit
//   VirelSheetServer /run [/visible]             start as a running instance (as a person
//                                                would), registered in the running-object table
//   VirelSheetServer -Embedding                  how COM starts it for CoCreateInstance
// Several commands run in the order given; with none, it runs visibly as /run /visible does.
#include <windows.h>
// These need <windows.h> first.
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tools/xlserver/DispObjects.h"
#include "tools/xlserver/Registration.h"
#include "tools/xlserver/ServerCore.h"

namespace {

using namespace virel::xl;

void Report(const std::wstring& text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    const std::string line = virel::Narrow(text) + "\n";
    DWORD written = 0;
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[4096] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), 4096, full, nullptr);
    return length > 0 && length < 4096 ? std::wstring(full) : path;
}

int RunServer(const std::wstring& journal, bool userControl, bool visible) {
    const virel::win::TComApartment com;
    if (!com.Initialized()) return 1;
    int exitCode = 0;
    {
        TSheetServer server(journal.empty() ? RegisteredJournalDir() : journal, userControl,
                            visible);
        auto* application = new TApplicationObject(false);
        TClassFactory factory;
        DWORD classCookie = 0;
        if (!userControl) {
            // One client per process, as a freshly started program serves the one that
            // started it; the next CoCreateInstance starts another process.
            const HRESULT hr = CoRegisterClassObject(kServerClsid, &factory, CLSCTX_LOCAL_SERVER,
                                                     REGCLS_SINGLEUSE, &classCookie);
            if (FAILED(hr))
                server.Log("Server", "CoRegisterClassObject", "error", std::to_string(hr));
        }
        DWORD activeCookie = 0;
        const HRESULT hr = RegisterActiveObject(static_cast<IDispatch*>(application), kServerClsid,
                                                ACTIVEOBJECT_STRONG, &activeCookie);
        if (FAILED(hr)) server.Log("Server", "RegisterActiveObject", "error", std::to_string(hr));
        server.Log("Server", "ready", "event", "-");

        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr && message.message == kIdleCheckMessage) {
                server.CheckIdle();
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        // Gone from the table and the class list first, then every client is cut off.
        if (activeCookie) RevokeActiveObject(activeCookie, nullptr);
        if (classCookie) CoRevokeClassObject(classCookie);
        server.DisconnectAll();
        application->Release();
        server.Log("Server", "exit", "event", "-");
    }
    return exitCode;
}

// Calls `name` on `disp` with no arguments; false when the call fails.
bool CallByName(IDispatch* disp, const wchar_t* name, WORD flags, VARIANT* result) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
    DISPPARAMS none{};
    return SUCCEEDED(
        disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result, nullptr, nullptr));
}

// Asks every running instance to quit and waits for it (ending it if it does not go).
int QuitRunning() {
    const virel::win::TComApartment com;
    if (!com.Initialized()) return 1;
    int quit = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        IUnknown* unknown = nullptr;
        if (FAILED(GetActiveObject(kServerClsid, nullptr, &unknown)) || unknown == nullptr) break;
        IDispatch* disp = nullptr;
        const HRESULT qi = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
        unknown->Release();
        if (FAILED(qi) || disp == nullptr) break;
        VARIANT pid;
        VariantInit(&pid);
        virel::win::THandle process;
        if (CallByName(disp, L"ProcessId", DISPATCH_PROPERTYGET, &pid) && pid.vt == VT_I4)
            process.Reset(
                OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid.lVal)));
        const bool told = CallByName(disp, L"Quit", DISPATCH_METHOD, nullptr);
        disp->Release();
        if (process) {
            if (WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0)
                TerminateProcess(process.Get(), 4);
            WaitForSingleObject(process.Get(), 5000);
        }
        if (!told && !process) break;
        ++quit;
    }
    Report(L"instances told to quit: " + std::to_wstring(quit));
    return 0;
}

bool IsSwitch(const wchar_t* arg, const wchar_t* name) {
    if (arg[0] != L'/' && arg[0] != L'-') return false;
    return _wcsicmp(arg + 1, name) == 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) return 1;
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);

    std::wstring journal;
    bool visible = false, run = false, embedding = false, commands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (IsSwitch(args[i].c_str(), L"journal") && i + 1 < args.size())
            journal = FullPath(args[++i]);
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const wchar_t* arg = args[i].c_str();
        if (IsSwitch(arg, L"journal")) {
            ++i;
        } else if (IsSwitch(arg, L"regserver")) {
            commands = true;
            const std::wstring error = RegisterServer(ModulePath(), journal);
            if (!error.empty()) {
                Report(error);
                return 1;
            }
        } else if (IsSwitch(arg, L"unregserver")) {
            commands = true;
            const std::wstring error = UnregisterServer();
            if (!error.empty()) {
                Report(error);
                return 1;
            }
        } else if (IsSwitch(arg, L"quit")) {
            commands = true;
            if (QuitRunning() != 0) return 1;
        } else if (IsSwitch(arg, L"embedding") || IsSwitch(arg, L"automation")) {
            embedding = true;
        } else if (IsSwitch(arg, L"run")) {
            run = true;
        } else if (IsSwitch(arg, L"visible")) {
            visible = true;
        } else {
            Report(L"unknown argument: " + args[i]);
            return 2;
        }
    }
    if (embedding) return RunServer(journal, false, false);
    if (run || !commands) return RunServer(journal, true, visible || args.empty());
    return 0;
}
