#include "serial/CPDrv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

namespace virel {

using namespace serial_const;

namespace {

constexpr std::uint32_t kMinBufSize = 128;
constexpr std::uint32_t kMaxBufSize = 8192;
constexpr std::uint16_t kMinPollingDelay = 5;
// The receive buffer holds a whole packet, and it is never larger than this.
constexpr std::int16_t kMaxPacketSize = static_cast<std::int16_t>(kMaxBufSize);

// Longest pause between two looks at the driver when it cannot wait for input itself, and
// the pause of a send that finds no room in the driver's queue.
constexpr std::uint32_t kFallbackPauseMs = 10;
constexpr std::uint32_t kSendPauseMs = 1;

// Stands in when no real backend could be made: every device call fails, so the component
// behaves as one whose port never opens.
class TNullBackend final : public ISerialBackend {
public:
    void AttachWindow(TSerialMessageHandler) override {}
    void DetachWindow() override {}
    std::intptr_t DefaultHandling(std::uint32_t, std::uintptr_t, std::intptr_t) override {
        return 0;
    }
    bool StartTimer(std::uint32_t) override { return false; }
    void StopTimer() override {}
    bool Open(const std::string&) override { return false; }
    void Close() override {}
    bool IsOpen() const override { return false; }
    bool SetState(const TDcb&) override { return false; }
    bool Purge(std::uint32_t) override { return false; }
    bool SetupQueues(std::uint32_t, std::uint32_t) override { return false; }
    bool SetTimeouts(const TCommTimeouts&) override { return false; }
    bool ClearError(std::uint32_t& in, std::uint32_t& out) override {
        in = out = 0;
        return false;
    }
    bool ModemStatus(std::uint32_t& status) override {
        status = 0;
        return false;
    }
    bool Read(void*, std::uint32_t, std::uint32_t& done) override {
        done = 0;
        return false;
    }
    bool Write(const void*, std::uint32_t, std::uint32_t& done) override {
        done = 0;
        return false;
    }
    bool WaitForByte(std::uint8_t&, std::uint32_t, std::uint32_t& done) override {
        done = 0;
        return false;
    }
    std::uint32_t TickCount() override { return 0; }
    void Pause(std::uint32_t) override {}
};

std::unique_ptr<ISerialBackend> OrNullBackend(std::unique_ptr<ISerialBackend> backend) {
    if (backend) return backend;
    return std::unique_ptr<ISerialBackend>(new (std::nothrow) TNullBackend);
}

// Rounds to the nearest integer, halves to the even neighbour (12.5 -> 12, 15.5 -> 16).
double RoundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff > 0.5) return lower + 1;
    if (diff < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1;
}

}  // namespace

std::uint32_t BaudRateToValue(TBaudRate rate) {
    static constexpr std::uint32_t kRates[] = {0,     110,    300,    600,   1200,  2400,
                                               4800,  9600,   14400,  19200, 38400, 56000,
                                               57600, 115200, 128000, 256000};
    const auto index = static_cast<std::size_t>(rate);
    return index < std::size(kRates) ? kRates[index] : 0;
}

std::string PortPath(int number) {
    char text[32];
    std::snprintf(text, sizeof text, "\\\\.\\COM%d", number);
    return text;
}

TCPDrv::TCPDrv(void* owner, std::unique_ptr<ISerialBackend> backend)
    : owner_(owner), backend_(OrNullBackend(std::move(backend))) {
    // Both steps can only fail for lack of memory; the component then has no receive buffer
    // (ticks read nothing) or no backend (the port never opens), but it still works.
    ReallocateReceiveBuffer(inBufSize_);
    if (!backend_) return;
    try {
        backend_->AttachWindow(
            [this](std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
                return DispatchWindowMessage(msg, wParam, lParam);
            });
    } catch (...) {
    }
}

TCPDrv::~TCPDrv() {
    Disconnect();
    receiveBuffer_ = {};
    if (backend_) backend_->DetachWindow();
}

// --- Properties ---

void TCPDrv::SetPort(TPortNumber value) {
    if (IsConnected() || value > pnCOM16) return;
    port_ = value;
    if (value == pnCustom) return;
    try {
        portName_ = PortPath(value);
    } catch (...) {
    }
}

void TCPDrv::SetPortName(const std::string& value) {
    if (IsConnected()) return;
    try {
        portName_ = value;
    } catch (...) {
        return;
    }
    port_ = pnCustom;
}

void TCPDrv::SetBaudRate(TBaudRate value) {
    baudRate_ = value;
    if (value != brCustom) baudRateValue_ = BaudRateToValue(value);
    Reapply();
}

void TCPDrv::SetBaudRateValue(std::uint32_t value) {
    baudRateValue_ = value;
    baudRate_ = brCustom;
    Reapply();
}

void TCPDrv::SetDataBits(TDataBits value) {
    dataBits_ = value;
    Reapply();
}

void TCPDrv::SetStopBits(TStopBits value) {
    stopBits_ = value;
    Reapply();
}

void TCPDrv::SetParity(TParity value) {
    parity_ = value;
    Reapply();
}

void TCPDrv::SetHwFlow(THwFlowControl value) {
    hwFlow_ = value;
    Reapply();
}

void TCPDrv::SetSwFlow(TSwFlowControl value) {
    swFlow_ = value;
    Reapply();
}

void TCPDrv::SetInBufSize(std::uint32_t value) {
    if (IsConnected()) return;
    value = std::clamp(value, kMinBufSize, kMaxBufSize);
    // A buffer that cannot be had leaves the old size and buffer in place.
    if (!ReallocateReceiveBuffer(value)) return;
    inBufSize_ = value;
    SetPacketSize(packetSize_);
}

void TCPDrv::SetOutBufSize(std::uint32_t value) {
    if (IsConnected()) return;
    outBufSize_ = std::clamp(value, kMinBufSize, kMaxBufSize);
}

void TCPDrv::SetPacketSize(std::int16_t value) {
    if (value <= 0) {
        packetSize_ = -1;
        return;
    }
    value = std::min(value, kMaxPacketSize);
    const auto size = static_cast<std::uint32_t>(value);
    if (size <= inBufSize_) {
        packetSize_ = value;
        return;
    }
    // A packet is read whole into the receive buffer, and the buffer cannot grow while open.
    if (IsConnected()) return;
    const std::int16_t previous = packetSize_;
    packetSize_ = value;
    SetInBufSize(size);
    if (inBufSize_ < size) packetSize_ = previous;  // no memory for the larger buffer
}

void TCPDrv::SetPacketTimeout(std::int32_t value) {
    if (value < 1) {
        packetTimeout_ = -1;
    } else if (value < pollingDelay_) {
        packetTimeout_ = pollingDelay_ + pollingDelay_ * 40 / 100;
    } else {
        packetTimeout_ = value;
    }
}

void TCPDrv::SetPollingDelay(std::uint16_t value) {
    value = std::max(value, kMinPollingDelay);
    if (value == pollingDelay_) return;
    const bool open = IsConnected();
    if (open) backend_->StopTimer();
    pollingDelay_ = value;
    if (open) backend_->StartTimer(pollingDelay_);
    SetPacketTimeout(packetTimeout_);
}

bool TCPDrv::ReallocateReceiveBuffer(std::uint32_t size) {
    try {
        std::vector<std::uint8_t> fresh(size, 0);
        receiveBuffer_.swap(fresh);
        return true;
    } catch (...) {
        return false;
    }
}

void TCPDrv::Reapply() {
    if (IsConnected()) ApplySettings();
}

// --- Opening and closing ---

bool TCPDrv::IsConnected() const {
    return backend_ && backend_->IsOpen();
}

bool TCPDrv::Connect() {
    if (IsConnected()) return true;
    if (!backend_) return false;
    if (!backend_->Open(portName_) || !backend_->IsOpen()) return false;
    if (!ApplySettings()) {
        Disconnect();
        return false;
    }
    // Reads return at once with what is queued (the loops only ask for queued bytes), and a
    // write gives up after 10 ms and reports how much went out.
    TCommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = 1;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 10;
    backend_->SetTimeouts(timeouts);
    backend_->StartTimer(pollingDelay_);
    return true;
}

void TCPDrv::Disconnect() {
    if (!IsConnected()) return;
    backend_->StopTimer();
    backend_->Close();
}

TDcb TCPDrv::BuildDcb() const {
    TDcb dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = baudRateValue_;
    dcb.fBinary = 1;
    dcb.fParity = 0;  // the line is not checked for parity, whatever Parity says
    dcb.fOutxCtsFlow = hwFlow_ == hfRTSCTS ? 1 : 0;
    dcb.fDtrControl = enableDTROnOpen_ ? 1 : 0;
    switch (hwFlow_) {
        case hfNONE:
            dcb.fRtsControl = 0;
            break;
        case hfNONERTSON:
            dcb.fRtsControl = 1;
            break;
        case hfRTSCTS:
            dcb.fRtsControl = 2;
            break;
    }
    const std::uint8_t xonxoff = swFlow_ == sfXONXOFF ? 1 : 0;
    dcb.fOutX = xonxoff;
    dcb.fInX = xonxoff;
    dcb.XonLim = static_cast<std::uint16_t>(inBufSize_ / 4);
    dcb.XoffLim = dcb.XonLim;
    dcb.ByteSize = static_cast<std::uint8_t>(dataBits_ + 5);
    dcb.Parity = static_cast<std::uint8_t>(parity_);
    dcb.StopBits = static_cast<std::uint8_t>(stopBits_);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

bool TCPDrv::ApplySettings() {
    if (!IsConnected()) return false;
    if (!backend_->SetState(BuildDcb())) return false;
    if (!PurgeBuffers(true, true)) return false;
    return backend_->SetupQueues(inBufSize_, outBufSize_);
}

bool TCPDrv::PurgeBuffers(bool input, bool output) {
    if (!IsConnected()) return false;
    std::uint32_t flags = 0;
    if (output) flags |= kPurgeTxAbort | kPurgeTxClear;
    if (input) flags |= kPurgeRxAbort | kPurgeRxClear;
    if (!backend_->Purge(flags)) return false;
    packetStart_ = kTickNone;
    return true;
}

// --- Transfer ---
//
// The send and read loops dispatch no messages, so no polling tick can run in between and
// take the reply bytes away. While nothing moves they wait instead of asking the driver again
// at once: a read sleeps in the driver until the next byte comes (WaitForInput), a send pauses
// while the driver's queue is full. Their time-outs count as before, on the backend's clock.

std::uint32_t TCPDrv::InputCount() {
    if (!IsConnected()) return 65535;
    return QueuedInput();
}

std::uint32_t TCPDrv::QueuedInput() {
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    if (!backend_->ClearError(in, out)) return 0;
    return in;
}

std::uint16_t TCPDrv::OutputFreeSpace() {
    if (!IsConnected()) return 65535;
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    if (!backend_->ClearError(in, out)) out = 0;
    return static_cast<std::uint16_t>(outBufSize_ - out);
}

TModemSignals TCPDrv::ModemSignals() {
    TModemSignals signals;
    if (!IsConnected()) return signals;
    std::uint32_t status = 0;
    if (!backend_->ModemStatus(status)) return signals;
    if (status & kMsCtsOn) signals.Include(msCTS);
    if (status & kMsDsrOn) signals.Include(msDSR);
    if (status & kMsRingOn) signals.Include(msRING);
    if (status & kMsRlsdOn) signals.Include(msRLSD);
    return signals;
}

std::uint32_t TCPDrv::SendDataWithTimeout(const void* data, std::uint32_t count,
                                          std::uint32_t timeout) {
    if (!IsConnected()) return 0;
    std::uint32_t total = 0;
    std::uint32_t mark = backend_->TickCount();
    if (count == 0 || data == nullptr) return 0;
    auto* bytes = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        const std::uint16_t free = OutputFreeSpace();
        if (free > 0) {
            if (checkLineStatus_ && ModemSignals().Empty()) break;
            const std::uint32_t n = std::min<std::uint32_t>(count, free);
            std::uint32_t written = 0;
            backend_->Write(bytes, n, written);  // only the count matters, not the result
            written = std::min(written, n);
            if (written > 0) {
                total += written;
                count -= written;
                bytes += written;
                mark = backend_->TickCount();
                continue;
            }
        }
        // Idle time-out: counted from the last write that made progress.
        if (backend_->TickCount() - mark > timeout) break;
        // The queue is full, or the driver took nothing within its own 10 ms: the line needs
        // time to drain, which asking again at once would not give it.
        backend_->Pause(kSendPauseMs);
    }
    return total;
}

std::uint32_t TCPDrv::SendData(const void* data, std::uint32_t count) {
    return SendDataWithTimeout(data, count, outputTimeout_);
}

bool TCPDrv::SendString(const std::string& text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    const auto n = static_cast<std::uint32_t>(text.size());
    return SendData(text.data(), n) == n;
}

std::uint32_t TCPDrv::ReadData(void* buffer, std::uint32_t count) {
    if (!IsConnected() || buffer == nullptr) return 0;
    SuspendPolling();
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t total = 0;
    std::uint32_t mark = backend_->TickCount();
    bool waitedByte = false;  // the last byte came from a wait: the idle time starts now
    while (count > 0) {
        const std::uint32_t queued = QueuedInput();
        if (queued > 0) {
            const std::uint32_t n = std::min(count, queued);
            std::uint32_t got = 0;
            backend_->Read(out, n, got);
            got = std::min(got, n);
            if (got > 0) {
                total += got;
                count -= got;
                out += got;
                mark = backend_->TickCount();
                waitedByte = false;
                continue;
            }
            // A driver that reports bytes it then does not hand over must not keep the
            // read alive for ever: that counts as silence.
        }
        const std::uint32_t now = backend_->TickCount();
        if (waitedByte) mark = now;
        waitedByte = false;
        const std::uint32_t idle = now - mark;
        if (idle > inputTimeout_) break;
        // The time-out fires when the idle time is greater than InputTimeout: one more ms.
        const std::uint64_t left = std::uint64_t{inputTimeout_} - idle + 1;
        if (WaitForInput(*out, now,
                         static_cast<std::uint32_t>(std::min<std::uint64_t>(
                             left, std::numeric_limits<std::uint32_t>::max() - 1)))) {
            ++total;
            --count;
            ++out;
            waitedByte = true;
        }
    }
    ResumePolling();
    return total;
}

// Waits in the driver until one byte has come (stored in `byte`, true) or `limitMs` have passed
// since the tick `start` (false). Why the driver's wait is sound on real ports: see the Windows
// backend's WaitForByte.
bool TCPDrv::WaitForInput(std::uint8_t& byte, std::uint32_t start, std::uint32_t limitMs) {
    std::uint32_t got = 0;
    backend_->WaitForByte(byte, std::max<std::uint32_t>(limitMs, 1), got);
    if (got > 0) return true;
    // A driver that gave up well before the time (a failing or vanished device) did not wait:
    // sleep instead, in short steps, so that bytes that still come are seen soon after. A wait
    // that merely ended a little early needs nothing: the next one covers the rest.
    const std::uint32_t slept = backend_->TickCount() - start;
    if (slept < limitMs / 2) backend_->Pause(std::min(limitMs - slept, kFallbackPauseMs));
    return false;
}

// --- Receive polling ---

std::uint32_t TCPDrv::PacketTransmissionTime() const {
    if (packetSize_ <= 0) return 0;
    const double ms = packetSize_ * 1000.0 / (baudRateValue_ / 10.0);
    // A zero rate (a custom value the device refused) would make this infinite.
    if (!std::isfinite(ms) || ms >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(RoundHalfEven(ms));
}

std::intptr_t TCPDrv::WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!backend_) return 0;
    if (msg != kWmTimer || !IsConnected()) return backend_->DefaultHandling(msg, wParam, lParam);
    PollTick();
    return 0;
}

std::intptr_t TCPDrv::DispatchWindowMessage(std::uint32_t msg, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    // An exception must not unwind through the system's window procedure: what an event
    // handler raised goes to the owner instead.
    try {
        return WindowProc(msg, wParam, lParam);
    } catch (...) {
        if (!OnEventError) return 0;
        try {
            OnEventError(*this, std::current_exception());
        } catch (...) {
        }
        return 0;
    }
}

void TCPDrv::PollTick() {
    // ReadData holds the count above 0, so a tick never takes bytes from a running read.
    if (pauseCount_ > 0) return;
    // Line errors are cleared here and deliberately not reported.
    const std::uint32_t queued = QueuedInput();
    if (packetSize_ <= 0) {
        PollPlain(queued);
    } else {
        PollPackets(queued);
    }
}

void TCPDrv::PollPlain(std::uint32_t queued) {
    // At most one buffer per read; the rest follows in further portions of the same tick.
    while (queued > 0 && !receiveBuffer_.empty()) {
        const auto n =
            std::min<std::uint32_t>(queued, static_cast<std::uint32_t>(receiveBuffer_.size()));
        std::uint32_t got = 0;
        const bool ok = backend_->Read(receiveBuffer_.data(), n, got);
        got = std::min(got, n);
        if (!ok || got == 0) return;
        queued -= got;
        if (OnReceiveData) {
            OnReceiveData(*this, receiveBuffer_.data(), got);
            // The handler may have closed the port or changed the mode.
            if (!IsConnected() || packetSize_ > 0) return;
        }
    }
}

void TCPDrv::PollPackets(std::uint32_t queued) {
    auto size = static_cast<std::uint32_t>(packetSize_);
    if (queued >= size) {
        while (queued >= size && size <= receiveBuffer_.size()) {
            std::uint32_t got = 0;
            const bool ok = backend_->Read(receiveBuffer_.data(), size, got);
            got = std::min(got, size);
            if (ok && got > 0 && OnReceivePacket) {
                OnReceivePacket(*this, receiveBuffer_.data(), got);
                if (!IsConnected() || packetSize_ <= 0) return;
            }
            // The start tick estimates when the first remaining byte arrived.
            if (packetStart_ != kTickNone) packetStart_ += PacketTransmissionTime();
            queued -= size;
            if (queued == 0) packetStart_ = kTickNone;
            size = static_cast<std::uint32_t>(packetSize_);
        }
        // Several packets within one polling period leave no start to estimate from: the
        // bytes left over start their packet time-out now.
        if (queued > 0 && packetStart_ == kTickNone) packetStart_ = backend_->TickCount();
        return;
    }
    if (packetTimeout_ > 0 && packetStart_ != kTickNone &&
        backend_->TickCount() - packetStart_ > static_cast<std::uint32_t>(packetTimeout_)) {
        const auto n =
            std::min<std::uint32_t>(queued, static_cast<std::uint32_t>(receiveBuffer_.size()));
        std::uint32_t got = 0;
        const bool ok = backend_->Read(receiveBuffer_.data(), n, got);
        got = std::min(got, n);
        packetStart_ = kTickNone;
        if (ok && got > 0 && packetMode_ == pmPass && OnReceivePacket) {
            OnReceivePacket(*this, receiveBuffer_.data(), got);
        }
        return;
    }
    if (queued > 0 && packetStart_ == kTickNone) packetStart_ = backend_->TickCount();
}

}  // namespace virel
