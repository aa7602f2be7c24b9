#pragma once
// The port and the speed the operator chose: what the texts of the port and speed boxes mean,
// and which ports the port box lists.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace virel {

inline constexpr int kHighestPortNumber = 255;

// The number of the port a text names: "COM<n>" with n from 1 to 255 in plain decimal (no
// sign, no leading zero), letters in any case, spaces and tabs around it ignored. Nothing for
// any other text.
std::optional<int> PortNumberFromText(std::string_view text);

// Why a text names no port (for the trace; empty when it names one): no name, a number outside
// 1..255, a leading zero, or not a name of the form COM<n> at all.
std::string PortTextRefusal(std::string_view text);

// "COM<n>".
std::string ComPortName(int number);

// What the port box lists: "COM1".."COM4" first, then every other port among `present` (the
// names the system lists, in any order, possibly repeated or junk), once each, in numeric order.
std::vector<std::string> PortList(const std::vector<std::string>& present);

// The speeds the speed box lists, in its order; the first is the default.
inline constexpr std::uint32_t kKnownSpeeds[] = {4800, 9600};
inline constexpr std::uint32_t kDefaultSpeed = kKnownSpeeds[0];

// Bits per second a text of the speed box stands for: one of kKnownSpeeds written in decimal,
// spaces and tabs around it ignored. Nothing for any other text.
std::optional<std::uint32_t> SpeedFromText(std::string_view text);

// The speed box's item for a speed; -1 when it is not listed.
int SpeedItemIndex(std::uint32_t speed);

// A port as the operator typed it, parsed once where the text is read (the port box, the stored
// settings, the command line): the port it names, or why it names none. The text stays as typed
// for the status texts and the trace that name it.
class TLinePort {
public:
    TLinePort() : TLinePort(std::string()) {}
    explicit TLinePort(std::string text);

    const std::string& Text() const { return text_; }
    // 1..255; nothing when the text names no port.
    std::optional<int> Number() const { return number_; }
    // Why the text names no port (PortTextRefusal); empty when it names one.
    const std::string& Refusal() const { return refusal_; }

private:
    std::string text_;
    std::optional<int> number_;
    std::string refusal_;
};

// The line an action talks on, as the operator chose it when the action started: the port (a
// text naming no port goes to the link all the same, which opens nothing and reports it as
// typed) and the speed.
struct TLineSettings {
    TLinePort port;
    std::uint32_t speed = kDefaultSpeed;
};

// The line settings the two boxes' texts give. A speed text naming no known speed gives the
// default, and `speedFellBack` says so: the speed box then shows the default, so that what goes
// on the line is what the box shows.
struct TLineChoice {
    TLineSettings line;
    bool speedFellBack = false;
};
TLineChoice LineSettingsFromTexts(const std::string& portText, const std::string& speedText);

}  // namespace virel
