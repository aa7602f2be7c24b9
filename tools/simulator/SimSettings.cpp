#include "SimSettings.h"

#include <charconv>
#include <limits>

namespace virel::sim {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

template <typename T>
bool ParseNumber(std::string_view text, T& out, T lo, T hi) {
    text = Trim(text);
    if (text.empty()) return false;
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ParseBool(std::string_view text, bool& out) {
    text = Trim(text);
    if (text == "1" || text == "yes" || text == "true" || text == "on") {
        out = true;
        return true;
    }
    if (text == "0" || text == "no" || text == "false" || text == "off") {
        out = false;
        return true;
    }
    return false;
}

constexpr int kMaxMs = 600000;  // ten minutes: more is surely a typing error

bool IsBooleanKey(std::string_view key) {
    return key == "silent" || key == "silent-end" || key == "bad-checksum" || key == "invalid-time";
}

}  // namespace

bool Settings::SkipsRecord(int number) const {
    for (const auto& [lo, hi] : skipRecords) {
        if (number >= lo && number <= hi) return true;
    }
    return false;
}

bool ParseRanges(std::string_view text, std::vector<std::pair<int, int>>& out) {
    std::vector<std::pair<int, int>> result;
    text = Trim(text);
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view item = Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty()) return false;
        int lo = 0;
        int hi = 0;
        const std::size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            if (!ParseNumber(item, lo, 0, 255)) return false;
            hi = lo;
        } else {
            if (!ParseNumber(item.substr(0, dash), lo, 0, 255)) return false;
            if (!ParseNumber(item.substr(dash + 1), hi, 0, 255)) return false;
            if (hi < lo) return false;
        }
        result.emplace_back(lo, hi);
    }
    out = std::move(result);
    return true;
}

std::string ApplySetting(Settings& s, std::string_view key, std::string_view value) {
    key = Trim(key);
    value = Trim(value);
    const std::string bad = "bad value for " + std::string(key) + ": '" + std::string(value) + "'";
    Settings t = s;
    bool ok = false;
    if (key == "device") {
        ok = ParseNumber(value, t.device, 0, 65535);
    } else if (key == "seed") {
        ok =
            ParseNumber(value, t.seed, std::uint64_t{0}, std::numeric_limits<std::uint64_t>::max());
    } else if (key == "archive") {
        t.archivePath = std::string(value);
        ok = true;
    } else if (key == "delay") {
        ok = ParseNumber(value, t.delayMs, 0, kMaxMs);
    } else if (key == "silent") {
        ok = ParseBool(value, t.silent);
    } else if (key == "silent-end") {
        ok = ParseBool(value, t.silentEnd);
    } else if (key == "reply-length") {
        ok = ParseNumber(value, t.replyLength, -1, 4096);
    } else if (key == "split") {
        const std::size_t colon = value.find(':');
        if (colon == std::string_view::npos) {
            ok = ParseNumber(value, t.splitSize, 0, 4096);
            t.splitGapMs = 0;
        } else {
            ok = ParseNumber(value.substr(0, colon), t.splitSize, 0, 4096) &&
                 ParseNumber(value.substr(colon + 1), t.splitGapMs, 0, kMaxMs);
        }
    } else if (key == "extra") {
        ok = ParseNumber(value, t.extra, 0, 4096);
    } else if (key == "bad-checksum") {
        ok = ParseBool(value, t.badChecksum);
    } else if (key == "device-error") {
        ok = ParseNumber(value, t.deviceError, 0, 255);
    } else if (key == "invalid-time") {
        ok = ParseBool(value, t.invalidTime);
    } else if (key == "late") {
        ok = ParseNumber(value, t.lateMs, 0, kMaxMs);
    } else if (key == "garbage") {
        ok = ParseHexBytes(value, t.garbage) && t.garbage.size() <= 4096;
    } else if (key == "skip-records") {
        ok = ParseRanges(value, t.skipRecords);
    } else if (key == "answer-count") {
        ok = ParseNumber(value, t.answerCount, -1, std::numeric_limits<int>::max());
    } else if (key == "baud") {
        ok = ParseNumber(value, t.baud, 0, 115200) && (t.baud == 0 || t.baud >= 300);
    } else {
        return "unknown key: " + std::string(key);
    }
    if (!ok) return bad;
    s = std::move(t);
    return {};
}

std::string ParseCommandLine(const std::vector<std::string>& args, StartOptions& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out.help = true;
            continue;
        }
        if (a.rfind("--", 0) != 0 || a.size() == 2) return "unexpected argument: " + a;
        std::string key = a.substr(2);
        std::string value;
        const std::size_t eq = key.find('=');
        if (eq != std::string::npos) {
            value = key.substr(eq + 1);
            key.resize(eq);
        } else if (IsBooleanKey(key) && (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)) {
            value = "1";
        } else {
            if (i + 1 >= args.size()) return "missing value for --" + key;
            value = args[++i];
        }
        if (key == "link") {
            out.link = value;
        } else if (key == "log") {
            out.log = value;
        } else if (key == "pidfile") {
            out.pidfile = value;
        } else if (key == "control") {
            out.control = value;
        } else {
            std::string err = ApplySetting(out.settings, key, value);
            if (!err.empty()) return err;
        }
    }
    return {};
}

Settings ApplyControlText(const Settings& base, std::string_view text,
                          std::vector<std::string>& problems) {
    Settings s = base;
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        ++lineNo;
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            problems.push_back("line " + std::to_string(lineNo) + ": no '=': " + std::string(line));
            continue;
        }
        const std::string_view key = Trim(line.substr(0, eq));
        if (key == "link" || key == "log" || key == "pidfile" || key == "control") {
            problems.push_back("line " + std::to_string(lineNo) + ": " + std::string(key) +
                               " is a start option only");
            continue;
        }
        std::string err = ApplySetting(s, key, line.substr(eq + 1));
        if (!err.empty()) problems.push_back("line " + std::to_string(lineNo) + ": " + err);
    }
    return s;
}

std::string UsageText() {
    return R"(virel1-sim: a simulated VIREL-1 dose meter on a pseudo-terminal.

Start options:
  --link PATH      make PATH a symlink to the slave side (replaced atomically)
  --log FILE       append "<epoch-ms> RX|TX|NOTE ..." lines, one per event
  --pidfile FILE   write the process id here; removed on exit
  --control FILE   key=value lines re-read before each command when the file changed
Behaviour (also as key=value in the control file; file keys win over the command line):
  --device N       device number (default 42)
  --seed S         seed of the doses and of the generated archive (default 1)
  --archive FILE   256 lines of 15 hex bytes: the archive records 0..255
  --delay MS       pause before each answer
  --silent 1       never answer
  --reply-length N cut each answer to N bytes, or pad it with EE bytes up to N
  --split N:GAPMS  send answers in pieces of N bytes with GAPMS pauses
  --extra N        append N EE bytes to each answer
  --bad-checksum 1 records carry a wrong checksum
  --device-error N records carry error number N (checksum kept right)
  --invalid-time 1 records are stamped 31 February
  --late MS        answer only MS after the command (instead of --delay)
  --garbage HEX    send these bytes before each answer
  --skip-records L RD of these record numbers (e.g. 1,5,10-20) gets no answer
  --answer-count N answer only the first N commands, then stay silent
  --baud B         pace output like a line of B baud (10 bits per byte); 0 = at once
The slave path is printed on stdout. SIGTERM or SIGINT ends the program.
)";
}

}  // namespace virel::sim
