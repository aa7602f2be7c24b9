#pragma once
// The periodic print's log file: one code page 1251 line per record, ended by CR LF. Lines that
// cannot be written are kept and written first at the next successful append.
#include <cstddef>
#include <deque>
#include <string>
#include <utility>

namespace virel {

enum class AppendResult {
    Appended,    // the file existed and the bytes were added at its end
    Created,     // the file did not exist; it was created with the bytes
    NotWritten,  // it exists but cannot be opened for appending (locked, read-only), or it does
                 // not exist and cannot be created (missing directory, no right): untouched
};

// The file system as the log uses it. Win32: app/PlatformLogFile.
class ILogFileSystem {
public:
    virtual ~ILogFileSystem() = default;
    // Appends the bytes in one write and flushes; an existing file is never replaced. Throws
    // virel::Exception when writing or flushing fails (the file is closed all the same).
    virtual AppendResult Append(const std::string& path, const std::string& bytes) = 0;
};

class TLogFile {
public:
    static constexpr std::size_t kMaxKeptLines = 10'000;

    TLogFile(ILogFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}

    // Writes the kept lines and then this one (UTF-8 in, code page 1251 out), all in one
    // append. False when the file could not be opened or created: the line is kept (the
    // oldest kept lines are dropped beyond kMaxKeptLines). A write error propagates; the lines
    // stay kept, so nothing is lost (at worst a line is written twice).
    bool AppendLine(const std::string& line);

    const std::string& Path() const { return path_; }
    std::size_t KeptLines() const { return keptLengths_.size(); }

private:
    void DropOldestBeyondLimit();

    ILogFileSystem& files_;
    std::string path_;
    // Lines not yet written, encoded with their line ends, back to back: a failing tick costs
    // one append, not a copy of everything kept.
    std::string kept_;
    std::deque<std::size_t> keptLengths_;
};

}  // namespace virel
