#include "FakeSerialBackend.h"

#include <algorithm>

namespace virel::test {

namespace {

class FakeBackend final : public ISerialBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeDevice> device) : d_(std::move(device)) {}
    ~FakeBackend() override {
        Close();
        DetachWindow();
    }

    void AttachWindow(TSerialMessageHandler handler) override {
        d_->handler = std::move(handler);
        d_->windowAttached = true;
        ++d_->windowsCreated;
    }
    void DetachWindow() override {
        d_->handler = nullptr;
        d_->windowAttached = false;
        d_->timerRunning = false;
    }
    std::intptr_t DefaultHandling(std::uint32_t msg, std::uintptr_t wParam,
                                  std::intptr_t lParam) override {
        d_->defaultCalls.push_back({msg, wParam, lParam});
        return FakeDevice::kDefaultResult;
    }
    bool StartTimer(std::uint32_t periodMs) override {
        d_->calls.push_back("StartTimer:" + std::to_string(periodMs));
        if (d_->failTimer) return false;
        d_->timerRunning = true;
        d_->timerPeriod = periodMs;
        return true;
    }
    void StopTimer() override {
        d_->calls.push_back("StopTimer");
        d_->timerRunning = false;
    }

    bool Open(const std::string& path) override {
        d_->calls.push_back("Open:" + path);
        ++d_->openCalls;
        auto& ports = *d_->ports;
        if (!ports.existing.count(path) || ports.held.count(path)) return false;
        ports.held.insert(path);
        d_->open = true;
        d_->openPath = path;
        return true;
    }
    void Close() override {
        if (!d_->open) return;
        d_->calls.push_back("Close");
        d_->ports->held.erase(d_->openPath);
        d_->open = false;
    }
    bool IsOpen() const override { return d_->open; }

    bool SetState(const TDcb& dcb) override {
        d_->calls.push_back("SetState");
        d_->dcbs.push_back(dcb);
        return !d_->failSetState;
    }
    bool Purge(std::uint32_t flags) override {
        d_->calls.push_back("Purge:" + std::to_string(flags));
        d_->purges.push_back(flags);
        if (d_->failPurge) return false;
        if (flags & serial_const::kPurgeRxClear) d_->input.clear();
        return true;
    }
    bool SetupQueues(std::uint32_t in, std::uint32_t out) override {
        d_->calls.push_back("SetupQueues:" + std::to_string(in) + "," + std::to_string(out));
        d_->queueSizes.emplace_back(in, out);
        return !d_->failSetup;
    }
    bool SetTimeouts(const TCommTimeouts& t) override {
        d_->calls.push_back("SetTimeouts");
        d_->timeouts.push_back(t);
        return !d_->failTimeouts && !d_->Gone();
    }
    bool ClearError(std::uint32_t& in, std::uint32_t& out) override {
        ++d_->clearErrorCalls;
        d_->DeliverDue();
        if (d_->failClearError || d_->Gone()) {
            in = out = 0;
            return false;
        }
        in = d_->phantomInput ? 7u : static_cast<std::uint32_t>(d_->input.size());
        out = d_->outQueue;
        return true;
    }
    bool ModemStatus(std::uint32_t& status) override {
        status = d_->failModemStatus ? 0 : d_->modemStatus;
        return !d_->failModemStatus;
    }
    bool Read(void* buffer, std::uint32_t count, std::uint32_t& done) override {
        d_->readRequests.push_back(count);
        done = 0;
        if (d_->failRead || d_->phantomInput || d_->Gone()) return false;
        auto* out = static_cast<std::uint8_t*>(buffer);
        while (done < count && !d_->input.empty()) {
            out[done++] = d_->input.front();
            d_->input.pop_front();
        }
        return true;
    }
    bool Write(const void* data, std::uint32_t count, std::uint32_t& done) override {
        d_->writeRequests.push_back(count);
        done = 0;
        if (d_->Gone()) return false;
        if (static_cast<std::int32_t>(d_->now - d_->acceptWritesFrom) < 0) return false;
        done = std::min(count, d_->writeLimit);
        auto* in = static_cast<const std::uint8_t*>(data);
        d_->written.insert(d_->written.end(), in, in + done);
        return true;
    }
    std::uint32_t TickCount() override {
        ++d_->tickCalls;
        d_->now += d_->step;
        if (d_->onClock) d_->onClock();
        return d_->now;
    }
    // Waits in the driver: the clock moves on to the next byte's arrival, or by the whole
    // time-out when none comes within it; unplugging ends the wait there and then.
    bool WaitForByte(std::uint8_t& byte, std::uint32_t timeoutMs, std::uint32_t& done) override {
        d_->waits.push_back(timeoutMs);
        done = 0;
        if (d_->failWait || d_->failRead || d_->phantomInput || d_->Gone()) return false;
        d_->DeliverDue();
        // Ticks after now, in unsigned arithmetic: a time-out may be close to 2^32 ms.
        std::uint32_t limit = timeoutMs;
        if (d_->vanishAt && *d_->vanishAt - d_->now < limit) limit = *d_->vanishAt - d_->now;
        std::uint32_t next = 0;
        if (d_->input.empty() && d_->NextArrival(next) && next - d_->now <= limit) {
            d_->now = next;
            d_->DeliverDue();
        }
        if (d_->input.empty()) {
            d_->now += limit;
            return !d_->Gone();
        }
        byte = d_->input.front();
        d_->input.pop_front();
        done = 1;
        return true;
    }
    void Pause(std::uint32_t ms) override {
        d_->pauses.push_back(ms);
        d_->now += ms;
    }

private:
    std::shared_ptr<FakeDevice> d_;
};

}  // namespace

std::unique_ptr<ISerialBackend> FakeDevice::MakeBackend() {
    return std::make_unique<FakeBackend>(shared_from_this());
}

}  // namespace virel::test
