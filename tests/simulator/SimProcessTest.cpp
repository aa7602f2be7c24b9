// virel1-sim as a process on a real pseudo-terminal: the test opens the slave side the way the
// Windows program opens its COM port, and checks the bytes on the line and in the log. The
// meter's answers themselves are SimCoreTest's; here only what the process adds: reading the
// line, the log, the control file, pacing, the port link and the command line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimMeter.h"
#include "SimRecord.h"

extern char** environ;

using namespace virel::sim;
using Clock = std::chrono::steady_clock;

namespace {

Bytes B(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) b.push_back(static_cast<std::uint8_t>(x));
    return b;
}
const Bytes kFpr = B({0x01, 0x46, 0x50, 0x52});
const Bytes kRes = B({0x03, 0x52, 0x45, 0x53});
Bytes Rd(int n) {
    return B({0x04, 0x52, 0x44, n});
}

std::int64_t MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f << text;
    }
    ASSERT_EQ(std::rename(tmp.c_str(), path.c_str()), 0);
}

struct LogLine {
    std::int64_t ms = 0;
    std::string kind;
    std::string text;
};

std::vector<LogLine> ParseLog(const std::string& text) {
    std::vector<LogLine> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        LogLine l;
        std::istringstream ls(line);
        ls >> l.ms >> l.kind;
        std::getline(ls, l.text);
        if (!l.text.empty() && l.text[0] == ' ') l.text.erase(0, 1);
        out.push_back(l);
    }
    return out;
}

Bytes HexOf(const std::string& s) {
    Bytes b;
    EXPECT_TRUE(ParseHexBytes(s, b)) << s;
    return b;
}

// A scratch directory removed with its files at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        tmpl += "/virel1-sim-test.XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path_ = buf.data();
    }
    ~TempDir() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The simulator process with its files in a scratch directory.
class Sim {
public:
    explicit Sim(std::vector<std::string> extra = {}, bool withFiles = true) {
        std::vector<std::string> args = {VIREL_SIM_EXE};
        if (withFiles) {
            args.insert(args.end(), {"--link", Link(), "--log", LogPath(), "--pidfile", PidPath(),
                                     "--control", ControlPath()});
        }
        args.insert(args.end(), extra.begin(), extra.end());
        Spawn(args);
    }
    ~Sim() { Stop(); }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // Ends the simulator with SIGTERM; returns its exit status (-1 when it did not exit).
    int Stop() {
        if (pid_ <= 0) return exitStatus_;
        kill(pid_, SIGTERM);
        int status = 0;
        const auto start = Clock::now();
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (MsSince(start) > 5000) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (out_ >= 0) close(out_);
        out_ = -1;
        return exitStatus_;
    }
    bool Alive() const { return pid_ > 0 && kill(pid_, 0) == 0; }

    const std::string& Slave() const { return slave_; }
    std::string Link() const { return dir_ / "com1"; }
    std::string LogPath() const { return dir_ / "sim.log"; }
    std::string PidPath() const { return dir_ / "sim.pid"; }
    std::string ControlPath() const { return dir_ / "sim.ctl"; }
    const TempDir& Dir() const { return dir_; }
    std::vector<LogLine> Log() const { return ParseLog(ReadFile(LogPath())); }
    void Control(const std::string& text) const { WriteFileAtomically(ControlPath(), text); }
    pid_t Pid() const { return pid_; }

private:
    void Spawn(const std::vector<std::string>& args) {
        int pipeFd[2];
        ASSERT_EQ(pipe(pipeFd), 0);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, pipeFd[1], 1);
        posix_spawn_file_actions_addclose(&fa, pipeFd[0]);
        posix_spawn_file_actions_addclose(&fa, pipeFd[1]);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(pipeFd[1]);
        out_ = pipeFd[0];
        ASSERT_EQ(rc, 0);
        // The first line on stdout is the slave path, printed once everything is set up.
        std::string line;
        const auto start = Clock::now();
        while (line.find('\n') == std::string::npos && MsSince(start) < 10000) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char c[256];
            const ssize_t n = read(out_, c, sizeof c);
            if (n <= 0) break;
            line.append(c, static_cast<std::size_t>(n));
        }
        ASSERT_NE(line.find('\n'), std::string::npos) << "no slave path printed";
        slave_ = line.substr(0, line.find('\n'));
    }

    TempDir dir_;
    pid_t pid_ = -1;
    int out_ = -1;
    int exitStatus_ = -1;
    std::string slave_;
};

// The master's end of the line: the slave pty opened raw, as Wine opens the port.
class Port {
public:
    explicit Port(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Port() {
        if (fd_ >= 0) close(fd_);
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    bool Ok() const { return fd_ >= 0; }

    void Send(const Bytes& b) {
        std::size_t done = 0;
        while (done < b.size()) {
            const ssize_t n = write(fd_, b.data() + done, b.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{fd_, POLLOUT, 0};
                poll(&p, 1, 50);
            }
        }
    }
    // Reads until `count` bytes came or `timeoutMs` passed.
    Bytes Read(std::size_t count, int timeoutMs) {
        Bytes out;
        const auto start = Clock::now();
        while (out.size() < count && MsSince(start) < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            std::uint8_t buf[512];
            const ssize_t n = read(fd_, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    // Reads until the line has been quiet for `quietMs` (or `maxMs` passed).
    Bytes ReadUntilQuiet(int quietMs, int maxMs = 5000) {
        Bytes out;
        const auto start = Clock::now();
        auto last = Clock::now();
        while (MsSince(last) < quietMs && MsSince(start) < maxMs) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0) continue;
            std::uint8_t buf[4096];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n > 0) {
                out.insert(out.end(), buf, buf + n);
                last = Clock::now();
            }
        }
        return out;
    }
    Bytes Exchange(const Bytes& cmd, std::size_t count, int timeoutMs = 2000) {
        Send(cmd);
        return Read(count, timeoutMs);
    }

private:
    int fd_ = -1;
};

Record AsRecord(const Bytes& b) {
    Record r{};
    EXPECT_EQ(b.size(), kRecordSize) << HexBytes(b);
    std::copy_n(b.begin(), std::min(b.size(), kRecordSize), r.begin());
    return r;
}

bool Consistent(const Bytes& b) {
    return b.size() == kRecordSize && RecordChecksum(AsRecord(b)) == b[kOffChecksum];
}

}  // namespace

TEST(SimProcess, JunkFloodDoesNotHurt) {
    Sim sim;
    Port port(sim.Slave());
    std::uint64_t x = 99;
    Bytes junk;
    for (int i = 0; i < 200000; ++i) junk.push_back(static_cast<std::uint8_t>((x = Mix(x)) >> 13));
    // Whatever start of a command the junk ends with is finished by FF bytes (an RD 255 at most).
    junk.insert(junk.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    std::thread writer([&] { port.Send(junk); });
    port.ReadUntilQuiet(300, 20000);  // answers to commands hidden in the junk, if any
    writer.join();
    port.ReadUntilQuiet(300);
    ASSERT_TRUE(sim.Alive());
    EXPECT_TRUE(Consistent(port.Exchange(kFpr, 15)));
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimProcess, LogShowsExactlyTheBytesOnTheLine) {
    Sim sim({"--split", "4:20", "--garbage", "A5 5A"});
    Port port(sim.Slave());
    Bytes sent;
    Bytes received;
    for (const Bytes& c : {kFpr, kRes, Rd(9)}) {
        port.Send(c);
        sent.insert(sent.end(), c.begin(), c.end());
        const Bytes r = port.ReadUntilQuiet(150);
        received.insert(received.end(), r.begin(), r.end());
    }
    Bytes rx;
    Bytes tx;
    std::int64_t lastMs = 0;
    for (const auto& l : sim.Log()) {
        EXPECT_GE(l.ms, lastMs) << "timestamps go forward";
        EXPECT_GT(l.ms, 1'600'000'000'000) << "epoch milliseconds";
        lastMs = l.ms;
        const Bytes b = l.kind == "RX" || l.kind == "TX" ? HexOf(l.text) : Bytes{};
        if (l.kind == "RX") rx.insert(rx.end(), b.begin(), b.end());
        if (l.kind == "TX") {
            EXPECT_LE(b.size(), 4u) << "one line per piece";
            tx.insert(tx.end(), b.begin(), b.end());
        }
        EXPECT_TRUE(l.kind == "RX" || l.kind == "TX" || l.kind == "NOTE") << l.kind;
    }
    EXPECT_EQ(rx, sent);
    EXPECT_EQ(tx, received);
    EXPECT_EQ(received.size(), 2u + 15 + 2 + 3 + 2 + 15);
}

TEST(SimProcess, ControlFileChangesBehaviourWhileRunning) {
    Sim sim({"--delay", "0"});
    Port port(sim.Slave());
    ASSERT_TRUE(Consistent(port.Exchange(kFpr, 15)));

    sim.Control("# faults\nbad-checksum=1\n");
    Bytes r = port.Exchange(kFpr, 15);
    ASSERT_EQ(r.size(), 15u);
    EXPECT_NE(RecordChecksum(AsRecord(r)), r[kOffChecksum]);

    sim.Control("device-error=7\ninvalid-time=1\n");
    r = port.Exchange(Rd(3), 15);
    ASSERT_TRUE(Consistent(r));
    EXPECT_EQ(r[kOffError], 7);
    EXPECT_EQ(r[kOffDay], 0x31);
    EXPECT_EQ(r[kOffMonth], 0x02);

    sim.Control("reply-length=14\n");
    EXPECT_EQ(port.Exchange(kFpr, 100, 400).size(), 14u);
    sim.Control("reply-length=16\n");
    r = port.Exchange(kFpr, 100, 400);
    ASSERT_EQ(r.size(), 16u);
    EXPECT_EQ(r[15], kFillerByte);
    EXPECT_TRUE(Consistent(Bytes(r.begin(), r.begin() + 15)));
    sim.Control("extra=3\ngarbage=13 37\n");
    r = port.Exchange(kRes, 100, 400);
    EXPECT_EQ(r, B({0x13, 0x37, 0x03, 0x4F, 0x4B, kFillerByte, kFillerByte, kFillerByte}));

    sim.Control("silent=1\n");
    EXPECT_TRUE(port.Exchange(kFpr, 15, 400).empty());
    sim.Control("skip-records=1,5,10-20\n");
    EXPECT_TRUE(port.Exchange(Rd(15), 15, 300).empty());
    EXPECT_TRUE(port.Exchange(Rd(5), 15, 300).empty());
    EXPECT_TRUE(Consistent(port.Exchange(Rd(21), 15)));
    // Removing the keys restores the start options.
    sim.Control("");
    r = port.Exchange(kFpr, 15);
    ASSERT_TRUE(Consistent(r));
    EXPECT_EQ(r[kOffError], 0);
    EXPECT_TRUE(port.ReadUntilQuiet(100).empty());

    // A bad line is reported in the log and ignored.
    sim.Control("delay=soon\n");
    EXPECT_TRUE(Consistent(port.Exchange(kFpr, 15)));
    bool reported = false;
    for (const auto& l : sim.Log())
        reported |= l.text.find("bad value for delay") != std::string::npos;
    EXPECT_TRUE(reported);
}

// Real-time behaviour, with generous margins.
TEST(SimProcess, DelaySplitLateAndPacing) {
    Sim sim({"--delay", "200"});
    Port port(sim.Slave());
    auto t0 = Clock::now();
    Bytes r = port.Exchange(kFpr, 15);
    std::int64_t took = MsSince(t0);
    ASSERT_TRUE(Consistent(r));
    EXPECT_GE(took, 190);
    EXPECT_LT(took, 1500);

    // Pieces of 5 bytes 600 ms apart: a reader with a 500 ms silence limit gets 5 bytes.
    sim.Control("split=5:600\n");
    port.Send(kFpr);
    t0 = Clock::now();
    r = port.ReadUntilQuiet(500);
    EXPECT_EQ(r.size(), 5u);
    r = port.ReadUntilQuiet(700);
    EXPECT_EQ(r.size(), 10u);
    took = MsSince(t0);
    EXPECT_GE(took, 1200 + 700 - 50);

    // Late: nothing within the first second, then the record.
    sim.Control("late=1500\n");
    port.Send(kFpr);
    t0 = Clock::now();
    EXPECT_TRUE(port.Read(15, 1000).empty());
    r = port.Read(15, 3000);
    took = MsSince(t0);
    EXPECT_TRUE(Consistent(r));
    EXPECT_GE(took, 1450);

    // 4800 baud: 15 bytes take about 31 ms on the line.
    sim.Control("baud=4800\n");
    port.Send(Rd(1));
    Bytes first = port.Read(1, 2000);
    ASSERT_EQ(first.size(), 1u);
    t0 = Clock::now();
    r = port.Read(14, 2000);
    took = MsSince(t0);
    EXPECT_EQ(r.size(), 14u);
    EXPECT_GE(took, 20);
    EXPECT_LT(took, 1000);

    // The log tells the same story: the late answer went out 1.5 s after its command.
    const auto log = sim.Log();
    std::int64_t rxMs = 0;
    std::int64_t lateGap = -1;
    for (const auto& l : log) {
        if (l.kind == "RX") rxMs = l.ms;
        // Whole records only: the split pieces above are 5 bytes each.
        if (l.kind == "TX" && HexOf(l.text).size() == 15) lateGap = std::max(lateGap, l.ms - rxMs);
    }
    EXPECT_GE(lateGap, 1450);
    EXPECT_LT(lateGap, 2500);
}

TEST(SimProcess, LinkPidfileAndPortReopening) {
    TempDir other;
    Sim sim;
    // The link points at the slave; a reopened port keeps working (the simulator holds the slave).
    char target[512] = {};
    ASSERT_GT(readlink(sim.Link().c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sim.Slave());
    for (int round = 0; round < 3; ++round) {
        Port port(sim.Link());
        ASSERT_TRUE(port.Ok());
        EXPECT_TRUE(Consistent(port.Exchange(kFpr, 15)));
    }
    const std::string pid = ReadFile(sim.PidPath());
    EXPECT_EQ(std::stoi(pid), sim.Pid());
    const std::string link = sim.Link();
    const std::string pidPath = sim.PidPath();
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(stat(pidPath.c_str(), &st), 0) << "pidfile removed on exit";
    EXPECT_EQ(lstat(link.c_str(), &st), 0) << "the link stays";

    // An existing link is replaced by a new simulator.
    const std::string reused = other / "com5";
    ASSERT_EQ(symlink("/nonexistent", reused.c_str()), 0);
    Sim second({"--link", reused});
    ASSERT_GT(readlink(reused.c_str(), target, sizeof target - 1), 0);
    target[readlink(reused.c_str(), target, sizeof target - 1)] = '\0';
    EXPECT_EQ(std::string(target), second.Slave());
    Port port(reused);
    EXPECT_TRUE(Consistent(port.Exchange(Rd(2), 15)));
}

TEST(SimProcess, BadCommandLineRefused) {
    for (const char* args : {"--delay", "--delay -5", "--split x", "--bogus 1", "stray"}) {
        const std::string cmd = std::string(VIREL_SIM_EXE) + " " + args + " >/dev/null 2>&1";
        const int rc = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(rc)) << args;
        EXPECT_EQ(WEXITSTATUS(rc), 2) << args;
    }
}
