// The Windows backend of TCPDrv: the serial communications API on one device handle, and a
// hidden message-only window that carries the polling timer.
#include <windows.h>

#include <mutex>
#include <new>
#include <utility>

#include "serial/CPDrv.h"
#include "win/Scopes.h"

namespace virel {

namespace {

// The component fills the DCB as the 32-bit layout has it (DCBlength 28). The x64 layout is the
// same: only 32-, 16- and 8-bit members, no pointers, so the length the driver checks is right.
static_assert(sizeof(DCB) == 28, "DCB layout");

constexpr UINT_PTR kPollTimerId = 1;
constexpr char kWindowClass[] = "VirelSerialNotify";

class TWin32SerialBackend final : public ISerialBackend {
public:
    TWin32SerialBackend() {
        LARGE_INTEGER frequency;
        // Never fails since Windows XP; the guard keeps a division by zero out regardless.
        if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) {
            frequency_ = static_cast<std::uint64_t>(frequency.QuadPart);
        }
    }
    ~TWin32SerialBackend() override {
        Close();
        DetachWindow();
    }

    void AttachWindow(TSerialMessageHandler handler) override {
        DetachWindow();
        handler_ = std::move(handler);
        if (!RegisterClassOnce()) return;
        // Message-only: never shown, never enumerated, but it has a queue and timers.
        window_ =
            win::TOwnedWindow(CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                              nullptr, GetModuleHandleA(nullptr), this));
    }

    void DetachWindow() override {
        window_.Reset();
        handler_ = nullptr;
    }

    std::intptr_t DefaultHandling(std::uint32_t msg, std::uintptr_t wParam,
                                  std::intptr_t lParam) override {
        return DefWindowProcA(window_.Get(), msg, wParam, lParam);
    }

    bool StartTimer(std::uint32_t periodMs) override {
        return window_.Get() && SetTimer(window_.Get(), kPollTimerId, periodMs, nullptr) != 0;
    }

    void StopTimer() override {
        if (window_.Get()) KillTimer(window_.Get(), kPollTimerId);
    }

    bool Open(const std::string& path) override {
        Close();
        // Share mode 0: nobody else may hold the port while we do. No overlapped flag: every
        // transfer is synchronous and bounded by the comm time-outs.
        device_ = win::THandle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (device_) {
            openError_ = 0;
            return true;
        }
        openError_ = GetLastError();
        SetLastError(openError_);  // still the open's, for whoever reports the failure
        return false;
    }
    std::uint32_t OpenError() const override { return openError_; }

    void Close() override { device_.Reset(); }
    bool IsOpen() const override { return static_cast<bool>(device_); }

    bool SetState(const TDcb& d) override {
        DCB dcb;
        ZeroMemory(&dcb, sizeof dcb);
        dcb.DCBlength = d.DCBlength;
        dcb.BaudRate = d.BaudRate;
        dcb.fBinary = d.fBinary;
        dcb.fParity = d.fParity;
        dcb.fOutxCtsFlow = d.fOutxCtsFlow;
        dcb.fOutxDsrFlow = d.fOutxDsrFlow;
        dcb.fDtrControl = d.fDtrControl;
        dcb.fDsrSensitivity = d.fDsrSensitivity;
        dcb.fTXContinueOnXoff = d.fTXContinueOnXoff;
        dcb.fOutX = d.fOutX;
        dcb.fInX = d.fInX;
        dcb.fErrorChar = d.fErrorChar;
        dcb.fNull = d.fNull;
        dcb.fRtsControl = d.fRtsControl;
        dcb.fAbortOnError = d.fAbortOnError;
        dcb.wReserved = d.wReserved;
        dcb.XonLim = d.XonLim;
        dcb.XoffLim = d.XoffLim;
        dcb.ByteSize = d.ByteSize;
        dcb.Parity = d.Parity;
        dcb.StopBits = d.StopBits;
        dcb.XonChar = d.XonChar;
        dcb.XoffChar = d.XoffChar;
        dcb.ErrorChar = d.ErrorChar;
        dcb.EofChar = d.EofChar;
        dcb.EvtChar = d.EvtChar;
        dcb.wReserved1 = d.wReserved1;
        return SetCommState(device_.Get(), &dcb) != FALSE;
    }

    bool Purge(std::uint32_t flags) override { return PurgeComm(device_.Get(), flags) != FALSE; }

    bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override {
        return SetupComm(device_.Get(), inQueue, outQueue) != FALSE;
    }

    bool SetTimeouts(const TCommTimeouts& t) override {
        timeouts_.ReadIntervalTimeout = t.ReadIntervalTimeout;
        timeouts_.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
        timeouts_.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
        timeouts_.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
        timeouts_.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
        return SetCommTimeouts(device_.Get(), &timeouts_) != FALSE;
    }

    bool ClearError(std::uint32_t& inQueue, std::uint32_t& outQueue) override {
        DWORD errors = 0;
        COMSTAT stat;
        ZeroMemory(&stat, sizeof stat);
        const bool ok = ClearCommError(device_.Get(), &errors, &stat) != FALSE;
        inQueue = ok ? stat.cbInQue : 0;
        outQueue = ok ? stat.cbOutQue : 0;
        return ok;
    }

    bool ModemStatus(std::uint32_t& status) override {
        DWORD bits = 0;
        const bool ok = GetCommModemStatus(device_.Get(), &bits) != FALSE;
        status = ok ? bits : 0;
        return ok;
    }

    bool Read(void* buffer, std::uint32_t count, std::uint32_t& done) override {
        DWORD got = 0;
        const bool ok = ReadFile(device_.Get(), buffer, count, &got, nullptr) != FALSE;
        done = got;
        return ok;
    }

    bool Write(const void* data, std::uint32_t count, std::uint32_t& done) override {
        DWORD put = 0;
        const bool ok = WriteFile(device_.Get(), data, count, &put, nullptr) != FALSE;
        done = put;
        return ok;
    }

    // GetTickCount moves in steps of the system clock tick (15.6 ms on Windows, about 16 ms
    // under Wine): too coarse for idle time-outs that end a read a few ms after InputTimeout.
    // The performance counter gives whole milliseconds, wrapping at 2^32 all the same.
    // The wait is a synchronous read of one byte under a total time-out of timeoutMs with no
    // interval time-out and no multiplier, between two SetCommTimeouts calls. Why this is sound
    // on real drivers: it is the plainest comm time-out case, which the built-in ports' driver
    // and USB adapters' drivers alike complete as soon as one byte is in their receive queue,
    // or empty when the time is up. A USB adapter hands bytes over in batches every 1-16 ms;
    // a batch lands in the queue whole, its first byte ends the wait and the caller takes the
    // rest at once, so the batching adds nothing. An interval time-out would fire between such
    // batches, and "return at once with whatever came" (interval and multiplier MAXDWORD) is
    // not kept everywhere (Wine waits out the whole constant). The driver's timer may fire up
    // to one system clock tick late, never early; the caller's clock decides when the idle
    // time is over. A removed device fails the calls at once: the caller then pauses instead.
    bool WaitForByte(std::uint8_t& byte, std::uint32_t timeoutMs, std::uint32_t& done) override {
        done = 0;
        COMMTIMEOUTS wait{};
        wait.ReadTotalTimeoutConstant = timeoutMs < 1 ? 1 : timeoutMs;  // 0: wait for ever
        wait.WriteTotalTimeoutMultiplier = timeouts_.WriteTotalTimeoutMultiplier;
        wait.WriteTotalTimeoutConstant = timeouts_.WriteTotalTimeoutConstant;
        if (!SetCommTimeouts(device_.Get(), &wait)) return false;
        DWORD got = 0;
        const bool ok = ReadFile(device_.Get(), &byte, 1, &got, nullptr) != FALSE;
        const DWORD error = GetLastError();
        SetCommTimeouts(device_.Get(), &timeouts_);
        SetLastError(error);  // the read's, for whoever reports the failure
        done = got > 0 ? 1 : 0;
        return ok;
    }

    std::uint32_t TickCount() override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const auto counts = static_cast<std::uint64_t>(now.QuadPart);
        return static_cast<std::uint32_t>(counts / frequency_ * 1000 +
                                          counts % frequency_ * 1000 / frequency_);
    }

    void Pause(std::uint32_t ms) override { Sleep(ms); }

private:
    static bool RegisterClassOnce() {
        static std::once_flag once;
        static bool registered = false;
        std::call_once(once, [] {
            WNDCLASSEXA wc;
            ZeroMemory(&wc, sizeof wc);
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &TWin32SerialBackend::WndProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = kWindowClass;
            registered = RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        });
        return registered;
    }

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<TWin32SerialBackend*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        // Messages before the pointer is stored, and after the handler is gone, get the
        // default processing. The handler itself never lets an exception out.
        if (!self || !self->handler_ || self->window_.Get() != hwnd) {
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        return self->handler_(msg, wParam, lParam);
    }

    TSerialMessageHandler handler_;
    win::TOwnedWindow window_;
    win::THandle device_;
    DWORD openError_ = 0;
    COMMTIMEOUTS timeouts_{};  // the component's, put back after each wait
    std::uint64_t frequency_ = 1000;
};

}  // namespace

std::unique_ptr<ISerialBackend> CreateSerialBackend() {
    return std::unique_ptr<ISerialBackend>(new (std::nothrow) TWin32SerialBackend);
}

}  // namespace virel
