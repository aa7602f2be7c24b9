#pragma once
// The port's lock across processes (core/meter/PortLock.h) as a named mutex per port:
// "Global\VIREL1_Service.COM<n>". The name does not follow the executable's: every copy of the
// program on the PC shares the port.
#include <map>
#include <string>

#include "core/meter/PortLock.h"
#include "win/Scopes.h"

namespace virel::app {

// The mutex's name in the namespace `prefix` ("Global\" or "Local\").
std::wstring PortLockName(const wchar_t* prefix, int portNumber);

class TNamedPortLock final : public IPortLock {
public:
    TPortLockTry TryAcquire(int portNumber) override;
    void Release(int portNumber) override;

private:
    // The ownership ends before the handle (members end in reverse order).
    struct THeld {
        win::THandle mutex;
        win::TMutexOwnership owned;
    };
    std::map<int, THeld> held_;
};

}  // namespace virel::app
