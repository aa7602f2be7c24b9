#include "core/meter/Exchange.h"

#include <array>
#include <optional>
#include <utility>

#include "core/Errors.h"
#include "core/meter/BusyPort.h"
#include "core/meter/ReplyPace.h"

namespace virel {

std::string commands::Rd(std::uint8_t recordNumber) {
    std::string command(
        "\x04"
        "RD",
        3);
    command.push_back(static_cast<char>(recordNumber));
    return command;
}

TExchange::~TExchange() {
    // An exchange ended by an error between its opening and its closing lets go all the same.
    for (const TLockHold& hold : lockHolds_)
        if (hold.owned) portLock_.Release(hold.port);
}

bool TExchange::Hold(int portNumber) {
    if (portNumber == 0) return true;
    for (TLockHold& hold : lockHolds_) {
        if (hold.port != portNumber) continue;
        ++hold.holds;
        return true;
    }
    const TPortLockTry got = portLock_.TryAcquire(portNumber);
    if (got == TPortLockTry::Held) return false;
    lockHolds_.push_back({portNumber, 1, got == TPortLockTry::Acquired});
    return true;
}

void TExchange::LetGo(int portNumber) {
    for (auto it = lockHolds_.begin(); it != lockHolds_.end(); ++it) {
        if (it->port != portNumber) continue;
        if (--it->holds > 0) return;
        if (it->owned) portLock_.Release(portNumber);
        lockHolds_.erase(it);
        return;
    }
}

template <typename Attempt>
bool TExchange::WaitingAsForABusyPort(Attempt attempt) {
    std::optional<TBusyPortRetry> retry;
    for (;;) {
        const TTry tried = attempt();
        if (tried != TTry::Busy) return tried == TTry::Done;
        // Held by another program: its exchange ends soon (each holds the port for one
        // exchange, a harvest for its read), so the port is asked for again rather than the
        // action failing.
        if (!retry) retry.emplace(clock_.LocalNowMs());
        const auto pause = retry->NextPause(clock_.LocalNowMs());
        if (!pause) return false;
        if (keys_.EscapeDown()) throw EProtocolCancel();
        link_.Pause(*pause);
    }
}

bool TExchange::OpenComPort(const TLineSettings& line) {
    // Opened again without a close: the earlier opening's hold ends here.
    if (openHold_ != 0) LetGo(std::exchange(openHold_, 0));
    const int port = line.port.Number().value_or(0);
    return WaitingAsForABusyPort([&] {
        if (!Hold(port)) return TTry::Busy;
        if (link_.Open(line)) {
            openHold_ = port;
            return TTry::Done;
        }
        LetGo(port);
        return link_.OpenRefusedAsBusy() ? TTry::Busy : TTry::Failed;
    });
}

void TExchange::CloseComPort() {
    link_.Close();
    if (openHold_ != 0) LetGo(std::exchange(openHold_, 0));
}

bool TExchange::HoldPort(const TLineSettings& line) {
    const int port = line.port.Number().value_or(0);
    return WaitingAsForABusyPort([&] { return Hold(port) ? TTry::Done : TTry::Busy; });
}

void TExchange::LetPortGo(const TLineSettings& line) {
    LetGo(line.port.Number().value_or(0));
}

std::string TExchange::ReadString() {
    std::array<std::uint8_t, kReadBufferSize> buffer{};
    const std::uint32_t n = quickReplySize_ == 0
                                ? link_.ReadData(buffer.data(), kReadCount)
                                : ReadPacedReply(link_, buffer.data(), kReadCount, quickReplySize_);
    if (n == 0) return {};
    // A link that claims more than it was asked for must not make us read past the buffer.
    const std::size_t size = n < kReadCount ? n : kReadCount;
    return std::string(reinterpret_cast<const char*>(buffer.data()), size);
}

std::string TExchange::SendCommand(const std::string& command) {
    std::string reply;
    TSendings sendings;
    for (const int timeoutMs : kAttemptTimeoutsMs) SendAttempt(command, reply, timeoutMs, sendings);
    // The reply answered one of the sendings, the later ones are still owed. The meter takes
    // about as long for each, so the last of them is due at most the spread of the sendings
    // after this reply. Replies carry nothing that names their command: only timing tells.
    if (!reply.empty() && sendings.count > 1) {
        DropAnswersFor(sendings.lastMs - sendings.firstMs + kOwedAnswerMarginMs);
    }
    return reply;
}

bool TExchange::Over(std::int64_t& start, std::int64_t windowMs) {
    const std::int64_t now = clock_.LocalNowMs();
    // The wall clock may be set back (daylight saving, time sync) while we wait; without this
    // a wait on a silent line would last the whole jump.
    if (now < start) start = now;
    return now - start > windowMs;
}

void TExchange::DropAnswersFor(std::int64_t windowMs) {
    std::int64_t start = clock_.LocalNowMs();
    while (!Over(start, windowMs)) {
        try {
            // Owed answers are dropped unread: they belong to no exchange any more.
            static_cast<void>(ReadString());
        } catch (...) {
            return;  // a failing port owes nothing more that could be read
        }
    }
}

void TExchange::SendAttempt(const std::string& command, std::string& reply, int timeoutMs,
                            TSendings& sendings) {
    // Outside the guard below: cancellation must leave the exchange.
    if (keys_.EscapeDown()) throw EProtocolCancel();
    try {
        if (!reply.empty()) return;
        const bool sent = link_.SendString(command);
        std::int64_t start = clock_.LocalNowMs();
        if (sent) {
            if (sendings.count++ == 0) sendings.firstMs = start;
            sendings.lastMs = start;
        }
        do {
            reply = ReadString();
            if (!reply.empty()) return;
        } while (!Over(start, timeoutMs));
    } catch (...) {
        // A failing port or a failed allocation counts as "nothing came" for this attempt.
        reply.clear();
    }
}

}  // namespace virel
