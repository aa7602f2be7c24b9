#pragma once
// Arithmetic of the integer spin edit: the field keeps its value only as text, so every read
// parses the text and every write formats a whole number. The window part (app/SpinEdit) only
// moves text and key presses between Windows and these functions.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace virel::spin {

// The text as a signed decimal integer: an optional "+" or "-" followed by at least one digit,
// nothing else, within the signed 32-bit range. Anything else has no value.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// Value as read: the parsed text, or the lower bound when the text is not a number. Not limited
// to the range.
double ReadValue(std::string_view text, double minValue);

// The value limited to minValue..maxValue; equal bounds mean no limit at all.
double LimitValue(double value, double minValue, double maxValue);

// Text written for a new value: limited, rounded to the nearest whole number (ties to even),
// plain decimal. Numbers beyond the 32-bit range are held at its ends so the written text always
// reads back as the number written. NaN has no text: the caller keeps what the field shows.
std::optional<std::string> WriteText(double value, double minValue, double maxValue);

// Value truncated toward zero, as the periodic print uses it.
long long IntegerValue(double value);

// Text to put back when the field loses the focus: only when the value, limited to the range,
// differs from the value. A text that is not a number reads as the lower bound, which is in
// range, so it stays as typed.
std::optional<std::string> LeaveFieldText(std::string_view text, double minValue, double maxValue);

// Text after one step (+1 or -1) from the current text, or nothing when the text would not
// change (already at the bound).
std::optional<std::string> StepText(std::string_view text, int delta, double minValue,
                                    double maxValue);

// Characters the operator may type: digits, the signs and control characters (backspace,
// Ctrl+C, ...). Everything else is dropped with a beep.
bool IsAcceptedChar(char32_t c);

// The spin button is split by its diagonal from the lower-left to the upper-right corner: the
// upper-left triangle steps up, the lower-right one down. Points on the diagonal step up.
enum class SpinHalf { Up, Down };
SpinHalf HalfAt(int x, int y, int width, int height);

// Auto-repeat while the mouse holds the button: the first step comes at the press, the second
// after kFirstRepeatMs, every following one kRepeatMs later.
inline constexpr int kFirstRepeatMs = 400;
inline constexpr int kRepeatMs = 100;

// Delay before the next step, given how many steps the current press has already made.
int RepeatDelayMs(int stepsDone);

}  // namespace virel::spin
