#include "hash/Sha256.h"

#include <windows.h>
// after windows.h
#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

namespace virel {

namespace {

// CNG's algorithm and hash handles, closed on every way out.
class TAlgorithm {
public:
    TAlgorithm() {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            throw std::runtime_error("SHA-256 is not available");
    }
    ~TAlgorithm() { BCryptCloseAlgorithmProvider(handle_, 0); }
    TAlgorithm(const TAlgorithm&) = delete;
    TAlgorithm& operator=(const TAlgorithm&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class THash {
public:
    explicit THash(const TAlgorithm& algorithm) {
        if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm.Get(), &handle_, nullptr, 0, nullptr, 0, 0)))
            throw std::runtime_error("SHA-256 could not be started");
    }
    ~THash() { BCryptDestroyHash(handle_); }
    THash(const THash&) = delete;
    THash& operator=(const THash&) = delete;
    BCRYPT_HASH_HANDLE Get() const { return handle_; }

private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
};

}  // namespace

std::array<std::uint8_t, 32> Sha256(std::string_view bytes) {
    const TAlgorithm algorithm;
    const THash hash(algorithm);
    // BCryptHashData takes a ULONG count: a longer text goes in pieces.
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(left, 1u << 30));
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.Get(), const_cast<PUCHAR>(data), piece, 0)))
            throw std::runtime_error("SHA-256 failed");
        data += piece;
        left -= piece;
    }
    std::array<std::uint8_t, 32> digest{};
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
        throw std::runtime_error("SHA-256 failed");
    return digest;
}

}  // namespace virel
