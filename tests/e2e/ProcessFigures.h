#pragma once
// What a process holds, as the system's task list shows it: committed private memory, kernel
// handles, GDI objects and USER objects. Where the system's own counters are missing (Wine
// answers 0 or "not implemented"), the same things are counted directly: private committed
// regions, the process's entries in the system handle table and in its GDI handle table, and
// its windows.
#include <windows.h>

#include <cstdint>

namespace virel::e2e {

struct TProcessFigures {
    std::uint64_t privateBytes = 0;
    std::uint32_t handles = 0;
    std::uint32_t gdiObjects = 0;
    std::uint32_t userObjects = 0;
};
TProcessFigures MeasureProcess(HANDLE process, DWORD processId);

}  // namespace virel::e2e
