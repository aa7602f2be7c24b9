// How ReadData behaves on a real port against the simulated meter: the delay from the last
// byte read to the return (compared with InputTimeout), and the processor time one read costs
// with its busy wait. Not a test: it prints figures.
//
//   SerialReadBench [port number (2)] [reads per speed (10)] [simulator control file]
//
// The simulator must answer on that port (scripts/sim.sh start <build> <N>); its `baud=` key
// paces the reply like a line at that speed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "serial/CPDrv.h"

namespace {

using namespace virel;

double NowMs() {
    static const double freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / freq;
}

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& t) {
        ULARGE_INTEGER v;
        v.LowPart = t.dwLowDateTime;
        v.HighPart = t.dwHighDateTime;
        return static_cast<double>(v.QuadPart) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// Passes everything to the real backend and notes when bytes were read and how often the
// driver's counts were asked for.
class TTimedBackend final : public ISerialBackend {
public:
    explicit TTimedBackend(std::unique_ptr<ISerialBackend> real) : real_(std::move(real)) {}

    double firstByteAt = 0;
    double lastByteAt = 0;
    unsigned long long countQueries = 0;
    void ResetMarks() {
        firstByteAt = lastByteAt = 0;
        countQueries = 0;
    }

    void AttachWindow(TSerialMessageHandler h) override { real_->AttachWindow(std::move(h)); }
    void DetachWindow() override { real_->DetachWindow(); }
    std::intptr_t DefaultHandling(std::uint32_t m, std::uintptr_t w, std::intptr_t l) override {
        return real_->DefaultHandling(m, w, l);
    }
    bool StartTimer(std::uint32_t p) override { return real_->StartTimer(p); }
    void StopTimer() override { real_->StopTimer(); }
    bool Open(const std::string& path) override { return real_->Open(path); }
    void Close() override { real_->Close(); }
    bool IsOpen() const override { return real_->IsOpen(); }
    bool SetState(const TDcb& d) override { return real_->SetState(d); }
    bool Purge(std::uint32_t f) override { return real_->Purge(f); }
    bool SetupQueues(std::uint32_t i, std::uint32_t o) override { return real_->SetupQueues(i, o); }
    bool SetTimeouts(const TCommTimeouts& t) override { return real_->SetTimeouts(t); }
    bool ClearError(std::uint32_t& i, std::uint32_t& o) override {
        ++countQueries;
        return real_->ClearError(i, o);
    }
    bool ModemStatus(std::uint32_t& s) override { return real_->ModemStatus(s); }
    bool Read(void* b, std::uint32_t n, std::uint32_t& done) override {
        const bool ok = real_->Read(b, n, done);
        if (done > 0) {
            lastByteAt = NowMs();
            if (firstByteAt == 0) firstByteAt = lastByteAt;
        }
        return ok;
    }
    bool Write(const void* d, std::uint32_t n, std::uint32_t& done) override {
        return real_->Write(d, n, done);
    }
    std::uint32_t TickCount() override { return real_->TickCount(); }

private:
    std::unique_ptr<ISerialBackend> real_;
};

// The control file is named after the port ("com2.ctl"), a reserved device name for Windows;
// the "\\?\" form of the path reaches the file.
bool SetSimulator(const std::string& unixPath, const std::string& line) {
    std::string path = "\\\\?\\Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    const std::string tmp = path + ".bench.tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << line << '\n';
    }
    if (!MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    Sleep(20);
    return true;
}

struct Stats {
    std::vector<double> v;
    double Mean() const {
        double s = 0;
        for (double x : v) s += x;
        return v.empty() ? 0 : s / static_cast<double>(v.size());
    }
    double Min() const { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    double Max() const { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
};

void Print(const char* what, const Stats& s, const char* unit) {
    std::printf("  %-34s mean %8.2f  min %8.2f  max %8.2f %s\n", what, s.Mean(), s.Min(), s.Max(),
                unit);
}

}  // namespace

int main(int argc, char** argv) {
    const int portNumber = argc > 1 ? std::atoi(argv[1]) : 2;
    const int reads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
#ifdef VIREL_SIM_DIR
    std::string ctl = std::string(VIREL_SIM_DIR) + "/com" + std::to_string(portNumber) + ".ctl";
#else
    std::string ctl;
#endif
    if (argc > 3) ctl = argv[3];
    if (portNumber < 1 || portNumber > 16 || ctl.empty()) {
        std::fprintf(stderr, "usage: SerialReadBench [port 1..16] [reads] [sim control file]\n");
        return 2;
    }

    auto timed = std::make_unique<TTimedBackend>(CreateSerialBackend());
    TTimedBackend& probe = *timed;
    TCPDrv port(nullptr, std::move(timed));
    ApplyCommPortDesign(port);
    port.SetPort(static_cast<TPortNumber>(portNumber));
    const std::string fpr(
        "\x01"
        "FPR",
        4);

    std::printf("ReadData against the simulated meter on COM%d, InputTimeout %u ms, %d reads\n",
                portNumber, port.InputTimeout(), reads);
    int failures = 0;
    for (const auto& [rate, baud] : {std::pair{br4800, 4800}, std::pair{br9600, 9600}}) {
        if (!SetSimulator(ctl, "baud=" + std::to_string(baud))) {
            std::fprintf(stderr, "cannot write %s\n", ctl.c_str());
            return 1;
        }
        port.SetBaudRate(rate);
        if (!port.Connect()) {
            std::fprintf(stderr, "cannot open %s\n", port.PortName().c_str());
            return 1;
        }
        Stats afterLast, excess, cpu, cpuShare, reply, polls, whole15;
        for (int i = 0; i < reads; ++i) {
            std::uint8_t buf[300];
            port.PurgeBuffers(true, true);
            probe.ResetMarks();
            const double cpu0 = ProcessCpuMs();
            const double t0 = NowMs();
            const bool sent = port.SendString(fpr);
            const std::uint32_t n = port.ReadData(buf, 280);
            const double t1 = NowMs();
            const double cpu1 = ProcessCpuMs();
            if (!sent || n != 15) {
                ++failures;
                continue;
            }
            afterLast.v.push_back(t1 - probe.lastByteAt);
            excess.v.push_back(t1 - probe.lastByteAt - port.InputTimeout());
            cpu.v.push_back(cpu1 - cpu0);
            cpuShare.v.push_back(100.0 * (cpu1 - cpu0) / (t1 - t0));
            reply.v.push_back(probe.lastByteAt - probe.firstByteAt);
            polls.v.push_back(static_cast<double>(probe.countQueries));

            // The same reply asked for by its exact length returns with the last byte.
            probe.ResetMarks();
            port.SendString(fpr);
            const std::uint32_t m = port.ReadData(buf, 15);
            const double t2 = NowMs();
            if (m == 15) whole15.v.push_back(t2 - probe.lastByteAt);
        }
        port.Disconnect();
        std::printf("%d baud (%zu of %d reads with a 15-byte reply)\n", baud, afterLast.v.size(),
                    reads);
        Print("last byte -> return, count 280", afterLast, "ms");
        Print("  of which beyond InputTimeout", excess, "ms");
        Print("last byte -> return, count 15", whole15, "ms");
        Print("first -> last byte of the reply", reply, "ms");
        Print("processor time per read", cpu, "ms");
        Print("processor share of the read", cpuShare, "%");
        Print("driver count queries per read", polls, "");
    }
    SetSimulator(ctl, "");
    return failures == 0 ? 0 : 1;
}
