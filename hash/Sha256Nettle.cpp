#include "hash/Sha256.h"

#include <nettle/sha2.h>

namespace virel {

std::array<std::uint8_t, 32> Sha256(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    std::array<std::uint8_t, 32> digest{};
    sha256_digest(&context, digest.size(), digest.data());
    return digest;
}

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
