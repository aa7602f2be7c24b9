// The simulated meter's state and its answers: which bytes go back for a command, in which
// pieces and after which pauses. No I/O and no clock of its own, so it is tested directly.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SimParser.h"
#include "SimRecord.h"
#include "SimSettings.h"

namespace virel::sim {

constexpr int kArchiveSize = 256;
using Archive = std::array<Record, kArchiveSize>;

// Archive file: 256 records, one a line, each 15 bytes as hex pairs (separators optional);
// blank lines and lines starting with '#' are skipped. Returns an error text, empty on success.
std::string ParseArchiveText(std::string_view text, Archive& out);
// Record n of the archive that the seed stands for: valid dates, right checksums.
Record GeneratedArchiveRecord(int number, std::uint64_t seed, int device);
// The dose of the n-th measurement of the day.
void MeasurementDose(std::uint64_t seed, int number, std::uint16_t& whole, std::uint8_t& fraction);

// The answer RES gets: three bytes, not examined by the master.
inline const Bytes kResetAnswer = {0x03, 0x4F, 0x4B};

struct ReplyPiece {
    // Piece 0: pause counted from the command's arrival; later pieces: from the end of the
    // previous piece.
    int gapBeforeMs = 0;
    Bytes bytes;
};

struct Reply {
    std::vector<ReplyPiece> pieces;  // empty: no answer
    std::vector<std::string> notes;  // what happened, for the log
};

class TSimMeter {
public:
    void SetArchive(std::optional<Archive> archive) { archive_ = std::move(archive); }
    Reply Handle(const Command& cmd, const Settings& s, const Stamp& now);

    int MeasureNumber() const { return measure_; }
    int CommandsSeen() const { return commands_; }

private:
    std::optional<Archive> archive_;
    int commands_ = 0;
    int measure_ = 0;  // number of the last measurement of the day; 0 after RES
    std::optional<Stamp> lastDay_;
};

// Applies the record faults of the settings (device error, invalid time, bad checksum).
void ApplyRecordFaults(Record& r, const Settings& s);
// Turns an answer into pieces: reply-length, extra, garbage, split, delay/late.
std::vector<ReplyPiece> ShapeAnswer(const Bytes& answer, const Settings& s);

}  // namespace virel::sim
