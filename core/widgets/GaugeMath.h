#pragma once
// Arithmetic of the percentage gauge: range and position rules, the whole-number percentage
// that decides when to repaint, and the bar's width in pixels.
#include <climits>
#include <string>

namespace virel::gauge {

// Percent done: (progress - min) * 100 / (max - min), truncated toward zero; 0 for an empty
// range. Computed in 64 bits, so large ranges do not overflow.
int PercentDone(int minValue, int maxValue, int progress);

// Progress limited to minValue..maxValue.
int LimitProgress(int progress, int minValue, int maxValue);

// Whether a new maximum is allowed (not below the minimum), and the text of the error raised
// when it is not.
bool IsValidMaxValue(int maxValue, int minValue);
std::string MaxValueErrorText(int minValue);

// Width of the bar inside an inner area innerWidth pixels wide: percent * (innerWidth + 1) / 100,
// truncated, at most innerWidth, never negative. Below 1 the bar is not drawn.
int BarWidth(int percent, int innerWidth);

// The text shown in the middle of the gauge, e.g. "42%".
std::string PercentText(int percent);

}  // namespace virel::gauge
