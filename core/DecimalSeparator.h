#pragma once
// The decimal separator of every number-to-text conversion in the process.
namespace virel {

// Makes "." the separator of the number conversions, whatever the user's regional settings
// say. Called once at start-up; the program never changes it again.
void UseFullStopDecimalSeparator();

// The separator the C conversions (printf, strtod) use now.
char DecimalSeparator();

}  // namespace virel
