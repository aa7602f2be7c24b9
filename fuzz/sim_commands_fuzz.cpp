// The simulated meter's input: any bytes from the line, in any pieces, at any times; and any
// text in its control file. Every byte is accounted for exactly once, in order.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "SimParser.h"
#include "SimSettings.h"
#include "fuzz/FuzzInput.h"

using namespace virel::sim;
using virel::fuzz::Check;
using virel::fuzz::TInput;

namespace {

bool IsCommand(const Bytes& raw) {
    if (raw.size() != 4) return false;
    static const char* const kLetters[] = {"FPR", "RPR", "RES", "RD"};
    if (raw[0] < 1 || raw[0] > 4) return false;
    const char* letters = kLetters[raw[0] - 1];
    for (int i = 0; letters[i]; ++i)
        if (raw[1 + i] != static_cast<std::uint8_t>(letters[i])) return false;
    return true;
}

std::vector<Bytes> CommandsOf(const std::vector<ParseEvent>& events) {
    std::vector<Bytes> out;
    for (const auto& e : events)
        if (e.kind == ParseEvent::Kind::Command) out.push_back(e.command.raw);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    TInput in(data, size);
    if (in.Byte() & 1) {
        // A control file: the settings that come out are always usable ones.
        std::vector<std::string> problems;
        const Settings s = ApplyControlText(Settings{}, in.Rest(), problems);
        Check(s.delayMs >= 0 && s.lateMs >= 0 && s.extra >= 0 && s.splitSize >= 0 &&
                  s.splitGapMs >= 0 && s.baud >= 0,
              "no negative durations or sizes");
        Check(s.deviceError >= 0 && s.deviceError <= 255, "an error number fits its byte");
        return 0;
    }

    // Pieces: a length byte, a time step byte, then that many bytes.
    TCommandParser pieces;
    TCommandParser whole;
    std::vector<ParseEvent> events;
    Bytes fed;
    std::int64_t now = 0;
    while (!in.Empty()) {
        const std::size_t length = in.Byte() % 16;
        const std::uint8_t step = in.Byte();
        now += step < 200 ? step : (step - 199) * 100;  // up to 5.6 s between pieces
        Bytes piece;
        for (std::size_t i = 0; i < length && !in.Empty(); ++i) piece.push_back(in.Byte());
        auto got = pieces.Feed(piece.data(), piece.size(), now);
        events.insert(events.end(), got.begin(), got.end());
        fed.insert(fed.end(), piece.begin(), piece.end());
        Check(pieces.PendingSize() < 4, "at most an unfinished command is held");
    }

    Bytes accounted;
    for (const auto& e : events) {
        const Bytes& b = e.kind == ParseEvent::Kind::Command ? e.command.raw : e.bytes;
        if (e.kind == ParseEvent::Kind::Command) {
            Check(IsCommand(b), "only the four commands are understood");
            if (e.command.kind == CommandKind::Rd) Check(e.command.arg == b[3], "RD's argument");
        }
        Check(!b.empty(), "no empty event");
        accounted.insert(accounted.end(), b.begin(), b.end());
    }
    Check(accounted.size() + pieces.PendingSize() == fed.size(), "every byte counted once");
    Check(std::equal(accounted.begin(), accounted.end(), fed.begin()), "bytes stay in order");

    // Without pauses long enough to drop a started command, the pieces do not matter.
    const bool stale = std::any_of(events.begin(), events.end(), [](const ParseEvent& e) {
        return e.kind == ParseEvent::Kind::Stale;
    });
    if (!stale) {
        const auto all = whole.Feed(fed.data(), fed.size(), 0);
        Check(CommandsOf(all) == CommandsOf(events), "the same commands however the bytes come");
    }
    return 0;
}
