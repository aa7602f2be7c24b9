// What the simulated meter is told to do: start options from the command line and behaviour
// keys that a control file can change while it runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SimRecord.h"

namespace virel::sim {

struct Settings {
    int device = 42;           // device number in every record
    std::uint64_t seed = 1;    // doses and the generated archive follow from it
    std::string archivePath;   // empty: archive generated from the seed
    int delayMs = 0;           // pause before answering
    bool silent = false;       // answer nothing
    bool silentEnd = false;    // FPR and RPR (the end of measurement) get no answer
    int replyLength = -1;      // <0: as is; else cut to or padded up to this many bytes
    int splitSize = 0;         // 0: one piece; else pieces of this many bytes...
    int splitGapMs = 0;        // ...with this pause between them
    int extra = 0;             // filler bytes appended to each answer
    bool badChecksum = false;  // records carry a wrong checksum
    int deviceError = 0;       // 1..255: error byte of every record (checksum kept right)
    bool invalidTime = false;  // records stamped 31 February
    int lateMs = 0;            // >0: answer only this long after the command (replaces delay)
    Bytes garbage;             // sent before each answer
    std::vector<std::pair<int, int>> skipRecords;  // RD of these numbers goes unanswered
    int answerCount = -1;  // >=0: answer only this many commands, then stay silent
    int baud = 0;          // 0: write at once; else pace output at 10 bits per byte

    bool SkipsRecord(int number) const;
};

// Filler byte used by reply-length padding and extra.
constexpr std::uint8_t kFillerByte = 0xEE;

// Sets one key; returns an error text (empty on success), leaving the settings unchanged on error.
// Keys: device seed archive delay silent silent-end reply-length split extra bad-checksum device-error
// invalid-time late garbage skip-records answer-count baud.
std::string ApplySetting(Settings& s, std::string_view key, std::string_view value);

// Parses "1,5,10-20" (spaces allowed, empty list allowed).
bool ParseRanges(std::string_view text, std::vector<std::pair<int, int>>& out);

struct StartOptions {
    std::string link;
    std::string log;
    std::string pidfile;
    std::string control;
    Settings settings;
    bool help = false;
};

// "--name value" or "--name=value"; boolean keys may stand alone. Returns an error text.
std::string ParseCommandLine(const std::vector<std::string>& args, StartOptions& out);

// Overlays the key=value lines of a control file on the start settings. Lines that do not parse
// are skipped and described in problems.
Settings ApplyControlText(const Settings& base, std::string_view text,
                          std::vector<std::string>& problems);

std::string UsageText();

}  // namespace virel::sim
