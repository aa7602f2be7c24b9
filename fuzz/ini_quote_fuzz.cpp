// Values written to an ini file: reading takes one pair of matching quotes off a value, so
// whatever the program writes must come back as it was, whatever the text.
#include <cstdint>
#include <string>

#include "fuzz/FuzzInput.h"
#include "storage/SectionStore.h"

using namespace virel;
using virel::fuzz::Check;

namespace {

// What reading an ini value does with quotes: a value of two or more characters that begins
// and ends with the same quote (" or ') loses that pair.
std::string AsRead(const std::string& stored) {
    if (stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'') &&
        stored.back() == stored.front())
        return stored.substr(1, stored.size() - 2);
    return stored;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    const std::string value(reinterpret_cast<const char*>(data), size);
    const std::string stored = IniQuoted(value);
    Check(AsRead(stored) == value, "a value reads back as written", stored);
    Check(stored == value || stored == '"' + value + '"', "quoting only adds one pair", stored);
    // Quoting is needed only where reading would strip: plain values are written as they are
    // (a lone quote character may be wrapped; it reads back all the same).
    if (value.size() >= 2 && AsRead(value) == value)
        Check(stored == value, "nothing to strip, nothing added", stored);
    return 0;
}
