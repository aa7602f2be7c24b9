// How ReadData behaves on a real port against the simulated meter, side by side with the busy
// loop it replaced (BenchSupport.h): the delay from the last byte of a reply to the return
// (compared with InputTimeout), the return of a read whose count the reply completes, and the
// processor time of a read with a reply and on a silent line. Not a test: it prints figures.
//
//   SerialReadBench [port number (2)] [reads per speed and loop (50)] [simulator control file]
//
// The simulator must answer on that port (scripts/sim.sh start <build> <N>); its `baud=` key
// paces the reply like a line at that speed. The two loops take turns, read by read, so that
// both see the same machine.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/platform/CommPortLink.h"
#include "bench/BenchSupport.h"
#include "serial/CPDrv.h"

namespace {

using namespace virel;
using namespace virel::bench;

struct TLoopFigures {
    TStats afterLast, whole15, cpuPerRead, polls;
    int failures = 0;
};

void Row(const char* what, const TStats& busy, const TStats& wait, const char* unit) {
    std::printf("  %-32s busy %7.1f /%7.1f /%7.1f   wait %7.1f /%7.1f /%7.1f %s\n", what,
                busy.Mean(), busy.Min(), busy.Max(), wait.Mean(), wait.Min(), wait.Max(), unit);
}

}  // namespace

int main(int argc, char** argv) {
    const int portNumber = argc > 1 ? std::atoi(argv[1]) : 2;
    const int reads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
#ifdef VIREL_SIM_DIR
    std::string ctl = std::string(VIREL_SIM_DIR) + "/port" + std::to_string(portNumber) + ".ctl";
#else
    std::string ctl;
#endif
    if (argc > 3) ctl = argv[3];
    if (portNumber < 1 || portNumber > 16 || ctl.empty()) {
        std::fprintf(stderr, "usage: SerialReadBench [port 1..16] [reads] [sim control file]\n");
        return 2;
    }

    auto pass = std::make_unique<TPassBackend>(CreateSerialBackend());
    TPassBackend& device = *pass;
    TCPDrv port(nullptr, std::move(pass));
    app::ApplyCommPortDesign(port);
    port.SetPort(static_cast<TPortNumber>(portNumber));
    const std::string fpr(
        "\x01"
        "FPR",
        4);
    // One read of the reply to FPR through either loop; false when the reply did not come.
    auto read = [&](bool busy, std::uint32_t count, TLoopFigures& f, bool full) {
        std::uint8_t buf[300];
        port.PurgeBuffers(true, true);
        device.ResetMarks();
        const double cpu0 = ProcessCpuMs();
        if (!port.SendString(fpr)) return false;
        const std::uint32_t n =
            busy ? BusyReadData(port, device, buf, count) : port.ReadData(buf, count);
        const double end = NowMs();
        const double cpu = ProcessCpuMs() - cpu0;
        if (n != 15) return false;
        if (full) {
            f.afterLast.Add(end - device.lastByteAt);
            f.cpuPerRead.Add(cpu);
            f.polls.Add(static_cast<double>(device.countQueries));
        } else {
            f.whole15.Add(end - device.lastByteAt);
        }
        return true;
    };

    std::printf(
        "ReadData against the simulated meter on COM%d, InputTimeout %u ms, %d reads per"
        " speed and loop\n(mean / min / max; busy = the old loop, wait = ReadData)\n",
        portNumber, port.InputTimeout(), reads);
    int failures = 0;
    for (const auto& [rate, baud] : {std::pair{br4800, 4800}, std::pair{br9600, 9600}}) {
        if (!SetSimulator(ctl, "baud=" + std::to_string(baud) + "\n")) {
            std::fprintf(stderr, "cannot write %s\n", ctl.c_str());
            return 1;
        }
        port.SetBaudRate(rate);
        if (!port.Connect()) {
            std::fprintf(stderr, "cannot open %s\n", port.PortName().c_str());
            return 1;
        }
        TLoopFigures busy, wait;
        for (int i = 0; i < reads; ++i) {
            for (bool b : {true, false}) {
                TLoopFigures& f = b ? busy : wait;
                if (!read(b, 280, f, true)) ++f.failures;
                if (!read(b, 15, f, false)) ++f.failures;
            }
        }
        std::printf("%d baud (%zu and %zu reads with a 15-byte reply; failures %d and %d)\n", baud,
                    busy.afterLast.v.size(), wait.afterLast.v.size(), busy.failures, wait.failures);
        Row("last byte -> return, count 280", busy.afterLast, wait.afterLast, "ms");
        Row("last byte -> return, count 15", busy.whole15, wait.whole15, "ms");
        Row("processor time per read", busy.cpuPerRead, wait.cpuPerRead, "ms");
        Row("driver count queries per read", busy.polls, wait.polls, "");
        failures += busy.failures + wait.failures;

        // A silent meter: three reads of 500 ms each per loop.
        SetSimulator(ctl, "baud=" + std::to_string(baud) + "\nsilent=1\n");
        for (bool b : {true, false}) {
            std::uint8_t buf[300];
            const double cpu0 = ProcessCpuMs(), wall0 = NowMs();
            for (int i = 0; i < 3; ++i) {
                if (b) {
                    BusyReadData(port, device, buf, 280);
                } else {
                    port.ReadData(buf, 280);
                }
            }
            const double wall = NowMs() - wall0, cpu = ProcessCpuMs() - cpu0;
            std::printf(
                "  silent line, 3 reads, %s: %.0f ms wall, %.0f ms processor (%.1f %% of "
                "one core)\n",
                b ? "busy" : "wait", wall, cpu, 100.0 * cpu / wall);
        }
        port.Disconnect();
    }
    SetSimulator(ctl, "");
    return failures == 0 ? 0 : 1;
}
