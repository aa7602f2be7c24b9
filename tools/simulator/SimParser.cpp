#include "SimParser.h"

#include <algorithm>
#include <array>

namespace virel::sim {

namespace {

struct Pattern {
    CommandKind kind;
    std::array<std::uint8_t, 3> prefix;  // code byte and letters; RD's fourth byte is its argument
    std::size_t prefixSize;
};

constexpr Pattern kPatterns[] = {
    {CommandKind::Fpr, {0x01, 'F', 'P'}, 3},  // + 'R'
    {CommandKind::Rpr, {0x02, 'R', 'P'}, 3},  // + 'R'
    {CommandKind::Res, {0x03, 'R', 'E'}, 3},  // + 'S'
    {CommandKind::Rd, {0x04, 'R', 'D'}, 3},   // + record number
};
constexpr std::uint8_t kLastLetter[] = {'R', 'R', 'S', 0};

const Pattern* PatternFor(std::uint8_t code) {
    if (code < 0x01 || code > 0x04) return nullptr;
    return &kPatterns[code - 1];
}

enum class Match { Full, Partial, No };

Match MatchAt(const Bytes& buf, std::size_t pos, Command& out) {
    const Pattern* p = PatternFor(buf[pos]);
    if (!p) return Match::No;
    const std::size_t avail = buf.size() - pos;
    const std::size_t n = std::min<std::size_t>(avail, 4);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = buf[pos + i];
        if (i < p->prefixSize) {
            if (b != p->prefix[i]) return Match::No;
        } else if (p->kind != CommandKind::Rd && b != kLastLetter[buf[pos] - 1]) {
            return Match::No;
        }
    }
    if (avail < 4) return Match::Partial;
    out.kind = p->kind;
    out.arg = p->kind == CommandKind::Rd ? buf[pos + 3] : 0;
    out.raw.assign(buf.begin() + static_cast<std::ptrdiff_t>(pos),
                   buf.begin() + static_cast<std::ptrdiff_t>(pos + 4));
    return Match::Full;
}

}  // namespace

const char* CommandName(CommandKind kind) {
    switch (kind) {
        case CommandKind::Fpr:
            return "FPR";
        case CommandKind::Rpr:
            return "RPR";
        case CommandKind::Res:
            return "RES";
        case CommandKind::Rd:
            return "RD";
    }
    return "?";
}

std::vector<ParseEvent> TCommandParser::Feed(const std::uint8_t* data, std::size_t size,
                                             std::int64_t nowMs) {
    std::vector<ParseEvent> events;
    if (size == 0) return events;
    if (!pending_.empty() && nowMs - partialSinceMs_ > kPartialTimeoutMs) {
        ParseEvent stale;
        stale.kind = ParseEvent::Kind::Stale;
        stale.bytes = std::move(pending_);
        pending_.clear();
        events.push_back(std::move(stale));
    }
    const bool wasEmpty = pending_.empty();
    pending_.insert(pending_.end(), data, data + size);
    // What is left is the start of a command; its clock starts with its first byte's arrival.
    // A start that moved (bytes before it consumed) can only have come with this read.
    if (Scan(events) > 0 || wasEmpty) partialSinceMs_ = nowMs;
    return events;
}

std::size_t TCommandParser::Scan(std::vector<ParseEvent>& events) {
    std::size_t pos = 0;
    Bytes skipped;
    auto flushSkipped = [&] {
        if (skipped.empty()) return;
        ParseEvent e;
        e.kind = ParseEvent::Kind::Skipped;
        e.bytes = std::move(skipped);
        skipped.clear();
        events.push_back(std::move(e));
    };
    while (pos < pending_.size()) {
        Command cmd;
        const Match m = MatchAt(pending_, pos, cmd);
        if (m == Match::Full) {
            flushSkipped();
            ParseEvent e;
            e.kind = ParseEvent::Kind::Command;
            e.command = std::move(cmd);
            events.push_back(std::move(e));
            pos += 4;
        } else if (m == Match::Partial) {
            break;
        } else {
            skipped.push_back(pending_[pos]);
            ++pos;
        }
    }
    flushSkipped();
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
    return pos;
}

}  // namespace virel::sim
