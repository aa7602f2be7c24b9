// The spin edit's text rules on whatever the operator types or pastes, with any limits.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "core/widgets/SpinEditMath.h"
#include "fuzz/FuzzInput.h"

using namespace virel;
using virel::fuzz::Check;
using virel::fuzz::TInput;

namespace {

// The rule on its own: optional sign, at least one digit, nothing else, 32-bit range.
bool ReferenceParse(const std::string& t, std::int32_t& value) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (i == t.size()) return false;
    for (std::size_t k = i; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9') return false;
    long double v = 0;
    for (std::size_t k = i; k < t.size(); ++k) {
        v = v * 10 + (t[k] - '0');
        if (v > 1e12L) return false;
    }
    if (t[0] == '-') v = -v;
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

double Limit(TInput& in) {
    // Mostly ordinary limits, sometimes any double (NaN and infinities included).
    const std::uint8_t kind = in.Byte();
    const std::uint32_t raw = in.U32();
    if (kind < 200)
        return static_cast<double>(static_cast<std::int32_t>(raw)) / (kind < 100 ? 1 : 1000);
    double d;
    const std::uint64_t bits = static_cast<std::uint64_t>(raw) << 32 | in.U32();
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1024) return 0;
    TInput in(data, size);
    // The limits are the program's own (design-time) settings: numbers, the lower one first.
    double minValue = Limit(in);
    double maxValue = Limit(in);
    if (std::isnan(minValue) || std::isnan(maxValue)) return 0;
    if (minValue > maxValue) std::swap(minValue, maxValue);
    const int delta = in.Byte() & 1 ? 1 : -1;
    const std::string text = in.Rest();

    std::int32_t expected = 0;
    const bool parses = ReferenceParse(text, expected);
    const auto parsed = spin::ParseInteger(text);
    Check(parsed.has_value() == parses, "which texts are numbers", text);
    if (parsed) Check(*parsed == expected, "the number of a text", text);

    const double value = spin::ReadValue(text, minValue);
    if (parsed) Check(value == *parsed, "a number reads as itself");

    // Whatever is written reads back as the number written, within the limits.
    if (const auto written = spin::WriteText(value, minValue, maxValue)) {
        const auto again = spin::ParseInteger(*written);
        Check(again.has_value(), "a written text is a number", *written);
        Check(spin::WriteText(*again, minValue, maxValue) == *written,
              "writing what was written changes nothing", *written);
    }
    if (const auto left = spin::LeaveFieldText(text, minValue, maxValue)) {
        Check(spin::ParseInteger(*left).has_value(), "leaving the field puts a number", *left);
        const auto settled = spin::LeaveFieldText(*left, minValue, maxValue);
        Check(!settled || *settled == *left, "leaving the field twice changes nothing", *left);
    }
    if (const auto stepped = spin::StepText(text, delta, minValue, maxValue)) {
        Check(spin::ParseInteger(*stepped).has_value(), "a step puts a number", *stepped);
    }
    if (!std::isnan(value)) (void)spin::IntegerValue(value);

    for (unsigned char c : text) (void)spin::IsAcceptedChar(c);
    const int w = 1 + (size % 64), h = 1 + (size % 37);
    (void)spin::HalfAt(static_cast<int>(size % 97) - 10, static_cast<int>(size % 89) - 10, w, h);
    (void)spin::RepeatDelayMs(static_cast<int>(size));
    return 0;
}
