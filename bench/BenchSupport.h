#pragma once
// What the benchmarks share: a fine clock, the process's processor time, a serial backend that
// passes every call on and notes when bytes came, and the yardstick the wait is compared with.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "serial/CPDrv.h"

namespace virel::bench {

inline double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / frequency;
}

// User and kernel time of this process so far. Wine counts it in steps of 10 ms: look at sums
// and means over many runs, not at single short ones.
inline double ProcessCpuMs() {
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

// Passes everything to the real backend; notes when bytes were read and how often the
// driver's counts were asked for. The busy loop below drives the real backend through it.
class TPassBackend final : public ISerialBackend {
public:
    explicit TPassBackend(std::unique_ptr<ISerialBackend> real) : real_(std::move(real)) {}

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
    bool WaitForByte(std::uint8_t& byte, std::uint32_t timeoutMs, std::uint32_t& done) override {
        const bool ok = real_->WaitForByte(byte, timeoutMs, done);
        if (done > 0) {
            lastByteAt = NowMs();
            if (firstByteAt == 0) firstByteAt = lastByteAt;
        }
        return ok;
    }
    std::uint32_t TickCount() override { return real_->TickCount(); }
    void Pause(std::uint32_t ms) override { real_->Pause(ms); }

private:
    std::unique_ptr<ISerialBackend> real_;
};

// The yardstick: ReadData as it was before it learnt to wait. It asks the driver for its
// queue count over and over without pause, on GetTickCount's clock, until the count is
// complete or `idleMs` (by default InputTimeout) passed without a new byte. Kept here only,
// to be measured.
inline std::uint32_t BusyReadData(TCPDrv& port, ISerialBackend& device, void* buffer,
                                  std::uint32_t count, std::optional<std::uint32_t> idleMs = {}) {
    const std::uint32_t idle = idleMs.value_or(port.InputTimeout());
    if (!port.IsConnected() || buffer == nullptr) return 0;
    port.SuspendPolling();
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t total = 0;
    DWORD mark = GetTickCount();
    while (count > 0) {
        std::uint32_t queued = 0, outQueue = 0;
        if (!device.ClearError(queued, outQueue)) queued = 0;
        if (queued > 0) {
            const std::uint32_t n = std::min(count, queued);
            std::uint32_t got = 0;
            device.Read(out, n, got);
            got = std::min(got, n);
            if (got > 0) {
                total += got;
                count -= got;
                out += got;
                mark = GetTickCount();
                continue;
            }
        }
        if (GetTickCount() - mark > idle) break;
    }
    port.ResumePolling();
    return total;
}

struct TStats {
    std::vector<double> v;
    void Add(double x) { v.push_back(x); }
    double Mean() const {
        double s = 0;
        for (double x : v) s += x;
        return v.empty() ? 0 : s / static_cast<double>(v.size());
    }
    double Min() const { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    double Max() const { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
    double Median() const {
        if (v.empty()) return 0;
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
};

// Replaces a simulator's control file in one step, so that it never reads half a file.
inline bool SetSimulator(const std::string& unixPath, const std::string& lines) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    const std::string tmp = path + ".bench.tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    std::fputs(lines.c_str(), f);
    std::fclose(f);
    if (!MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    Sleep(20);
    return true;
}

}  // namespace virel::bench
