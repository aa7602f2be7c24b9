// The simulated meter's logic without a pseudo-terminal: records, command parsing, settings,
// answers and their shaping.
#include <gtest/gtest.h>

#include <set>

#include "SimMeter.h"
#include "SimParser.h"
#include "SimRecord.h"
#include "SimSettings.h"

using namespace virel::sim;

namespace {

Bytes B(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) b.push_back(static_cast<std::uint8_t>(x));
    return b;
}

const Bytes kFpr = B({0x01, 0x46, 0x50, 0x52});
const Bytes kRpr = B({0x02, 0x52, 0x50, 0x52});
const Bytes kRes = B({0x03, 0x52, 0x45, 0x53});
Bytes Rd(int n) {
    return B({0x04, 0x52, 0x44, n});
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<ParseEvent> Feed(TCommandParser& p, const Bytes& b, std::int64_t t) {
    return p.Feed(b.data(), b.size(), t);
}

std::vector<Command> CommandsOf(const std::vector<ParseEvent>& ev) {
    std::vector<Command> out;
    for (const auto& e : ev) {
        if (e.kind == ParseEvent::Kind::Command) out.push_back(e.command);
    }
    return out;
}

Command Cmd(CommandKind k, int arg = 0) {
    Command c;
    c.kind = k;
    c.arg = static_cast<std::uint8_t>(arg);
    return c;
}

Record ToRecord(const Bytes& b) {
    Record r{};
    EXPECT_EQ(b.size(), kRecordSize);
    std::copy_n(b.begin(), std::min(b.size(), kRecordSize), r.begin());
    return r;
}

Bytes Joined(const std::vector<ReplyPiece>& pieces) {
    Bytes out;
    for (const auto& p : pieces) out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    return out;
}

bool StampOf(const Record& r, Stamp& s) {
    int mi, h, d, mo, y;
    if (!FromBcd(r[kOffMinute], mi) || !FromBcd(r[kOffHour], h) || !FromBcd(r[kOffDay], d) ||
        !FromBcd(r[kOffMonth], mo) || !FromBcd(r[kOffYear], y)) {
        return false;
    }
    s = Stamp{2000 + y, mo, d, h, mi};
    return true;
}

}  // namespace

TEST(SimRecord, BcdCalendarAndChecksum) {
    EXPECT_EQ(ToBcd(0), 0x00);
    EXPECT_EQ(ToBcd(7), 0x07);
    EXPECT_EQ(ToBcd(35), 0x35);
    EXPECT_EQ(ToBcd(99), 0x99);
    int v = -1;
    EXPECT_TRUE(FromBcd(0x59, v));
    EXPECT_EQ(v, 59);
    EXPECT_FALSE(FromBcd(0x5A, v));
    EXPECT_FALSE(FromBcd(0xA0, v));

    EXPECT_EQ(DaysInMonth(2008, 2), 29);
    EXPECT_EQ(DaysInMonth(2007, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2024, 4), 30);
    EXPECT_EQ(DaysInMonth(2024, 13), 0);
    EXPECT_TRUE(IsValidStamp({2008, 2, 29, 23, 59}));
    EXPECT_FALSE(IsValidStamp({2007, 2, 29, 0, 0}));
    EXPECT_FALSE(IsValidStamp({2007, 1, 1, 24, 0}));
    EXPECT_FALSE(IsValidStamp({2007, 1, 1, 0, 60}));
    EXPECT_FALSE(IsValidStamp({2100, 1, 1, 0, 0}));
    EXPECT_EQ(AddDays({2020, 1, 1, 5, 6}, 0), (Stamp{2020, 1, 1, 5, 6}));
    EXPECT_EQ(AddDays({2020, 1, 1, 5, 6}, 59), (Stamp{2020, 2, 29, 5, 6}));
    EXPECT_EQ(AddDays({2020, 1, 1, 0, 0}, 366), (Stamp{2021, 1, 1, 0, 0}));
    EXPECT_EQ(AddDays({2021, 12, 31, 0, 0}, 1), (Stamp{2022, 1, 1, 0, 0}));

    // The meter's own example record: 42, measurement 7, 05.03.2007 14:35, dose 258.45.
    RecordFields f;
    f.device = 42;
    f.measure = 7;
    f.stamp = {2007, 3, 5, 14, 35};
    f.doseWhole = 258;
    f.doseFraction = 45;
    const Record r = MakeRecord(f);
    EXPECT_EQ(HexBytes(r), "00 2A 00 07 35 14 05 03 07 00 01 02 2D 00 B9");

    // The checksum wraps modulo 256.
    Record big{};
    big.fill(0xFF);
    SealRecord(big);
    EXPECT_EQ(big[kOffChecksum], (14 * 0xFF) & 0xFF);
    big[0] = 0xFE;
    EXPECT_NE(RecordChecksum(big), big[kOffChecksum]);
}

TEST(SimRecord, HexTextBothWays) {
    EXPECT_EQ(HexBytes(B({0x00, 0x0A, 0xFF})), "00 0A FF");
    EXPECT_EQ(HexBytes(Bytes{}), "");
    Bytes out;
    ASSERT_TRUE(ParseHexBytes("01 46,50:52", out));
    EXPECT_EQ(out, kFpr);
    ASSERT_TRUE(ParseHexBytes("aaBB0c", out));
    EXPECT_EQ(out, B({0xAA, 0xBB, 0x0C}));
    ASSERT_TRUE(ParseHexBytes("", out));
    EXPECT_TRUE(out.empty());
    out = B({1});
    EXPECT_FALSE(ParseHexBytes("0 1", out));
    EXPECT_FALSE(ParseHexBytes("ABC", out));
    EXPECT_FALSE(ParseHexBytes("zz", out));
    EXPECT_EQ(out, B({1})) << "a failed parse leaves the output alone";
}

TEST(SimParser, WholeGluedAndSplitCommands) {
    TCommandParser p;
    auto cmds = CommandsOf(Feed(p, Cat({kFpr, kRpr, kRes, Rd(0), Rd(0xFF), Rd(0x01)}), 0));
    ASSERT_EQ(cmds.size(), 6u);
    EXPECT_EQ(cmds[0].kind, CommandKind::Fpr);
    EXPECT_EQ(cmds[1].kind, CommandKind::Rpr);
    EXPECT_EQ(cmds[2].kind, CommandKind::Res);
    EXPECT_EQ(cmds[3].kind, CommandKind::Rd);
    EXPECT_EQ(cmds[3].arg, 0);
    EXPECT_EQ(cmds[4].arg, 0xFF);
    EXPECT_EQ(cmds[5].arg, 0x01) << "an RD argument that looks like a command code is an argument";
    EXPECT_EQ(cmds[1].raw, kRpr);
    EXPECT_EQ(p.PendingSize(), 0u);

    // Byte by byte, with pauses shorter than the partial time-out.
    const Bytes all = Cat({Rd(0x04), kFpr});
    std::vector<Command> got;
    for (std::size_t i = 0; i < all.size(); ++i) {
        for (auto& c : CommandsOf(Feed(p, Bytes{all[i]}, static_cast<std::int64_t>(i) * 300))) {
            got.push_back(c);
        }
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, CommandKind::Rd);
    EXPECT_EQ(got[0].arg, 0x04);
    EXPECT_EQ(got[1].kind, CommandKind::Fpr);

    // Split in the middle of the second of two glued commands.
    auto ev = Feed(p, B({0x03, 0x52, 0x45, 0x53, 0x04, 0x52}), 10000);
    ASSERT_EQ(CommandsOf(ev).size(), 1u);
    EXPECT_EQ(p.PendingSize(), 2u);
    ev = Feed(p, B({0x44, 0x80}), 10100);
    ASSERT_EQ(CommandsOf(ev).size(), 1u);
    EXPECT_EQ(CommandsOf(ev)[0].arg, 0x80);
}

TEST(SimParser, UnknownBytesSkippedAndStaleStartsDropped) {
    TCommandParser p;
    auto ev = Feed(p, Cat({B({0x00, 0x46, 0x01, 0x46, 0x00}), kFpr, B({0x05, 'R', 'D', 0})}), 0);
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].kind, ParseEvent::Kind::Skipped);
    EXPECT_EQ(ev[0].bytes, B({0x00, 0x46, 0x01, 0x46, 0x00}));
    EXPECT_EQ(ev[1].kind, ParseEvent::Kind::Command);
    EXPECT_EQ(ev[2].kind, ParseEvent::Kind::Skipped);
    EXPECT_EQ(ev[2].bytes, B({0x05, 'R', 'D', 0}));

    // A wrong last letter: the code byte is skipped and scanning goes on from the next byte.
    ev = Feed(p, B({0x01, 'F', 'P', 'X', 0x03, 'R', 'E', 'S'}), 0);
    ASSERT_EQ(CommandsOf(ev).size(), 1u);
    EXPECT_EQ(CommandsOf(ev)[0].kind, CommandKind::Res);

    // An unfinished RD waits up to the time-out, then is dropped rather than taking the next
    // command's code byte as its argument.
    ev = Feed(p, B({0x04, 0x52, 0x44}), 1000);
    EXPECT_TRUE(ev.empty());
    ev = Feed(p, kFpr, 1000 + TCommandParser::kPartialTimeoutMs + 1);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, ParseEvent::Kind::Stale);
    EXPECT_EQ(ev[0].bytes, B({0x04, 0x52, 0x44}));
    EXPECT_EQ(ev[1].command.kind, CommandKind::Fpr);

    // Within the time-out the same bytes complete the RD.
    Feed(p, B({0x04, 0x52, 0x44}), 5000);
    ev = Feed(p, kFpr, 5000 + TCommandParser::kPartialTimeoutMs);
    ASSERT_EQ(CommandsOf(ev).size(), 1u);
    EXPECT_EQ(CommandsOf(ev)[0].kind, CommandKind::Rd);
    EXPECT_EQ(CommandsOf(ev)[0].arg, 0x01);

    // The clock of a start begins with its own first byte, not with the bytes before it.
    Feed(p, B({0x46, 0x50, 0x52}), 9000);  // the rest of the FPR that the RD above cut
    EXPECT_EQ(p.PendingSize(), 0u);
    Feed(p, B({0x01}), 20000);
    ev = Feed(p, B({0x77, 0x01}), 20900);  // the first start fails; a new one begins at 20900
    EXPECT_TRUE(CommandsOf(ev).empty());
    EXPECT_EQ(p.PendingSize(), 1u);
    ev = Feed(p, B({0x46, 0x50, 0x52}), 20900 + TCommandParser::kPartialTimeoutMs);
    ASSERT_EQ(CommandsOf(ev).size(), 1u);
    EXPECT_EQ(CommandsOf(ev)[0].kind, CommandKind::Fpr);

    // Empty feeds change nothing.
    EXPECT_TRUE(p.Feed(nullptr, 0, 999999).empty());
}

TEST(SimParser, EveryByteSequenceIsSurvived) {
    TCommandParser p;
    std::uint64_t x = 12345;
    std::size_t commands = 0;
    for (int round = 0; round < 2000; ++round) {
        Bytes chunk;
        const std::size_t len = (x = Mix(x)) % 37;
        for (std::size_t i = 0; i < len; ++i) {
            x = Mix(x);
            // Bias towards command bytes so partial and full matches occur often.
            static const std::uint8_t kAlphabet[] = {1, 2, 3, 4, 'F', 'P', 'R', 'E', 'S', 'D'};
            chunk.push_back(x & 1 ? kAlphabet[(x >> 8) % 10] : static_cast<std::uint8_t>(x >> 16));
        }
        for (const auto& e : Feed(p, chunk, round * 10)) {
            if (e.kind == ParseEvent::Kind::Command) {
                ++commands;
                EXPECT_EQ(e.command.raw.size(), 4u);
            }
        }
        EXPECT_LT(p.PendingSize(), 4u);
    }
    EXPECT_GT(commands, 0u);
}

TEST(SimSettings, KeysValuesAndRejections) {
    Settings s;
    EXPECT_EQ(ApplySetting(s, "delay", "250"), "");
    EXPECT_EQ(s.delayMs, 250);
    EXPECT_EQ(ApplySetting(s, "split", "5:600"), "");
    EXPECT_EQ(s.splitSize, 5);
    EXPECT_EQ(s.splitGapMs, 600);
    EXPECT_EQ(ApplySetting(s, "garbage", "FF 00 13"), "");
    EXPECT_EQ(s.garbage, B({0xFF, 0x00, 0x13}));
    EXPECT_EQ(ApplySetting(s, "skip-records", "1, 5,10-20"), "");
    EXPECT_TRUE(s.SkipsRecord(1));
    EXPECT_TRUE(s.SkipsRecord(10));
    EXPECT_TRUE(s.SkipsRecord(20));
    EXPECT_FALSE(s.SkipsRecord(21));
    EXPECT_FALSE(s.SkipsRecord(2));
    EXPECT_EQ(ApplySetting(s, "silent", "yes"), "");
    EXPECT_TRUE(s.silent);
    EXPECT_EQ(ApplySetting(s, "bad-checksum", " 1 "), "");
    EXPECT_TRUE(s.badChecksum);
    EXPECT_EQ(ApplySetting(s, "baud", "4800"), "");
    EXPECT_EQ(s.baud, 4800);

    const Settings before = s;
    for (auto [k, v] : std::vector<std::pair<const char*, const char*>>{{"delay", "-1"},
                                                                        {"delay", "abc"},
                                                                        {"delay", "10x"},
                                                                        {"device", "65536"},
                                                                        {"device-error", "256"},
                                                                        {"silent", "maybe"},
                                                                        {"split", "5:"},
                                                                        {"skip-records", "300"},
                                                                        {"skip-records", "9-3"},
                                                                        {"skip-records", "1,,2"},
                                                                        {"garbage", "F"},
                                                                        {"baud", "12"},
                                                                        {"reply-length", "-2"},
                                                                        {"answer-count", ""}}) {
        EXPECT_NE(ApplySetting(s, k, v), "") << k << "=" << v;
    }
    EXPECT_NE(ApplySetting(s, "no-such-key", "1"), "");
    EXPECT_EQ(s.delayMs, before.delayMs);
    EXPECT_EQ(s.device, before.device);
    EXPECT_EQ(s.skipRecords, before.skipRecords);
    EXPECT_EQ(s.garbage, before.garbage);
    EXPECT_EQ(s.baud, before.baud);
    EXPECT_TRUE(s.silent);
}

TEST(SimSettings, CommandLineAndControlFileOverlay) {
    StartOptions o;
    const std::string err = ParseCommandLine(
        {"--link", "/tmp/l", "--log=/tmp/g", "--device", "7", "--silent", "--delay", "30",
         "--bad-checksum", "0", "--control", "/tmp/c", "--pidfile", "/tmp/p"},
        o);
    ASSERT_EQ(err, "");
    EXPECT_EQ(o.link, "/tmp/l");
    EXPECT_EQ(o.log, "/tmp/g");
    EXPECT_EQ(o.control, "/tmp/c");
    EXPECT_EQ(o.pidfile, "/tmp/p");
    EXPECT_EQ(o.settings.device, 7);
    EXPECT_TRUE(o.settings.silent);
    EXPECT_FALSE(o.settings.badChecksum);
    EXPECT_EQ(o.settings.delayMs, 30);

    StartOptions bad;
    EXPECT_NE(ParseCommandLine({"--delay"}, bad), "");
    EXPECT_NE(ParseCommandLine({"stray"}, bad), "");
    EXPECT_NE(ParseCommandLine({"--device", "x"}, bad), "");
    EXPECT_NE(ParseCommandLine({"--frobnicate", "1"}, bad), "");
    StartOptions help;
    EXPECT_EQ(ParseCommandLine({"--help"}, help), "");
    EXPECT_TRUE(help.help);

    std::vector<std::string> problems;
    const Settings s = ApplyControlText(o.settings,
                                        "# a comment\n"
                                        "\n"
                                        "silent=0\r\n"
                                        "  extra = 2\n"
                                        "delay=oops\n"
                                        "no equals here\n"
                                        "link=/elsewhere\n"
                                        "device-error=9",
                                        problems);
    EXPECT_FALSE(s.silent);
    EXPECT_EQ(s.extra, 2);
    EXPECT_EQ(s.deviceError, 9);
    EXPECT_EQ(s.delayMs, 30) << "a bad value keeps the start value";
    EXPECT_EQ(s.device, 7) << "absent keys fall back to the start value";
    EXPECT_EQ(problems.size(), 3u);
    problems.clear();
    const Settings empty = ApplyControlText(o.settings, "", problems);
    EXPECT_TRUE(empty.silent);
    EXPECT_TRUE(problems.empty());
}

TEST(SimArchive, GeneratedAndLoaded) {
    std::set<std::string> distinct;
    for (int n = 0; n < kArchiveSize; ++n) {
        const Record r = GeneratedArchiveRecord(n, 1, 42);
        EXPECT_EQ(RecordChecksum(r), r[kOffChecksum]) << n;
        Stamp st;
        ASSERT_TRUE(StampOf(r, st)) << n;
        EXPECT_TRUE(IsValidStamp(st)) << n;
        EXPECT_EQ(r[kOffDevice], 0);
        EXPECT_EQ(r[kOffDevice + 1], 42);
        EXPECT_EQ(r[kOffError], 0);
        distinct.insert(HexBytes(r));
        EXPECT_EQ(r, GeneratedArchiveRecord(n, 1, 42)) << "same seed, same record";
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kArchiveSize));
    int differ = 0;
    for (int n = 0; n < kArchiveSize; ++n) {
        differ += GeneratedArchiveRecord(n, 1, 42) != GeneratedArchiveRecord(n, 2, 42);
    }
    EXPECT_GT(differ, 250);

    std::string text = "# archive\n\n";
    for (int n = 0; n < kArchiveSize; ++n) {
        text += HexBytes(GeneratedArchiveRecord(n, 77, 5)) + "\n";
    }
    Archive a{};
    ASSERT_EQ(ParseArchiveText(text, a), "");
    EXPECT_EQ(a[0], GeneratedArchiveRecord(0, 77, 5));
    EXPECT_EQ(a[255], GeneratedArchiveRecord(255, 77, 5));

    Archive untouched{};
    EXPECT_NE(ParseArchiveText(text + "00\n", untouched), "");
    const std::string missing = text.substr(0, text.rfind('\n', text.size() - 2) + 1);
    EXPECT_NE(ParseArchiveText(missing, untouched), "");
    std::string shortLine = text;
    shortLine.replace(shortLine.find("\n\n") + 2, 3, "");  // first record loses one byte
    EXPECT_NE(ParseArchiveText(shortLine, untouched), "");
    EXPECT_NE(ParseArchiveText("zz\n", untouched), "");
    EXPECT_EQ(untouched, Archive{});
}

TEST(SimMeter, MeasurementsCountUpResetAndNewDay) {
    TSimMeter m;
    Settings s;
    s.device = 300;
    const Stamp t{2024, 2, 29, 23, 58};
    for (int n = 1; n <= 3; ++n) {
        const Reply rp = m.Handle(Cmd(n == 2 ? CommandKind::Rpr : CommandKind::Fpr), s, t);
        ASSERT_EQ(rp.pieces.size(), 1u);
        EXPECT_EQ(rp.pieces[0].gapBeforeMs, 0);
        const Record r = ToRecord(rp.pieces[0].bytes);
        EXPECT_EQ(RecordChecksum(r), r[kOffChecksum]);
        EXPECT_EQ(r[0], 0x01);
        EXPECT_EQ(r[1], 0x2C);
        EXPECT_EQ(r[2] * 256 + r[3], n);
        Stamp st;
        ASSERT_TRUE(StampOf(r, st));
        EXPECT_EQ(st, t);
        EXPECT_EQ(r[kOffReserved], 0);
        std::uint16_t whole;
        std::uint8_t frac;
        MeasurementDose(s.seed, n, whole, frac);
        EXPECT_EQ(r[kOffDoseWhole] * 256 + r[kOffDoseWhole + 1], whole);
        EXPECT_EQ(r[kOffDoseFraction], frac);
        EXPECT_LT(frac, 100);
    }
    const Reply rpr = m.Handle(Cmd(CommandKind::Rpr), s, t);
    bool printed = false;
    for (const auto& n : rpr.notes) printed |= n.rfind("printing", 0) == 0;
    EXPECT_TRUE(printed);
    EXPECT_EQ(m.MeasureNumber(), 4);

    const Reply res = m.Handle(Cmd(CommandKind::Res), s, t);
    ASSERT_EQ(res.pieces.size(), 1u);
    EXPECT_EQ(res.pieces[0].bytes.size(), 3u);
    EXPECT_EQ(m.MeasureNumber(), 0);
    Record r = ToRecord(m.Handle(Cmd(CommandKind::Fpr), s, t).pieces[0].bytes);
    EXPECT_EQ(r[3], 1);
    r = ToRecord(m.Handle(Cmd(CommandKind::Fpr), s, t).pieces[0].bytes);
    EXPECT_EQ(r[3], 2);
    // Midnight: the count of the day starts again.
    r = ToRecord(m.Handle(Cmd(CommandKind::Fpr), s, Stamp{2024, 3, 1, 0, 0}).pieces[0].bytes);
    EXPECT_EQ(r[3], 1);
    EXPECT_EQ(r[kOffDay], 0x01);
    EXPECT_EQ(r[kOffMonth], 0x03);
    EXPECT_EQ(r[kOffYear], 0x24);

    // Doses vary with the number and the seed.
    std::set<int> doses;
    for (int n = 1; n <= 20; ++n) {
        std::uint16_t w;
        std::uint8_t f;
        MeasurementDose(1, n, w, f);
        doses.insert(w * 100 + f);
    }
    EXPECT_GT(doses.size(), 15u);
}

TEST(SimMeter, ArchiveRecordsFromSeedOrLoaded) {
    TSimMeter m;
    Settings s;
    s.seed = 9;
    for (int n : {0, 1, 128, 255}) {
        const Reply rp = m.Handle(Cmd(CommandKind::Rd, n), s, Stamp{});
        ASSERT_EQ(rp.pieces.size(), 1u);
        EXPECT_EQ(ToRecord(rp.pieces[0].bytes), GeneratedArchiveRecord(n, 9, 42));
    }
    Archive a{};
    for (int n = 0; n < kArchiveSize; ++n)
        a[static_cast<std::size_t>(n)][3] = static_cast<std::uint8_t>(n);
    a[7][kOffChecksum] = 0x55;  // loaded records go out as written
    m.SetArchive(a);
    EXPECT_EQ(ToRecord(m.Handle(Cmd(CommandKind::Rd, 255), s, Stamp{}).pieces[0].bytes), a[255]);
    EXPECT_EQ(ToRecord(m.Handle(Cmd(CommandKind::Rd, 7), s, Stamp{}).pieces[0].bytes), a[7]);
    // RD does not end a measurement.
    EXPECT_EQ(m.MeasureNumber(), 0);
}

TEST(SimMeter, RecordFaults) {
    TSimMeter m;
    const Stamp t{2023, 6, 15, 10, 20};
    Settings s;
    s.deviceError = 3;
    Record r = ToRecord(m.Handle(Cmd(CommandKind::Fpr), s, t).pieces[0].bytes);
    EXPECT_EQ(r[kOffError], 3);
    EXPECT_EQ(RecordChecksum(r), r[kOffChecksum]);

    s = Settings{};
    s.invalidTime = true;
    r = ToRecord(m.Handle(Cmd(CommandKind::Rd, 10), s, t).pieces[0].bytes);
    EXPECT_EQ(r[kOffDay], 0x31);
    EXPECT_EQ(r[kOffMonth], 0x02);
    EXPECT_EQ(RecordChecksum(r), r[kOffChecksum]);

    s = Settings{};
    s.badChecksum = true;
    for (const Command& c : {Cmd(CommandKind::Fpr), Cmd(CommandKind::Rd, 0)}) {
        r = ToRecord(m.Handle(c, s, t).pieces[0].bytes);
        EXPECT_NE(RecordChecksum(r), r[kOffChecksum]);
    }
    // RES's answer is no record: record faults leave it alone.
    s.deviceError = 5;
    EXPECT_EQ(m.Handle(Cmd(CommandKind::Res), s, t).pieces[0].bytes, kResetAnswer);
}

TEST(SimMeter, SilenceAnswerCountAndSkippedRecords) {
    TSimMeter m;
    Settings s;
    const Stamp t{2023, 6, 15, 10, 20};
    s.silent = true;
    EXPECT_TRUE(m.Handle(Cmd(CommandKind::Fpr), s, t).pieces.empty());
    EXPECT_EQ(m.MeasureNumber(), 0) << "an unheard command ends no measurement";
    s.silent = false;

    s.skipRecords = {{1, 1}, {5, 6}};
    EXPECT_TRUE(m.Handle(Cmd(CommandKind::Rd, 1), s, t).pieces.empty());
    EXPECT_TRUE(m.Handle(Cmd(CommandKind::Rd, 6), s, t).pieces.empty());
    EXPECT_FALSE(m.Handle(Cmd(CommandKind::Rd, 4), s, t).pieces.empty());
    EXPECT_FALSE(m.Handle(Cmd(CommandKind::Fpr), s, t).pieces.empty());
    s.skipRecords.clear();

    // A meter whose end of measurement goes unheard while its archive and reset answer.
    TSimMeter unended;
    Settings e;
    ASSERT_EQ(ApplySetting(e, "silent-end", "1"), "");
    EXPECT_TRUE(unended.Handle(Cmd(CommandKind::Fpr), e, t).pieces.empty());
    EXPECT_TRUE(unended.Handle(Cmd(CommandKind::Rpr), e, t).pieces.empty());
    EXPECT_EQ(unended.MeasureNumber(), 0);
    EXPECT_FALSE(unended.Handle(Cmd(CommandKind::Rd, 3), e, t).pieces.empty());
    EXPECT_EQ(unended.Handle(Cmd(CommandKind::Res), e, t).pieces[0].bytes, kResetAnswer);
    ASSERT_EQ(ApplySetting(e, "silent-end", "0"), "");
    EXPECT_FALSE(unended.Handle(Cmd(CommandKind::Fpr), e, t).pieces.empty());

    TSimMeter counted;
    Settings c;
    c.answerCount = 2;
    EXPECT_FALSE(counted.Handle(Cmd(CommandKind::Fpr), c, t).pieces.empty());
    EXPECT_FALSE(counted.Handle(Cmd(CommandKind::Res), c, t).pieces.empty());
    EXPECT_TRUE(counted.Handle(Cmd(CommandKind::Fpr), c, t).pieces.empty());
    EXPECT_TRUE(counted.Handle(Cmd(CommandKind::Rd, 0), c, t).pieces.empty());
    EXPECT_EQ(counted.CommandsSeen(), 4);
    c.answerCount = 0;
    TSimMeter none;
    EXPECT_TRUE(none.Handle(Cmd(CommandKind::Res), c, t).pieces.empty());
}

TEST(SimMeter, AnswerShaping) {
    const Bytes answer = B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    Settings s;
    auto pieces = ShapeAnswer(answer, s);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].bytes, answer);

    s.replyLength = 14;
    EXPECT_EQ(Joined(ShapeAnswer(answer, s)), Bytes(answer.begin(), answer.end() - 1));
    s.replyLength = 16;
    Bytes padded = answer;
    padded.push_back(kFillerByte);
    EXPECT_EQ(Joined(ShapeAnswer(answer, s)), padded);
    s.replyLength = 0;
    EXPECT_TRUE(ShapeAnswer(answer, s).empty());

    s = Settings{};
    s.extra = 2;
    s.garbage = B({0xAA, 0xBB});
    const Bytes framed = Cat({B({0xAA, 0xBB}), answer, B({kFillerByte, kFillerByte})});
    EXPECT_EQ(Joined(ShapeAnswer(answer, s)), framed);

    s.splitSize = 5;
    s.splitGapMs = 600;
    s.delayMs = 40;
    pieces = ShapeAnswer(answer, s);
    ASSERT_EQ(pieces.size(), 4u);  // 19 bytes in pieces of 5
    EXPECT_EQ(pieces[0].gapBeforeMs, 40);
    EXPECT_EQ(pieces[1].gapBeforeMs, 600);
    EXPECT_EQ(pieces[3].gapBeforeMs, 600);
    EXPECT_EQ(pieces[3].bytes.size(), 4u);
    EXPECT_EQ(Joined(pieces), framed);

    s.lateMs = 2500;
    EXPECT_EQ(ShapeAnswer(answer, s)[0].gapBeforeMs, 2500) << "late replaces delay";
}
