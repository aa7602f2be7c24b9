#pragma once
// The periodic print's log file: one code page 1251 line per record, ended by CR LF. Lines that
// cannot be written are kept and written first at the next successful append; at exit, those
// still kept go to a file of the user's own.
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
    [[nodiscard]] virtual AppendResult Append(const std::string& path, const std::string& bytes) = 0;
    // The last `count` bytes of the file (fewer when it is shorter); empty when it is missing,
    // empty or cannot be read. Never throws.
    [[nodiscard]] virtual std::string Tail(const std::string& path, std::size_t count) = 0;
};

// What has to go before new lines so that they start on a line of their own, given the file's
// last bytes: nothing after CR LF or in an empty file, LF after a bare CR (completing its CR
// LF), CR LF after anything else. A bare LF is no line end to the Windows programs that read
// the log, so CR LF follows it too.
std::string LineEndBefore(const std::string& tail);

// What became of the lines still kept when the program ends.
struct KeptLinesAtExit {
    enum class Outcome {
        None,     // nothing was kept
        Written,  // the log took them after all
        Saved,    // they went to the other file
        Lost,     // neither file took them
    };
    Outcome outcome = Outcome::None;
    std::size_t lines = 0;    // kept at exit
    std::size_t dropped = 0;  // dropped earlier as the oldest beyond the limit of kept lines
    std::string savedTo;      // Saved: the other file's path
};

// The operator's message about it (UTF-8); empty when nothing needs saying.
std::string KeptLinesMessage(const KeptLinesAtExit& result);

class TLogFile {
public:
    static constexpr std::size_t kMaxKeptLines = 10'000;

    TLogFile(ILogFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}

    // Writes the kept lines and then this one (UTF-8 in, code page 1251 out), all in one
    // append, after a line end when the file's last line has none. False when the file could not be
    // opened or created: the line is kept (the oldest kept lines are dropped beyond kMaxKeptLines).
    // A write error propagates; the lines stay kept, so nothing is lost (at worst a line is written
    // twice).
    bool AppendLine(const std::string& line);

    // At exit: the kept lines are tried once more in the log, then appended to the file
    // `otherPath` (none when empty). Never throws; nothing stays kept.
    KeptLinesAtExit SaveKeptLines(const std::string& otherPath);

    const std::string& Path() const { return path_; }
    std::size_t KeptLines() const { return keptLengths_.size(); }
    std::size_t DroppedLines() const { return dropped_; }

private:
    // One append of the kept lines to `path`, after a line end where its last line lacks one.
    AppendResult AppendKept(const std::string& path);
    void DropOldestBeyondLimit();

    ILogFileSystem& files_;
    std::string path_;
    // Lines not yet written, encoded with their line ends, back to back: a failing tick costs
    // one append, not a copy of everything kept.
    std::string kept_;
    std::deque<std::size_t> keptLengths_;
    std::size_t dropped_ = 0;
};

}  // namespace virel
