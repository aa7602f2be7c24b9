#include "ProcessFigures.h"

#include <psapi.h>
#include <winternl.h>

#include <vector>

namespace virel::e2e {

namespace {

std::uint64_t PrivateCommitted(HANDLE process) {
    std::uint64_t total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (auto* at = static_cast<char*>(nullptr);
         VirtualQueryEx(process, at, &info, sizeof info) == sizeof info;
         at = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        if (info.RegionSize == 0) break;
    }
    return total;
}

// The system handle table (information class 16), as Windows and Wine both keep it.
struct THandleEntry {
    ULONG processId;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

std::uint32_t HandlesInSystemTable(DWORD processId) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<char> buffer(1 << 20);
    ULONG got = 0;
    LONG status;
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &got)) ==
               static_cast<LONG>(0xC0000004) &&
           buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const THandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    std::uint32_t mine = 0;
    for (ULONG i = 0; i < count; ++i)
        if (entries[i].processId == processId) ++mine;
    return mine;
}

// The GDI handle table the process environment block points at (offset 0xF8 on x64): one
// 24-byte entry per handle, its type byte non-zero while the object lives.
struct TGdiEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t user;
};
static_assert(sizeof(TGdiEntry) == 24);

std::uint32_t GdiObjectsInTable(HANDLE process, DWORD processId) {
    using Query = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    ULONG got = 0;
    if (!query || query(process, 0, &basic, sizeof basic, &got) != 0) return 0;
    std::uint64_t table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<char*>(basic.PebBaseAddress) + 0xF8, &table,
                           sizeof table, &read) ||
        table == 0)
        return 0;
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQueryEx(process, reinterpret_cast<void*>(table), &region, sizeof region)) return 0;
    std::vector<TGdiEntry> entries(region.RegionSize / sizeof(TGdiEntry));
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(),
                           entries.size() * sizeof(TGdiEntry), &read))
        return 0;
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < read / sizeof(TGdiEntry); ++i) {
        // Windows shares one table among a session's processes; Wine has one per process.
        const std::uint16_t owner = static_cast<std::uint16_t>(entries[i].owner & 0xFFFF);
        if (entries[i].type != 0 && (owner == 0 || owner == (processId & 0xFFFF))) ++count;
    }
    return count;
}

struct TWindowCount {
    DWORD processId;
    std::uint32_t count = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM data) {
    ++reinterpret_cast<TWindowCount*>(data)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
    auto* c = reinterpret_cast<TWindowCount*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != c->processId) return TRUE;
    ++c->count;
    EnumChildWindows(window, CountChild, data);
    return TRUE;
}

std::uint32_t WindowsOf(DWORD processId) {
    TWindowCount c{processId};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&c));
    // Message-only windows (a serial component's, a timer's) are USER objects too.
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == processId) ++c.count;
    }
    return c.count;
}

}  // namespace

TProcessFigures MeasureProcess(HANDLE process, DWORD processId) {
    TProcessFigures f;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory))
        f.privateBytes = memory.PrivateUsage;
    if (f.privateBytes == 0) f.privateBytes = PrivateCommitted(process);
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles)) f.handles = handles;
    if (f.handles == 0) f.handles = HandlesInSystemTable(processId);
    f.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    if (f.gdiObjects == 0) f.gdiObjects = GdiObjectsInTable(process, processId);
    f.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    if (f.userObjects == 0) f.userObjects = WindowsOf(processId);
    return f;
}

}  // namespace virel::e2e
