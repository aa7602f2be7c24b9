#include "core/meter/ReplyPace.h"

#include "core/meter/DeviceSeams.h"

namespace virel {

namespace {
constexpr std::uint32_t kGuardCharacters = 4;
constexpr std::uint32_t kBitsPerCharacter = 10;  // start bit, 8 data bits, stop bit
constexpr std::uint32_t kMinGuardMs = 5;
constexpr std::uint32_t kUnknownSpeedGuardMs = 20;
}  // namespace

std::uint32_t ReplyGuardMs(std::uint32_t bitsPerSecond) {
    if (bitsPerSecond == 0) return kUnknownSpeedGuardMs;
    const std::uint64_t bits = std::uint64_t{kGuardCharacters} * kBitsPerCharacter * 1000;
    const auto ms = static_cast<std::uint32_t>((bits + bitsPerSecond - 1) / bitsPerSecond);
    return ms < kMinGuardMs ? kMinGuardMs : ms;
}

std::uint32_t ReadPacedReply(IDeviceLink& link, std::uint8_t* buffer, std::uint32_t count,
                             std::uint32_t expected) {
    if (expected == 0 || expected > count) return link.ReadData(buffer, count);
    std::uint32_t got = link.ReadData(buffer, expected);
    if (got > expected) got = expected;  // a link that claims more than asked for
    if (got < expected) return got;
    std::uint32_t more =
        link.ReadDataIdle(buffer + got, count - got, ReplyGuardMs(link.LineSpeed()));
    if (more > count - got) more = count - got;
    return got + more;
}

}  // namespace virel
