// Start-up of VIREL1_Service.exe against a bare Win32 window (BareWindow.exe), measured in the
// same run: from CreateProcess to the main window being visible, the two programs taking turns.
// Each is closed again before the next start. Not a test: it prints figures.
//
//   StartupBench [starts of each program (20)] [another build of the program (Wine path)]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchSupport.h"
#include "core/Utf16.h"

#if !defined(VIREL_PROGRAM_PATH) || !defined(VIREL_BARE_PATH)
#error "VIREL_PROGRAM_PATH and VIREL_BARE_PATH must name the two programs"
#endif

namespace {

using namespace virel::bench;

// A visible top-level window of that class belonging to that process. A search by class asks
// the window system less than a walk over all windows, so the look itself slows the start
// being measured as little as possible.
HWND FindVisible(DWORD process, const wchar_t* windowClass) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, windowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// Milliseconds from CreateProcess to the window being visible; negative on failure.
double StartOnce(const wchar_t* path, const wchar_t* windowClass) {
    double took = -1;
    std::wstring command = std::wstring(L"\"") + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const double start = NowMs();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return took;
    }
    HWND found = nullptr;
    while (NowMs() - start < 30000) {
        found = FindVisible(info.dwProcessId, windowClass);
        if (found) {
            took = NowMs() - start;
            break;
        }
        if (WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0) break;  // ended early
    }
    if (found) PostMessageW(found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        took = -1;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return took;
}

void Print(const char* what, const TStats& s, const char* unit) {
    std::printf("  %-16s median %7.1f  mean %7.1f  min %7.1f  max %7.1f %s\n", what, s.Median(),
                s.Mean(), s.Min(), s.Max(), unit);
}
}  // namespace

int main(int argc, char** argv) {
    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    // A second build of the program (an earlier one, say) to compare with, started in turn with
    // the other two: one busy machine then disturbs all three alike.
    const std::wstring other = argc > 2 ? virel::Widen(argv[2]) : std::wstring();
    const int count = other.empty() ? 2 : 3;
    const wchar_t* paths[3] = {L"" VIREL_BARE_PATH, L"" VIREL_PROGRAM_PATH, other.c_str()};
    const wchar_t* classes[3] = {L"VirelBareWindow", L"TFace", L"TFace"};
    const char* names[3] = {"BareWindow.exe", "VIREL1_Service.exe", "the other build"};
    // One start of each first, not counted: the first start after a while loads the prefix's
    // shared state into the Wine server and the files into the page cache.
    for (int k = 0; k < count; ++k) StartOnce(paths[k], classes[k]);
    TStats wall[3];
    for (int i = 0; i < starts; ++i) {
        // Taking turns, and changing which goes first, so that all see the same machine.
        for (int k = 0; k < count; ++k) {
            const int which = (k + i) % count;
            const double took = StartOnce(paths[which], classes[which]);
            if (took < 0) {
                std::fprintf(stderr, "%s did not show its window\n", names[which]);
                return 1;
            }
            wall[which].Add(took);
        }
    }
    std::printf("Start-up to a visible main window, %d starts each:\n", starts);
    Print("bare window", wall[0], "ms");
    Print("VIREL1_Service", wall[1], "ms");
    if (count == 3) Print("other build", wall[2], "ms");
    for (int k = 1; k < count; ++k) {
        std::printf("  ratio%s: median %.2f, mean %.2f, min %.2f\n", k == 1 ? "" : " (other build)",
                    wall[k].Median() / wall[0].Median(), wall[k].Mean() / wall[0].Mean(),
                    wall[k].Min() / wall[0].Min());
    }
    if (count == 3) {
        std::printf("  this build / other build: median %.2f, mean %.2f\n",
                    wall[1].Median() / wall[2].Median(), wall[1].Mean() / wall[2].Mean());
    }
    return 0;
}
