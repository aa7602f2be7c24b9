#include "serial/SerialTrace.h"

#include <cstdio>
#include <utility>

#include "core/DateTimeFormat.h"

namespace virel {

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";

// The port as the operator knows it: "\\.\COM7" -> "COM7".
std::string PortLabel(const std::string& path) {
    const std::string prefix(kDevicePrefix);
    if (path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
    return path;
}

std::string Stamp(std::int64_t localMs) {
    const DateTime t = FromMilliseconds(localMs);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return text;
}

// Milliseconds with one decimal, whatever the C library's decimal separator is.
std::string Ms(std::int64_t us) {
    if (us < 0) us = 0;
    const std::int64_t tenths = (us + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string OnOff(std::uint8_t control, const char* handshake) {
    switch (control) {
        case 0:
            return "выкл.";
        case 1:
            return "вкл.";
        case 2:
            return handshake;
        default:
            return "режим " + std::to_string(control);
    }
}

std::string LineSettings(const TDcb& dcb) {
    static constexpr const char* kParity[] = {"нет", "нечёт", "чёт", "маркер", "пробел"};
    static constexpr const char* kStopBits[] = {"1", "1,5", "2"};
    std::string text = std::to_string(dcb.BaudRate) + " бит/с, " + std::to_string(dcb.ByteSize) +
                       " бит данных, чётность: ";
    text += dcb.Parity < 5 ? kParity[dcb.Parity] : std::to_string(dcb.Parity);
    text += ", стоп-бит: ";
    text += dcb.StopBits < 3 ? kStopBits[dcb.StopBits] : std::to_string(dcb.StopBits);
    text += ", DTR: " + OnOff(dcb.fDtrControl, "DTR/DSR");
    text += ", RTS: " + OnOff(dcb.fRtsControl, "RTS/CTS");
    if (dcb.fOutxCtsFlow) text += ", ожидание CTS";
    text += (dcb.fOutX || dcb.fInX) ? ", XON/XOFF: да" : ", XON/XOFF: нет";
    return text;
}

std::string PurgeText(std::uint32_t flags) {
    using namespace serial_const;
    const bool rx = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
    const bool tx = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
    if (rx && tx) return "очистка буферов приёма и передачи";
    if (rx) return "очистка буфера приёма";
    if (tx) return "очистка буфера передачи";
    return "очистка буферов: ничего";
}

// The backend must not throw: a trace that fails to format or write loses its line, never the
// call that it describes.
template <typename F>
void Safely(F&& f) noexcept {
    try {
        f();
    } catch (...) {
    }
}

}  // namespace

std::string TraceNotWrittenMessage(const std::vector<TTraceFileFailure>& tried) {
    std::string message = kTraceNotWritten;
    for (const TTraceFileFailure& failure : tried) {
        message += "\r\n\"" + failure.path + "\": " + failure.reason;
    }
    return message + "\r\n\r\n" + kTraceOff;
}

bool SerialTraceRequested(const std::vector<std::string>& arguments, const char* environmentValue) {
    for (const std::string& argument : arguments) {
        std::string lower;
        for (const char c : argument) {
            lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (lower == "/trace" || lower == "-trace") return true;
    }
    return environmentValue != nullptr && std::string(environmentValue) == "1";
}

TSerialTraceBackend::TSerialTraceBackend(std::unique_ptr<ISerialBackend> inner,
                                         std::unique_ptr<ITraceEnvironment> environment,
                                         const std::string& startNote)
    : inner_(std::move(inner)), env_(std::move(environment)) {
    Safely([&] { Line(startNote); });
}

TSerialTraceBackend::~TSerialTraceBackend() {
    Safely([&] {
        EndReply();
        port_.clear();
        Line("трассировка окончена");
    });
}

void TSerialTraceBackend::AttachWindow(TSerialMessageHandler handler) {
    inner_->AttachWindow(std::move(handler));
}

bool TSerialTraceBackend::StartTimer(std::uint32_t periodMs) {
    const bool ok = inner_->StartTimer(periodMs);
    if (!ok) Safely([&] { Failure("SetTimer"); });
    return ok;
}

bool TSerialTraceBackend::Open(const std::string& path) {
    Safely([&] { EndReply(); });
    const bool ok = inner_->Open(path);
    if (!ok) {
        Safely([&] {
            const TSystemError error = env_->LastError();
            port_ = PortLabel(path);
            lastError_ = error;
            Failure("CreateFile", "не открыт " + path);
        });
        return ok;
    }
    Safely([&] {
        port_ = PortLabel(path);
        referenceUs_ = env_->MonotonicUs();
        afterWrite_ = false;
        awaitingReply_ = false;
        Line("открыт " + path);
    });
    return ok;
}

void TSerialTraceBackend::Close() {
    const bool wasOpen = inner_->IsOpen();
    Safely([&] { EndReply(); });
    inner_->Close();
    if (wasOpen) Safely([&] { Line("закрыт"); });
}

bool TSerialTraceBackend::SetState(const TDcb& dcb) {
    Safely([&] { EndReply(); });
    const bool ok = inner_->SetState(dcb);
    Traced(ok, "SetCommState", [&] { return "параметры линии: " + LineSettings(dcb); });
    return ok;
}

bool TSerialTraceBackend::Purge(std::uint32_t flags) {
    Safely([&] { EndReply(); });
    const bool ok = inner_->Purge(flags);
    Traced(ok, "PurgeComm", [&] { return PurgeText(flags); });
    return ok;
}

bool TSerialTraceBackend::SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) {
    const bool ok = inner_->SetupQueues(inQueue, outQueue);
    Traced(ok, "SetupComm", [&] {
        return "очереди: приём " + std::to_string(inQueue) + ", передача " +
               std::to_string(outQueue) + " байт";
    });
    return ok;
}

bool TSerialTraceBackend::SetTimeouts(const TCommTimeouts& t) {
    const bool ok = inner_->SetTimeouts(t);
    Traced(ok, "SetCommTimeouts", [&] {
        return "тайм-ауты, мс: ReadInterval " + std::to_string(t.ReadIntervalTimeout) +
               ", ReadTotalMultiplier " + std::to_string(t.ReadTotalTimeoutMultiplier) +
               ", ReadTotalConstant " + std::to_string(t.ReadTotalTimeoutConstant) +
               ", WriteTotalMultiplier " + std::to_string(t.WriteTotalTimeoutMultiplier) +
               ", WriteTotalConstant " + std::to_string(t.WriteTotalTimeoutConstant);
    });
    return ok;
}

bool TSerialTraceBackend::ClearError(std::uint32_t& inQueue, std::uint32_t& outQueue) {
    const bool ok = inner_->ClearError(inQueue, outQueue);
    if (!ok)
        Safely([&] {
            lastError_ = env_->LastError();
            Failure("ClearCommError");
        });
    return ok;
}

bool TSerialTraceBackend::ModemStatus(std::uint32_t& status) {
    const bool ok = inner_->ModemStatus(status);
    if (!ok)
        Safely([&] {
            lastError_ = env_->LastError();
            Failure("GetCommModemStatus");
        });
    return ok;
}

bool TSerialTraceBackend::Read(void* buffer, std::uint32_t count, std::uint32_t& done) {
    const bool ok = inner_->Read(buffer, count, done);
    NoteRead(buffer, count, done, ok, false);
    return ok;
}

bool TSerialTraceBackend::WaitForByte(std::uint8_t& byte, std::uint32_t timeoutMs,
                                      std::uint32_t& done) {
    const bool ok = inner_->WaitForByte(byte, timeoutMs, done);
    NoteRead(&byte, 1, done, ok, true);
    return ok;
}

void TSerialTraceBackend::NoteRead(const void* buffer, std::uint32_t count, std::uint32_t done,
                                   bool ok, bool fromWait) {
    Safely([&] {
        if (!ok) lastError_ = env_->LastError();
        const std::uint32_t got = done <= count ? done : count;
        if (got > 0) {
            const std::int64_t now = env_->MonotonicUs();
            lastByteUs_ = now;
            if (!pieceFromWait_ || fromWait) ++pieces_;
            pieceFromWait_ = fromWait;
            const auto* bytes = static_cast<const std::uint8_t*>(buffer);
            for (std::uint32_t taken = 0; taken < got;) {
                const std::size_t room = kMaxBytesPerLine - reply_.size();
                const std::uint32_t n =
                    static_cast<std::uint32_t>(room < got - taken ? room : got - taken);
                if (reply_.empty()) firstByteUs_ = now;
                reply_.insert(reply_.end(), bytes + taken, bytes + taken + n);
                taken += n;
                if (reply_.size() >= kMaxBytesPerLine) EndReply();
            }
        } else {
            pieceFromWait_ = false;
        }
        if (!ok) Failure("ReadFile");
    });
}

bool TSerialTraceBackend::Write(const void* data, std::uint32_t count, std::uint32_t& done) {
    Safely([&] { EndReply(); });
    const std::int64_t start = SafeMonotonicUs();
    const bool ok = inner_->Write(data, count, done);
    Safely([&] {
        if (!ok) lastError_ = env_->LastError();
        const std::int64_t end = env_->MonotonicUs();
        const std::uint32_t sent = done <= count ? done : count;
        std::string text = "передача " + Hex(static_cast<const std::uint8_t*>(data), sent) +
                           " (байт: " + std::to_string(sent);
        if (sent != count) text += " из " + std::to_string(count);
        text += ", за " + Ms(end - start) + " мс)";
        if (ok) {
            Line(text);
        } else {
            Failure("WriteFile", text);
        }
        if (sent > 0) {
            referenceUs_ = end;
            afterWrite_ = true;
            awaitingReply_ = true;
        }
    });
    return ok;
}

std::int64_t TSerialTraceBackend::SafeMonotonicUs() noexcept {
    std::int64_t now = 0;
    Safely([&] { now = env_->MonotonicUs(); });
    return now;
}

void TSerialTraceBackend::NoteRefusedPort(const std::string& text,
                                          const std::string& reason) noexcept {
    try {
        FlushRepeats();
        lastFailure_.clear();
        // Under no port's name: the text names none, and the last port opened is not this one.
        EmitAt(env_->LocalNowMs(), {}, "порт «" + text + "» не открыт: " + reason);
    } catch (...) {
    }
}

void TSerialTraceBackend::Emit(const std::string& text) {
    EmitAt(env_->LocalNowMs(), port_, text);
}

void TSerialTraceBackend::EmitAt(std::int64_t localMs, const std::string& port,
                                 const std::string& text) {
    std::string line = Stamp(localMs);
    line += ' ';
    if (!port.empty()) line += port + ": ";
    line += text;
    env_->WriteLine(line);
}

void TSerialTraceBackend::Line(const std::string& text) {
    FlushRepeats();
    lastFailure_.clear();
    Emit(text);
}

void TSerialTraceBackend::Failure(const char* call, const std::string& context) {
    const std::string key = port_ + '\n' + call + '\n' + std::to_string(lastError_.code) + '\n' +
                            lastError_.text + '\n' + context;
    if (key == lastFailure_) {
        lastRepeatMs_ = env_->LocalNowMs();
        ++repeats_;
        return;
    }
    FlushRepeats();
    std::string text = context.empty() ? std::string() : context + " — ";
    text += std::string(call) + ", ошибка " + std::to_string(lastError_.code);
    if (!lastError_.text.empty()) text += ": " + lastError_.text;
    Emit(text);
    lastFailure_ = key;
    lastFailureCall_ = call;
    lastFailurePort_ = port_;
}

void TSerialTraceBackend::FlushRepeats() {
    if (repeats_ == 0) return;
    const long repeats = repeats_;
    repeats_ = 0;
    // Stamped with the last repeat: the line that follows may be of another time and port.
    EmitAt(lastRepeatMs_, lastFailurePort_,
           lastFailureCall_ + ", та же ошибка ещё " + std::to_string(repeats) + " раз");
}

void TSerialTraceBackend::EndReply() {
    const char* reference = afterWrite_ ? "после передачи" : "после открытия";
    if (!reply_.empty()) {
        std::string text = "приём " + Hex(reply_.data(), reply_.size()) +
                           " (байт: " + std::to_string(reply_.size()) + ", первый через " +
                           Ms(firstByteUs_ - referenceUs_) + " мс " + reference +
                           ", последний через " + Ms(lastByteUs_ - referenceUs_) +
                           " мс, частей: " + std::to_string(pieces_) + ")";
        reply_.clear();
        pieces_ = 0;
        awaitingReply_ = false;
        Line(text);
        return;
    }
    if (awaitingReply_) {
        awaitingReply_ = false;
        Line("ответа нет (" + Ms(env_->MonotonicUs() - referenceUs_) + " мс после передачи)");
    }
}

}  // namespace virel
