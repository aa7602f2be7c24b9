// The port's lock across processes as the system's named mutex, in the global namespace: held
// by one thread, another (standing for another program: a mutex is its thread's) waits; each
// port has its own; a holder that ended without letting go leaves it free.
#include <gtest/gtest.h>
#include <windows.h>

#include <future>

#include "app/platform/PortLock.h"

namespace virel::app {
namespace {

// Ports no other case on this Wine server uses: the names are the whole server's.
constexpr int kPort = 201;
constexpr int kOtherPort = 202;

// A try on a thread of its own, let go when that thread's lock ends.
TPortLockTry TryElsewhere(int port) {
    return std::async(std::launch::async, [port] { return TNamedPortLock().TryAcquire(port); })
        .get();
}

TEST(NamedPortLock, AnotherHolderWaitsUntilItIsLetGoEachPortItsOwn) {
    EXPECT_EQ(PortLockName(L"Global\\", 3), L"Global\\VIREL1_Service.COM3");
    TNamedPortLock lock;
    ASSERT_EQ(lock.TryAcquire(kPort), TPortLockTry::Acquired);
    EXPECT_EQ(TryElsewhere(kPort), TPortLockTry::Held);
    EXPECT_EQ(TryElsewhere(kOtherPort), TPortLockTry::Acquired);
    // In the global namespace, where a scheduled task of another session sees it.
    const HANDLE global = OpenMutexW(SYNCHRONIZE, FALSE, PortLockName(L"Global\\", kPort).c_str());
    ASSERT_NE(global, nullptr) << GetLastError();
    CloseHandle(global);
    lock.Release(kPort);
    EXPECT_EQ(TryElsewhere(kPort), TPortLockTry::Acquired);
    {
        TNamedPortLock ending;
        ASSERT_EQ(ending.TryAcquire(kPort), TPortLockTry::Acquired);
    }
    EXPECT_EQ(TryElsewhere(kPort), TPortLockTry::Acquired) << "let go when the lock ends";
}

// Takes the port's mutex and ends without letting go, as a program that was killed.
DWORD WINAPI HoldAndEnd(void* mutex) {
    return WaitForSingleObject(*static_cast<HANDLE*>(mutex), 0);
}

TEST(NamedPortLock, AHolderThatEndedWithoutLettingGoLeavesItFree) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, PortLockName(L"Global\\", kPort).c_str());
    ASSERT_NE(mutex, nullptr);
    const HANDLE thread = CreateThread(nullptr, 0, HoldAndEnd, &mutex, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD held = 1;
    GetExitCodeThread(thread, &held);
    CloseHandle(thread);
    ASSERT_EQ(held, static_cast<DWORD>(WAIT_OBJECT_0));
    TNamedPortLock lock;
    EXPECT_EQ(lock.TryAcquire(kPort), TPortLockTry::Acquired);
    EXPECT_EQ(TryElsewhere(kPort), TPortLockTry::Held);
    lock.Release(kPort);
    CloseHandle(mutex);
}

}  // namespace
}  // namespace virel::app
