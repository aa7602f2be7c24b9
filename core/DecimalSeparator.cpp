#include "core/DecimalSeparator.h"

#include <clocale>

namespace virel {

void UseFullStopDecimalSeparator() {
    // The number conversions of the C library follow LC_NUMERIC; the C++ streams keep the
    // classic locale unless someone installs another, and the program does not.
    std::setlocale(LC_NUMERIC, "C");
}

char DecimalSeparator() {
    const std::lconv* conv = std::localeconv();
    if (!conv || !conv->decimal_point || !conv->decimal_point[0]) return '.';
    return conv->decimal_point[0];
}

}  // namespace virel
