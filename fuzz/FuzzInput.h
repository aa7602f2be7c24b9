#pragma once
// Reads a fuzzer's bytes as a sequence of small values and texts, so one input can stand for
// several texts and numbers at once. Running out of bytes gives zeros and empty texts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace virel::fuzz {

class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return v;
    }
    // A text up to the next 0 byte (or the end); the 0 is consumed.
    std::string Text() {
        std::string out;
        while (pos_ < size_ && data_[pos_] != 0) out.push_back(static_cast<char>(data_[pos_++]));
        if (pos_ < size_) ++pos_;
        return out;
    }
    // Everything not read yet.
    std::string Rest() {
        std::string out(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
        pos_ = size_;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A broken rule: print what broke and stop, so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void Fail(const char* rule, std::string_view detail = {}) {
    std::fprintf(stderr, "rule broken: %s\n  %.*s\n", rule, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

inline void Check(bool ok, const char* rule, std::string_view detail = {}) {
    if (!ok) Fail(rule, detail);
}

}  // namespace virel::fuzz
