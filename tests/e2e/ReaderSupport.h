#pragma once
// The independent readers (Python: openpyxl, csv, sqlite3) that the end-to-end cases check the
// program's files with: Linux programs, started through Wine.
#include <string>
#include <vector>

namespace virel::e2e {

// "Z:\a\b" -> "/a/b": the path as a Linux program sees it.
std::string UnixPath(const std::wstring& path);
// What `reader` (a command line) prints about `file`, as tab-separated fields per line.
std::vector<std::vector<std::string>> RunReader(const char* reader, const std::wstring& file);

}  // namespace virel::e2e
