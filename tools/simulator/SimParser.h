// Splits the byte stream from the master into commands. Commands carry no terminator and may
// arrive split across reads or glued together; anything that cannot start a command is skipped.
#pragma once

#include <cstdint>
#include <vector>

#include "SimRecord.h"

namespace virel::sim {

enum class CommandKind { Fpr, Rpr, Res, Rd };

struct Command {
    CommandKind kind = CommandKind::Fpr;
    std::uint8_t arg = 0;  // record number for RD
    Bytes raw;             // the four bytes as received
};

const char* CommandName(CommandKind kind);

struct ParseEvent {
    enum class Kind { Command, Skipped, Stale } kind = Kind::Command;
    Command command;  // Kind::Command
    Bytes bytes;      // Kind::Skipped: unknown bytes; Kind::Stale: a command start left unfinished
};

class TCommandParser {
public:
    // A command start that waits longer than this for its remaining bytes is dropped, so a cut
    // RD (whose last byte may be anything) cannot swallow the first byte of the next command.
    static constexpr std::int64_t kPartialTimeoutMs = 1000;

    // nowMs is a monotonic time of the arrival of these bytes.
    std::vector<ParseEvent> Feed(const std::uint8_t* data, std::size_t size, std::int64_t nowMs);
    std::size_t PendingSize() const { return pending_.size(); }

private:
    // Returns how many bytes were consumed from the front of the pending buffer.
    std::size_t Scan(std::vector<ParseEvent>& events);

    Bytes pending_;
    std::int64_t partialSinceMs_ = 0;
};

}  // namespace virel::sim
