#pragma once
// The quick reply read of the file export: a reply of the expected size is taken as soon as
// its bytes are in and the line has then stayed quiet for a short guard, instead of waiting
// out the port's 500 ms input time-out after every reply.
#include <cstdint>

namespace virel {

class IDeviceLink;

// The guard after the expected bytes: four characters at the line speed (10 bits each), at
// least 5 ms so that a byte the driver hands over one timer tick late still counts. A meter
// that sends more than the expected bytes sends them back to back, so they arrive within it
// and make the reply too long (a failure, as with the slow read). 20 ms for an unknown speed.
std::uint32_t ReplyGuardMs(std::uint32_t bitsPerSecond);

// Reads up to `count` bytes: first up to `expected` under the port's input time-out (a reply
// cut short or a silent line behave as with the slow read); once `expected` bytes are in,
// whatever follows within the guard is added. Returns the number of bytes read.
std::uint32_t ReadPacedReply(IDeviceLink& link, std::uint8_t* buffer, std::uint32_t count,
                             std::uint32_t expected);

}  // namespace virel
