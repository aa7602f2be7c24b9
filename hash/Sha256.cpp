// What both systems' backends share: the digest as text.
#include "hash/Sha256.h"

namespace virel {

std::string Sha256Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t b : Sha256(bytes)) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

}  // namespace virel
