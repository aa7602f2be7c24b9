#include "SimMeter.h"

namespace virel::sim {

std::string ParseArchiveText(std::string_view text, Archive& out) {
    Archive a{};
    int count = 0;
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        ++lineNo;
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        Bytes b;
        if (!ParseHexBytes(line, b)) return "line " + std::to_string(lineNo) + ": not hex bytes";
        if (b.size() != kRecordSize) {
            return "line " + std::to_string(lineNo) + ": " + std::to_string(b.size()) +
                   " bytes instead of 15";
        }
        if (count >= kArchiveSize) return "more than 256 records";
        std::copy(b.begin(), b.end(), a[static_cast<std::size_t>(count)].begin());
        ++count;
    }
    if (count != kArchiveSize) return std::to_string(count) + " records instead of 256";
    out = a;
    return {};
}

void MeasurementDose(std::uint64_t seed, int number, std::uint16_t& whole, std::uint8_t& fraction) {
    const std::uint64_t h = Mix(seed * 0x100000001B3ull + static_cast<std::uint64_t>(number));
    whole = static_cast<std::uint16_t>(h % 1000);
    fraction = static_cast<std::uint8_t>((h >> 20) % 100);
}

Record GeneratedArchiveRecord(int number, std::uint64_t seed, int device) {
    const std::uint64_t h = Mix(Mix(seed) ^ (0xA5A5ull << 32) ^ static_cast<std::uint64_t>(number));
    RecordFields f;
    f.device = static_cast<std::uint16_t>(device);
    f.measure = static_cast<std::uint16_t>(1 + h % 40);
    // Records grow older towards number 0: about three days apart, all inside 2020-2022.
    Stamp base{2020, 1, 1, 0, 0};
    f.stamp = AddDays(base, number * 3 + static_cast<int>((h >> 8) % 3));
    f.stamp.hour = static_cast<int>((h >> 16) % 24);
    f.stamp.minute = static_cast<int>((h >> 24) % 60);
    f.doseWhole = static_cast<std::uint16_t>((h >> 32) % 2000);
    f.doseFraction = static_cast<std::uint8_t>((h >> 48) % 100);
    f.error = 0;
    return MakeRecord(f);
}

void ApplyRecordFaults(Record& r, const Settings& s) {
    if (s.deviceError > 0) r[kOffError] = static_cast<std::uint8_t>(s.deviceError);
    if (s.invalidTime) {
        r[kOffDay] = 0x31;
        r[kOffMonth] = 0x02;
    }
    SealRecord(r);
    if (s.badChecksum) r[kOffChecksum] = static_cast<std::uint8_t>(r[kOffChecksum] + 1);
}

std::vector<ReplyPiece> ShapeAnswer(const Bytes& answer, const Settings& s) {
    Bytes body = answer;
    if (s.replyLength >= 0) body.resize(static_cast<std::size_t>(s.replyLength), kFillerByte);
    body.insert(body.end(), static_cast<std::size_t>(s.extra), kFillerByte);
    Bytes stream = s.garbage;
    stream.insert(stream.end(), body.begin(), body.end());
    std::vector<ReplyPiece> pieces;
    if (stream.empty()) return pieces;
    const int firstGap = s.lateMs > 0 ? s.lateMs : s.delayMs;
    const std::size_t size =
        s.splitSize > 0 ? static_cast<std::size_t>(s.splitSize) : stream.size();
    for (std::size_t pos = 0; pos < stream.size(); pos += size) {
        ReplyPiece p;
        p.gapBeforeMs = pos == 0 ? firstGap : s.splitGapMs;
        const std::size_t end = std::min(stream.size(), pos + size);
        p.bytes.assign(stream.begin() + static_cast<std::ptrdiff_t>(pos),
                       stream.begin() + static_cast<std::ptrdiff_t>(end));
        pieces.push_back(std::move(p));
    }
    return pieces;
}

Reply TSimMeter::Handle(const Command& cmd, const Settings& s, const Stamp& now) {
    Reply reply;
    ++commands_;
    std::string name = CommandName(cmd.kind);
    if (cmd.kind == CommandKind::Rd) name += " " + std::to_string(cmd.arg);
    if (s.answerCount >= 0 && commands_ > s.answerCount) {
        reply.notes.push_back(name + ": no answer (answer-count " + std::to_string(s.answerCount) +
                              " used up)");
        return reply;
    }
    if (s.silent) {
        reply.notes.push_back(name + ": no answer (silent)");
        return reply;
    }
    if (s.silentEnd && (cmd.kind == CommandKind::Fpr || cmd.kind == CommandKind::Rpr)) {
        reply.notes.push_back(name + ": no answer (silent-end)");
        return reply;
    }
    Bytes answer;
    switch (cmd.kind) {
        case CommandKind::Fpr:
        case CommandKind::Rpr: {
            const bool newDay = !lastDay_ || lastDay_->year != now.year ||
                                lastDay_->month != now.month || lastDay_->day != now.day;
            if (newDay) measure_ = 0;
            lastDay_ = now;
            ++measure_;
            RecordFields f;
            f.device = static_cast<std::uint16_t>(s.device);
            f.measure = static_cast<std::uint16_t>(measure_);
            f.stamp = now;
            MeasurementDose(s.seed, measure_, f.doseWhole, f.doseFraction);
            Record r = MakeRecord(f);
            ApplyRecordFaults(r, s);
            answer.assign(r.begin(), r.end());
            reply.notes.push_back(name + ": measurement " + std::to_string(measure_) +
                                  " ended, dose " + std::to_string(f.doseWhole) + "." +
                                  std::to_string(f.doseFraction));
            if (cmd.kind == CommandKind::Rpr) {
                reply.notes.push_back("printing: " + HexBytes(r));
            }
            break;
        }
        case CommandKind::Res:
            measure_ = 0;
            answer = kResetAnswer;
            reply.notes.push_back(name + ": current values reset");
            break;
        case CommandKind::Rd: {
            if (s.SkipsRecord(cmd.arg)) {
                reply.notes.push_back(name + ": no answer (skip-records)");
                return reply;
            }
            Record r =
                archive_ ? (*archive_)[cmd.arg] : GeneratedArchiveRecord(cmd.arg, s.seed, s.device);
            if (s.deviceError > 0 || s.invalidTime || s.badChecksum) ApplyRecordFaults(r, s);
            answer.assign(r.begin(), r.end());
            reply.notes.push_back(name + ": archive record");
            break;
        }
    }
    reply.pieces = ShapeAnswer(answer, s);
    if (reply.pieces.empty()) reply.notes.push_back(name + ": answer shaped to nothing");
    return reply;
}

}  // namespace virel::sim
