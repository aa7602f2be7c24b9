// virel1-sim: a simulated VIREL-1 dose meter on a pseudo-terminal, for development and tests.
// The Windows program under Wine opens the slave side as a COM port (through a symlink that
// Wine's port mapping points at); this process answers on the master side.
// Run with --help for the options; tools/simulator/README.md describes the behaviour.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

#include "SimMeter.h"
#include "SimParser.h"
#include "SimSettings.h"

using namespace virel::sim;

namespace {

volatile sig_atomic_t g_stop = 0;
void OnStopSignal(int) {
    g_stop = 1;
}

std::int64_t EpochMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t MonoUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

Stamp LocalNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return Stamp{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string s;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) break;
        s.append(buf, static_cast<std::size_t>(n));
        if (s.size() > (1u << 20)) break;  // a control or archive file is small; stop runaway input
    }
    close(fd);
    out = std::move(s);
    return true;
}

// One line per event, written with a single write() so each line lands whole and at once.
class TEventLog {
public:
    bool Open(const std::string& path) {
        if (path.empty()) return true;
        fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        return fd_ >= 0;
    }
    ~TEventLog() {
        if (fd_ >= 0) close(fd_);
    }
    TEventLog() = default;
    TEventLog(const TEventLog&) = delete;
    TEventLog& operator=(const TEventLog&) = delete;

    void Line(const char* kind, const std::string& text) {
        if (fd_ < 0) return;
        std::string line = std::to_string(EpochMs()) + " " + kind + " " + text + "\n";
        const char* p = line.data();
        std::size_t left = line.size();
        while (left > 0) {
            const ssize_t n = write(fd_, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    void Note(const std::string& text) { Line("NOTE", text); }

private:
    int fd_ = -1;
};

// Re-reads the control file when it changed (modification time, size or inode).
class TControlFile {
public:
    explicit TControlFile(std::string path) : path_(std::move(path)) {}

    // Returns the effective settings: the base overlaid with the file's keys.
    const Settings& Current(const Settings& base, TEventLog& log) {
        if (path_.empty()) return base;
        struct stat st {};
        const bool exists = stat(path_.c_str(), &st) == 0;
        const Key key =
            exists ? Key{st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_size, st.st_ino} : Key{};
        if (loaded_ && key == key_) return effective_;
        key_ = key;
        loaded_ = true;
        std::string text;
        if (exists && !ReadWholeFile(path_, text)) {
            log.Note("control file unreadable, using start options: " + path_);
        }
        std::vector<std::string> problems;
        effective_ = ApplyControlText(base, text, problems);
        for (const auto& p : problems) log.Note("control file " + p);
        log.Note("control file read (" + std::to_string(text.size()) + " bytes)");
        return effective_;
    }

private:
    struct Key {
        std::int64_t sec = -1;
        std::int64_t nsec = -1;
        std::int64_t size = -1;
        std::uint64_t ino = 0;
        bool operator==(const Key&) const = default;
    };
    std::string path_;
    bool loaded_ = false;
    Key key_;
    Settings effective_;
};

// Bytes waiting to go out, each piece at its time; with a baud rate, byte by byte.
struct OutPiece {
    std::int64_t dueUs = 0;
    std::int64_t byteUs = 0;  // pacing, 0 for none
    Bytes bytes;
    std::size_t written = 0;
    bool logged = false;
    std::int64_t EndUs() const { return dueUs + byteUs * static_cast<std::int64_t>(bytes.size()); }
};

bool SetRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// The speed the other side last set on the line. A pseudo-terminal keeps it in its settings
// without pacing by it; noting it lets a test see which speed the program chose.
std::string LineSpeed(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return "unknown";
    static const struct {
        speed_t code;
        const char* text;
    } kSpeeds[] = {{B300, "300"},     {B600, "600"},      {B1200, "1200"},   {B2400, "2400"},
                   {B4800, "4800"},   {B9600, "9600"},    {B19200, "19200"}, {B38400, "38400"},
                   {B57600, "57600"}, {B115200, "115200"}};
    const speed_t speed = cfgetospeed(&t);
    for (const auto& s : kSpeeds) {
        if (s.code == speed) return s.text;
    }
    return "other (" + std::to_string(static_cast<unsigned long>(speed)) + ")";
}

bool PointLink(const std::string& link, const std::string& target) {
    const std::string tmp = link + ".tmp." + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0) return false;
    if (rename(tmp.c_str(), link.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

class TSimulator {
public:
    TSimulator(StartOptions opts) : opts_(std::move(opts)), control_(opts_.control) {}

    int Run();

private:
    bool LoadArchive(const Settings& s, bool atStart);
    void OnInput(const std::uint8_t* data, std::size_t size);
    void Schedule(const Reply& reply, std::int64_t arrivalUs, const Settings& s);
    void WriteDue();
    int PollTimeoutMs() const;

    StartOptions opts_;
    TControlFile control_;
    TEventLog log_;
    TCommandParser parser_;
    TSimMeter meter_;
    std::string archiveLoaded_;
    std::deque<OutPiece> out_;
    int master_ = -1;
    int slave_ = -1;
    bool blocked_ = false;  // the slave's input queue was full at the last write
};

bool TSimulator::LoadArchive(const Settings& s, bool atStart) {
    if (s.archivePath == archiveLoaded_) return true;
    if (s.archivePath.empty()) {
        meter_.SetArchive(std::nullopt);
        archiveLoaded_.clear();
        log_.Note("archive generated from seed");
        return true;
    }
    std::string text;
    Archive a{};
    std::string err;
    if (!ReadWholeFile(s.archivePath, text)) {
        err = std::string("cannot read: ") + std::strerror(errno);
    } else {
        err = ParseArchiveText(text, a);
    }
    if (!err.empty()) {
        const std::string msg = "archive " + s.archivePath + ": " + err;
        if (atStart) std::fprintf(stderr, "virel1-sim: %s\n", msg.c_str());
        log_.Note(msg + (atStart ? "" : "; keeping the previous archive"));
        // Remember the failed path so a broken file is not re-read before every command.
        archiveLoaded_ = s.archivePath;
        return false;
    }
    int badSums = 0;
    for (const Record& r : a) badSums += RecordChecksum(r) != r[kOffChecksum];
    meter_.SetArchive(a);
    archiveLoaded_ = s.archivePath;
    log_.Note("archive loaded from " + s.archivePath +
              (badSums ? " (" + std::to_string(badSums) + " records with a wrong checksum)" : ""));
    return true;
}

void TSimulator::OnInput(const std::uint8_t* data, std::size_t size) {
    const std::int64_t nowUs = MonoUs();
    log_.Line("RX", HexBytes(data, size));
    for (ParseEvent& e : parser_.Feed(data, size, nowUs / 1000)) {
        if (e.kind == ParseEvent::Kind::Skipped) {
            log_.Note("skipped unknown bytes: " + HexBytes(e.bytes));
            continue;
        }
        if (e.kind == ParseEvent::Kind::Stale) {
            log_.Note("dropped unfinished command: " + HexBytes(e.bytes));
            continue;
        }
        log_.Note("line speed " + LineSpeed(slave_));
        const Settings& s = control_.Current(opts_.settings, log_);
        LoadArchive(s, false);
        const Reply reply = meter_.Handle(e.command, s, LocalNow());
        for (const auto& n : reply.notes) log_.Note(n);
        Schedule(reply, nowUs, s);
    }
}

void TSimulator::Schedule(const Reply& reply, std::int64_t arrivalUs, const Settings& s) {
    const std::int64_t byteUs = s.baud > 0 ? 10'000'000 / s.baud : 0;
    std::int64_t queueEnd = out_.empty() ? 0 : out_.back().EndUs();
    bool first = true;
    for (const ReplyPiece& p : reply.pieces) {
        OutPiece o;
        const std::int64_t gapUs = static_cast<std::int64_t>(p.gapBeforeMs) * 1000;
        o.dueUs = first ? std::max(arrivalUs + gapUs, queueEnd) : queueEnd + gapUs;
        o.byteUs = byteUs;
        o.bytes = p.bytes;
        queueEnd = o.EndUs();
        out_.push_back(std::move(o));
        first = false;
    }
}

void TSimulator::WriteDue() {
    blocked_ = false;
    while (!out_.empty()) {
        OutPiece& o = out_.front();
        const std::int64_t now = MonoUs();
        if (now < o.dueUs) return;
        std::size_t allowed = o.bytes.size();
        if (o.byteUs > 0) {
            const auto sent = static_cast<std::size_t>((now - o.dueUs) / o.byteUs) + 1;
            allowed = std::min(allowed, sent);
        }
        if (allowed <= o.written) return;
        if (!o.logged) {
            log_.Line("TX", HexBytes(o.bytes));
            o.logged = true;
        }
        const ssize_t n = write(master_, o.bytes.data() + o.written, allowed - o.written);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                blocked_ = true;
                return;
            }
            log_.Note(std::string("write failed: ") + std::strerror(errno) + "; answer dropped");
            out_.pop_front();
            continue;
        }
        o.written += static_cast<std::size_t>(n);
        if (o.written < o.bytes.size()) {
            if (o.byteUs == 0) {
                blocked_ = true;
                return;
            }
            continue;
        }
        out_.pop_front();
    }
}

int TSimulator::PollTimeoutMs() const {
    if (out_.empty()) return -1;
    if (blocked_) return 20;  // retry a full queue now and then, besides POLLOUT
    const OutPiece& o = out_.front();
    const std::int64_t next = o.dueUs + o.byteUs * static_cast<std::int64_t>(o.written);
    const std::int64_t wait = next - MonoUs();
    if (wait <= 0) return 0;
    return static_cast<int>((wait + 999) / 1000);
}

int TSimulator::Run() {
    if (!log_.Open(opts_.log)) {
        std::fprintf(stderr, "virel1-sim: cannot open log %s: %s\n", opts_.log.c_str(),
                     std::strerror(errno));
        return 2;
    }
    if (!LoadArchive(control_.Current(opts_.settings, log_), true)) return 2;

    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        std::fprintf(stderr, "virel1-sim: no pseudo-terminal: %s\n", std::strerror(errno));
        return 2;
    }
    const char* name = ptsname(master_);
    if (!name) {
        std::fprintf(stderr, "virel1-sim: ptsname: %s\n", std::strerror(errno));
        return 2;
    }
    const std::string slavePath = name;
    // Holding the slave open keeps the master free of EIO/HUP while the master program closes
    // and reopens the port between exchanges.
    slave_ = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0 || !SetRaw(slave_) || !SetRaw(master_)) {
        std::fprintf(stderr, "virel1-sim: cannot set up %s: %s\n", slavePath.c_str(),
                     std::strerror(errno));
        return 2;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    if (!opts_.link.empty() && !PointLink(opts_.link, slavePath)) {
        std::fprintf(stderr, "virel1-sim: cannot make link %s: %s\n", opts_.link.c_str(),
                     std::strerror(errno));
        return 2;
    }
    if (!opts_.pidfile.empty()) {
        FILE* f = std::fopen(opts_.pidfile.c_str(), "w");
        if (!f) {
            std::fprintf(stderr, "virel1-sim: cannot write pidfile %s\n", opts_.pidfile.c_str());
            return 2;
        }
        std::fprintf(f, "%d\n", static_cast<int>(getpid()));
        std::fclose(f);
    }
    log_.Note("started on " + slavePath + (opts_.link.empty() ? "" : " via " + opts_.link) +
              ", pid " + std::to_string(getpid()));
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGHUP);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGHUP);

    std::uint8_t buf[4096];
    while (!g_stop) {
        pollfd pfd{master_, POLLIN, 0};
        if (blocked_) pfd.events |= POLLOUT;
        const int ms = PollTimeoutMs();
        timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1'000'000L};
        const int r = ppoll(&pfd, 1, ms < 0 ? nullptr : &ts, &waitMask);
        if (r < 0 && errno != EINTR) {
            log_.Note(std::string("poll failed: ") + std::strerror(errno));
            break;
        }
        if (g_stop) break;
        if (r > 0 && (pfd.revents & POLLIN)) {
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) OnInput(buf, static_cast<std::size_t>(n));
        } else if (r > 0 && (pfd.revents & (POLLHUP | POLLERR)) && !(pfd.revents & POLLOUT)) {
            // Cannot happen while the slave is held open; do not spin if it does.
            usleep(10000);
        }
        WriteDue();
    }
    log_.Note("stopped");
    if (!opts_.pidfile.empty()) unlink(opts_.pidfile.c_str());
    close(slave_);
    close(master_);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    StartOptions opts;
    const std::string err = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), opts);
    if (!err.empty()) {
        std::fprintf(stderr, "virel1-sim: %s\n(try --help)\n", err.c_str());
        return 2;
    }
    if (opts.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    TSimulator sim(std::move(opts));
    return sim.Run();
}
