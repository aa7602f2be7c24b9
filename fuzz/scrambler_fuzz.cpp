// Scrambled stored texts: any text and key, and any junk where a scrambled text is expected.
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "storage/RXProps.h"

using namespace virel;
using virel::fuzz::Check;
using virel::fuzz::TInput;

namespace {

bool LowerHex(const std::string& s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    TInput in(data, size);
    const std::string key = in.Text();
    const std::string text = in.Rest();

    const std::string scrambled = ScrambleText(text, key);
    if (key.empty()) {
        Check(scrambled == text && UnscrambleText(text, key) == text, "no key, no scrambling");
        return 0;
    }
    Check(scrambled.size() == 2 * text.size() && LowerHex(scrambled),
          "two lower-case hexadecimal digits per byte", scrambled);
    Check(UnscrambleText(scrambled, key) == text, "unscrambling gives the text back");
    // Junk in the store: one byte per pair, whatever the pairs hold.
    const std::string junk = UnscrambleText(text, key);
    Check(junk.size() == text.size() / 2, "one byte per pair of characters");
    Check(UnscrambleText(ScrambleText(junk, key), key) == junk, "junk read back stays junk");
    return 0;
}
