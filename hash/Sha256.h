#pragma once
// SHA-256 of a byte string, for keeping a patient's identifier only as a salted hash in the
// dose journal: the same patient typed again gives the same hash, and the text is not kept.
// The hashing is the system's (Windows' CNG) or a cryptographic library's (natively, Nettle),
// never code of our own: a hash that a clinic's audit relies on must be a vetted one.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace virel {

std::array<std::uint8_t, 32> Sha256(std::string_view bytes);
std::string Sha256Hex(std::string_view bytes);  // 64 lowercase hexadecimal digits

}  // namespace virel
