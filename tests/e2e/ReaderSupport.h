#pragma once
// The independent readers (Python: openpyxl, csv, sqlite3) that the end-to-end cases check the
// program's files with: Linux programs, started through Wine. And the program itself started
// from a command line without a window (/harvest, /report, /push …), as a scheduled task would.
#include <windows.h>

#include <string>
#include <vector>

namespace virel::e2e {

// "Z:\a\b" -> "/a/b": the path as a Linux program sees it.
std::string UnixPath(const std::wstring& path);
// What `reader` (a command line) prints about `file`, as tab-separated fields per line.
std::vector<std::vector<std::string>> RunReader(const char* reader, const std::wstring& file);

// A file's bytes (none when it cannot be read); a file made of `bytes`.
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

struct TProgramRun {
    DWORD exitCode = 0xFFFF;  // 0xDEAD: ended by the time-out; 0xFFFF: not started
    std::string output;       // standard output and error as the program wrote them; not
                              // started: why (the call and the system's error)
    double ms = 0;            // from the start to its end
};
// Starts `exe arguments` in `folder` with its standard output and error a pipe, reads what it
// says while it runs, and waits for its end (at most timeoutMs, then it is ended). A start that
// fails is made again, up to kStartAttempts in all; the failures go to the case's log.
inline constexpr int kStartAttempts = 3;
TProgramRun RunProgram(const std::wstring& exe, const std::wstring& arguments,
                       const std::wstring& folder, DWORD timeoutMs = 120'000);

// A folder made for this case alone in `parent` ("prefix-<process>-<ticks>-<n>"): process
// numbers come round again in a long run, and a later case must not meet an earlier one's copy
// of the program.
std::wstring NewFolder(const std::wstring& parent, const std::wstring& prefix);

}  // namespace virel::e2e
