#include "app/platform/PortLock.h"

#include <windows.h>
// after windows.h
#include <sddl.h>

namespace virel::app {

namespace {

// Every user of the PC may wait for the mutex and let it go, whoever made it first: the window
// of one user, a scheduled task under another account. Nobody else gets more. The low
// integrity label lets a program that is not elevated open a mutex an elevated one made.
constexpr wchar_t kEveryoneMayWait[] = L"D:(A;;0x00100001;;;WD)S:(ML;;NW;;;LW)";
// The same without the label, for a system that does not know labels.
constexpr wchar_t kEveryoneMayWaitNoLabel[] = L"D:(A;;0x00100001;;;WD)";

win::TLocalMemory<PSECURITY_DESCRIPTOR> OpenToEveryone() {
    win::TLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    for (const wchar_t* sddl : {kEveryoneMayWait, kEveryoneMayWaitNoLabel}) {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                 descriptor.Receive(), nullptr))
            return descriptor;
        descriptor.Forget();
    }
    return descriptor;  // none: the system's default security
}

win::THandle MakeOrOpenMutex(const std::wstring& name) {
    const win::TLocalMemory<PSECURITY_DESCRIPTOR> descriptor = OpenToEveryone();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    // Only the rights a wait and a release need: asking for all would refuse a mutex another
    // user made.
    return win::THandle(
        CreateMutexExW(&attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
}

}  // namespace

std::wstring PortLockName(const wchar_t* prefix, int portNumber) {
    return std::wstring(prefix) + L"VIREL1_Service.COM" + std::to_wstring(portNumber);
}

TPortLockTry TNamedPortLock::TryAcquire(int portNumber) {
    // "Global\": a scheduled task that runs whether the user is logged on or not runs in
    // another session, and sees only the global namespace in common with the user's window.
    // Where that is refused (a terminal server's policy), the session's own namespace still
    // keeps the user's own programs apart.
    win::THandle mutex = MakeOrOpenMutex(PortLockName(L"Global\\", portNumber));
    if (!mutex) mutex = MakeOrOpenMutex(PortLockName(L"Local\\", portNumber));
    if (!mutex) return TPortLockTry::Unavailable;
    switch (WaitForSingleObject(mutex.Get(), 0)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder ended without letting go: the port is free now
            break;
        case WAIT_TIMEOUT:
            return TPortLockTry::Held;
        default:
            return TPortLockTry::Unavailable;
    }
    THeld& held = held_[portNumber];
    held.owned.Reset();
    held.mutex = std::move(mutex);
    held.owned.Reset(held.mutex.Get());
    return TPortLockTry::Acquired;
}

void TNamedPortLock::Release(int portNumber) {
    held_.erase(portNumber);
}

}  // namespace virel::app
