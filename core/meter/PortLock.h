#pragma once
// The program's own lock of a serial port, shared by every process on the PC: never two
// exchanges on one port at once. Windows refuses a second opener of a port, but not every
// system does, and a harvest closes the port between its 256 records, where another program's
// exchange would otherwise come in and mix its replies with the harvest's.
#include <cstdint>

namespace virel {

enum class TPortLockTry {
    Acquired,  // held by this program now; also when its last holder ended without letting go
    Held,      // another exchange holds it: asked for again, as a busy port
    // The system gave no lock: the exchange goes on without one, as before there was a lock
    // (the system's refusal of a second opener still holds where there is one); a PC where
    // the lock cannot be made must not lose every exchange with its meter.
    Unavailable,
};

class IPortLock {
public:
    virtual ~IPortLock() = default;
    // One try, without waiting, at the lock of port COM<portNumber>.
    [[nodiscard]] virtual TPortLockTry TryAcquire(int portNumber) = 0;
    // Lets go of the lock of a port whose TryAcquire gave Acquired.
    virtual void Release(int portNumber) = 0;
};

}  // namespace virel
