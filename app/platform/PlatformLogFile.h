#pragma once
// The log file on the Windows file system: appended to in place, created only when missing,
// shared for reading and writing so the operator can watch it in a viewer.
#include <cstddef>
#include <string>

#include "core/meter/LogFile.h"

namespace virel::app {

class TPlatformLogFileSystem : public ILogFileSystem {
public:
    // path: UTF-8. Throws virel::Exception with the system's message when writing, flushing or
    // closing fails; the handle is closed on every path.
    AppendResult Append(const std::string& path, const std::string& bytes) override;
    std::string Tail(const std::string& path, std::size_t count) override;
};

// The file in the user's own application data folder that takes the log's lines still unwritten
// at exit (the folder is created); empty when there is no such folder.
std::string UserLogFilePath();

}  // namespace virel::app
