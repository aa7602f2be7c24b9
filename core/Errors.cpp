#include "core/Errors.h"

namespace virel {

EProtocolCancel::EProtocolCancel() : Exception("Отменено пользователем") {}

std::string ErrorReportText(const std::string& message) {
    // In UTF-8 every non-ASCII character ends in a byte >= 0x80, so looking at the last byte
    // gives the same answer as looking at the last character's code.
    if (message.empty()) return message;
    const auto last = static_cast<unsigned char>(message.back());
    if (last > '.') return message + ".";
    return message;
}

}  // namespace virel
