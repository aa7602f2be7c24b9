// The other texts the operator types into the main window, which the program reads as numbers
// or names: the record number ("SpE_Num", read as an integer in decimal or hexadecimal), the
// port box ("COM<n>") and the speed box, and the port names the system lists.
#include <cstdint>
#include <string>
#include <vector>

#include "core/meter/MeterActions.h"
#include "core/meter/PortChoice.h"
#include "core/widgets/SpinEditMath.h"
#include "fuzz/FuzzInput.h"

using namespace virel;
using virel::fuzz::Check;
using virel::fuzz::TInput;

namespace {

char Hex(unsigned v) {
    return "0123456789ABCDEF"[v & 15];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 2048) return 0;
    TInput in(data, size);
    const std::uint32_t bits = in.U32();
    const std::string text = in.Text();

    // The record number: every 32-bit value reads back from its decimal and hexadecimal forms,
    // and a plain signed decimal means what the spin edit reads.
    const auto value = static_cast<std::int32_t>(bits);
    Check(TryStrToInt(std::to_string(value)) == value, "decimal text of a number");
    std::string hex = "$";
    for (int shift = 28; shift >= 0; shift -= 4) hex += Hex(bits >> shift);
    Check(TryStrToInt(hex) == value, "hexadecimal text of a number", hex);
    Check(TryStrToInt(" 0x" + hex.substr(1)) == value, "0x and a leading blank", hex);
    const auto typed = TryStrToInt(text);
    if (const auto spin = spin::ParseInteger(text)) {
        Check(typed == spin, "a decimal number reads the same in both fields", text);
    }
    if (typed) Check(TryStrToInt(std::to_string(*typed)) == typed, "a number's text", text);

    // The port box: a number 1..255 whose name reads back as that number.
    if (const auto port = PortNumberFromText(text)) {
        Check(*port >= 1 && *port <= kHighestPortNumber, "port numbers 1..255", text);
        Check(PortNumberFromText(ComPortName(*port)) == port, "a port's name", text);
    }
    // The speed box: only the listed speeds.
    if (const auto speed = SpeedFromText(text)) {
        Check(SpeedItemIndex(*speed) >= 0, "a known speed", text);
    }

    // The port list from whatever names the system hands over.
    std::vector<std::string> present;
    while (!in.Empty()) present.push_back(in.Text());
    const std::vector<std::string> list = PortList(present);
    Check(list.size() >= 4, "COM1..COM4 always listed");
    int previous = 0;
    for (const std::string& name : list) {
        const auto n = PortNumberFromText(name);
        Check(n && *n > previous, "each port once, in numeric order", name);
        previous = *n;
    }
    return 0;
}
