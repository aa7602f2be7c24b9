#include "core/meter/Exchange.h"

#include <array>

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

bool TExchange::OpenComPort(const TLineSettings& line) {
    if (link_.Open(line)) return true;
    // Held by another program: its exchange ends soon (each holds the port for one exchange),
    // so the port is asked for again rather than the action failing.
    TBusyPortRetry retry(clock_.LocalNowMs());
    while (link_.OpenRefusedAsBusy()) {
        const auto pause = retry.NextPause(clock_.LocalNowMs());
        if (!pause) return false;
        if (keys_.EscapeDown()) throw EProtocolCancel();
        link_.Pause(*pause);
        if (link_.Open(line)) return true;
    }
    return false;
}

void TExchange::CloseComPort() {
    link_.Close();
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
