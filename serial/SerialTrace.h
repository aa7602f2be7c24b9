#pragma once
// The exchange trace for service engineers. TSerialTraceBackend sits between TCPDrv and the real
// backend: it passes every call on unchanged and writes one line per event of the line: the
// port and its line settings when it opens, every write and every reply in hex with its length
// and timing, and the system's error code and text of every failed call. TCPDrv does not know
// it is there, so nothing of the component's behaviour changes.
//
// A new operation of ISerialBackend is passed on in one line here (and, if it is an event of the
// line worth seeing, traced with Line() like the others).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serial/CPDrv.h"

namespace virel {

// The trace file, in the program's directory beside the log (or, where that folder cannot be
// written, in the user's application data folder beside the log's held lines).
inline constexpr char kTraceFileName[] = "VIREL1_Service.trace.txt";

// The operator's message when no trace file can be written: kTraceNotWritten, one line
// "\"<path>\": <the system's reason>" per file tried, then kTraceOff.
inline constexpr char kTraceNotWritten[] = "Не удалось записать трассировку обмена:";
inline constexpr char kTraceOff[] = "Программа работает без трассировки.";

// A trace file that could not be opened for writing, and why (the system's text).
struct TTraceFileFailure {
    std::string path;
    std::string reason;
};
std::string TraceNotWrittenMessage(const std::vector<TTraceFileFailure>& tried);

// True when the operator asked for the trace: the switch "/trace" (or "-trace", in any case)
// among the command-line arguments, or the environment variable VIREL1_TRACE set to "1".
// environmentValue: the variable's value, nullptr when it is not set.
bool SerialTraceRequested(const std::vector<std::string>& arguments, const char* environmentValue);

// A failed system call as the platform reports it.
struct TSystemError {
    std::uint32_t code = 0;
    std::string text;  // UTF-8
};

// What the trace needs of the platform. Nothing here may throw.
class ITraceEnvironment {
public:
    virtual ~ITraceEnvironment() = default;
    // The local date and time in milliseconds since 1970-01-01 (the stamp of each line).
    virtual std::int64_t LocalNowMs() = 0;
    // A steady clock in microseconds, for the durations.
    virtual std::int64_t MonotonicUs() = 0;
    // The error of the system call that has just failed (asked before anything else runs).
    virtual TSystemError LastError() = 0;
    // Appends one line (UTF-8, no line end). A line that cannot be written is lost.
    virtual void WriteLine(const std::string& line) = 0;
};

class TSerialTraceBackend final : public ISerialBackend {
public:
    // Writes `startNote` as the first line (who traces: the program and its version).
    TSerialTraceBackend(std::unique_ptr<ISerialBackend> inner,
                        std::unique_ptr<ITraceEnvironment> environment,
                        const std::string& startNote);
    // Writes what is still pending (a reply being collected, repeated errors).
    ~TSerialTraceBackend() override;
    TSerialTraceBackend(const TSerialTraceBackend&) = delete;
    TSerialTraceBackend& operator=(const TSerialTraceBackend&) = delete;

    // Longest reply written on one line; more bytes continue on the next.
    static constexpr std::size_t kMaxBytesPerLine = 256;

    void AttachWindow(TSerialMessageHandler handler) override;
    void DetachWindow() override { inner_->DetachWindow(); }
    std::intptr_t DefaultHandling(std::uint32_t msg, std::uintptr_t wParam,
                                  std::intptr_t lParam) override {
        return inner_->DefaultHandling(msg, wParam, lParam);
    }
    // A port text the program refused to open, and why. Nothing reaches the system then, so
    // without this line the trace would say nothing of the failure the operator sees.
    void NoteRefusedPort(const std::string& text, const std::string& reason) noexcept;

    bool StartTimer(std::uint32_t periodMs) override;
    void StopTimer() override { inner_->StopTimer(); }

    bool Open(const std::string& path) override;
    void Close() override;
    bool IsOpen() const override { return inner_->IsOpen(); }
    std::uint32_t OpenError() const override { return inner_->OpenError(); }

    bool SetState(const TDcb& dcb) override;
    bool Purge(std::uint32_t flags) override;
    bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool SetTimeouts(const TCommTimeouts& timeouts) override;
    bool ClearError(std::uint32_t& inQueue, std::uint32_t& outQueue) override;
    bool ModemStatus(std::uint32_t& status) override;
    bool Read(void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool Write(const void* data, std::uint32_t count, std::uint32_t& done) override;
    // Traced as a read of one byte: the byte belongs to the reply being collected.
    bool WaitForByte(std::uint8_t& byte, std::uint32_t timeoutMs, std::uint32_t& done) override;

    std::uint32_t TickCount() override { return inner_->TickCount(); }
    void Pause(std::uint32_t ms) override { inner_->Pause(ms); }

private:
    // A call that writes a line when it succeeds and a failure line when it fails.
    template <typename Describe>
    void Traced(bool ok, const char* call, Describe describe) noexcept {
        try {
            if (!ok) lastError_ = env_->LastError();  // before anything else can change it
            if (ok) {
                Line(describe());
            } else {
                Failure(call, describe());
            }
        } catch (...) {
        }
    }
    // One line: stamp, port, text; EmitAt with the stamp and the port of an earlier event.
    void Emit(const std::string& text);
    void EmitAt(std::int64_t localMs, const std::string& port, const std::string& text);
    // A line that is not a failure; first says how often the last failure repeated.
    void Line(const std::string& text);
    // "<context> — <call>, ошибка <code>: <text>" with lastError_. A failure equal to the one
    // written just before (same port, call, error and context) is only counted: the read loop
    // asks the driver again and again, and a port that fails every call must not fill the disk.
    void Failure(const char* call, const std::string& context = {});
    // The count of the repeats, when there are any, written with their port and stamped with the
    // last of them, whatever the port and the time are now.
    void FlushRepeats();
    // Ends the reply being collected: its bytes and timing, or that none came after a write.
    void EndReply();
    // Bytes read (or a failed read): into the reply being collected. A read that takes the
    // rest of what a wait's byte began is the same piece of the reply.
    void NoteRead(const void* buffer, std::uint32_t count, std::uint32_t done, bool ok,
                  bool fromWait);
    std::int64_t SafeMonotonicUs() noexcept;

    std::unique_ptr<ISerialBackend> inner_;
    std::unique_ptr<ITraceEnvironment> env_;
    std::string port_;  // "COM1" of the last opened path

    // The reply being collected since the last write (or since the port opened).
    std::vector<std::uint8_t> reply_;
    std::int64_t referenceUs_ = 0;  // end of the last write, else the opening
    bool afterWrite_ = false;
    bool awaitingReply_ = false;  // a write went out and its reply is not written yet
    std::int64_t firstByteUs_ = 0;
    std::int64_t lastByteUs_ = 0;
    int pieces_ = 0;
    bool pieceFromWait_ = false;  // the last bytes came from a wait: a read now continues them

    TSystemError lastError_;
    std::string lastFailure_;  // the last line, when it was a failure
    std::string lastFailureCall_;
    std::string lastFailurePort_;
    long repeats_ = 0;  // of lastFailure_, not written yet
    std::int64_t lastRepeatMs_ = 0;
};

}  // namespace virel
