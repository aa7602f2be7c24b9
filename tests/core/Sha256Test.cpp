#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "hash/Sha256.h"

namespace virel {
namespace {

// The published examples of the standard (FIPS 180-2, appendix B).
TEST(Sha256, ThePublishedExamples) {
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1'000'000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

#ifndef _WIN32  // Python is there natively only
// Every length around the padding's block boundaries (55, 56, 63, 64, 119, 120 bytes), against
// Python's hashlib.
TEST(Sha256, EveryLengthUpToThreeBlocksAgreesWithAnIndependentImplementation) {
    FILE* pipe = popen(
        "/usr/bin/python3 -c \"import hashlib\nfor n in range(200): "
        "print(hashlib.sha256(bytes((i * 7 + 3) % 256 for i in range(n)))"
        ".hexdigest())\"",
        "r");
    ASSERT_NE(pipe, nullptr);
    std::string expected;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) expected += buffer;
    ASSERT_EQ(pclose(pipe), 0);
    std::istringstream lines(expected);
    std::string line;
    int n = 0;
    for (; std::getline(lines, line); ++n) {
        std::string bytes;
        for (int i = 0; i < n; ++i) bytes += static_cast<char>((i * 7 + 3) % 256);
        EXPECT_EQ(Sha256Hex(bytes), line) << n << " bytes";
    }
    EXPECT_EQ(n, 200);
}
#endif

}  // namespace
}  // namespace virel
