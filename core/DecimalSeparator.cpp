#include "core/DecimalSeparator.h"

#include <clocale>
#include <locale>

namespace virel {

void UseFullStopDecimalSeparator() {
    std::setlocale(LC_NUMERIC, "C");
    // Streams created from now on take the global locale: keep everything but the numbers
    // as it is, and give the numbers the classic "." form.
    std::locale::global(std::locale(std::locale(), std::locale::classic(), std::locale::numeric));
    std::setlocale(LC_NUMERIC, "C");  // locale::global may have set the C locale again
}

char DecimalSeparator() {
    const std::lconv* conv = std::localeconv();
    if (!conv || !conv->decimal_point || !conv->decimal_point[0]) return '.';
    return conv->decimal_point[0];
}

}  // namespace virel
