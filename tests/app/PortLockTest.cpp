// The port's lock across processes as the system's named mutex: held by one thread, another
// (standing for another program: a mutex belongs to its thread) waits; a holder that ended
// without letting go leaves it free; each port has a lock of its own, under a name every copy
// of the program shares.
#include <gtest/gtest.h>
#include <windows.h>

#include <future>

#include "app/platform/PortLock.h"

namespace virel::app {
namespace {

// Port numbers no other case on this Wine server uses: the names are the whole server's.
constexpr int kPort = 201;
constexpr int kOtherPort = 202;

// A try on a thread of its own, as another program would make it.
TPortLockTry TryElsewhere(int port) {
    return std::async(std::launch::async,
                      [port] {
                          TNamedPortLock other;
                          return other.TryAcquire(port);  // let go with `other` when it ends
                      })
        .get();
}

TEST(NamedPortLock, TheNameIsTheProgramsAndThePortsInCapitals) {
    EXPECT_EQ(PortLockName(L"Global\\", 3), L"Global\\VIREL1_Service.COM3");
    EXPECT_EQ(PortLockName(L"Local\\", 255), L"Local\\VIREL1_Service.COM255");
}

TEST(NamedPortLock, AnotherHolderWaitsUntilItIsLetGo) {
    TNamedPortLock lock;
    ASSERT_EQ(lock.TryAcquire(kPort), TPortLockTry::Acquired);
    EXPECT_EQ(TryElsewhere(kPort), TPortLockTry::Held);
    EXPECT_EQ(TryElsewhere(kOtherPort), TPortLockTry::Acquired) << "each port its own lock";
    lock.Release(kPort);
    EXPECT_EQ(TryElsewhere(kPort), TPortLockTry::Acquired);
}

TEST(NamedPortLock, ItLivesInTheGlobalNamespaceForAScheduledTasksSession) {
    TNamedPortLock lock;
    ASSERT_EQ(lock.TryAcquire(kPort), TPortLockTry::Acquired);
    const HANDLE global = OpenMutexW(SYNCHRONIZE, FALSE, PortLockName(L"Global\\", kPort).c_str());
    ASSERT_NE(global, nullptr) << GetLastError();
    const DWORD waited =
        std::async(std::launch::async, [global] { return WaitForSingleObject(global, 0); }).get();
    EXPECT_EQ(waited, static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(global);
    lock.Release(kPort);
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

TEST(NamedPortLock, ItIsLetGoWhenTheLockEnds) {
    {
        TNamedPortLock lock;
        ASSERT_EQ(lock.TryAcquire(kPort), TPortLockTry::Acquired);
    }
    EXPECT_EQ(TryElsewhere(kPort), TPortLockTry::Acquired);
}

}  // namespace
}  // namespace virel::app
