#pragma once
// Errors that escape an operation and reach the operator's error report.
// Messages are UTF-8; the window layer converts them to UTF-16 for display.
#include <stdexcept>
#include <string>

namespace virel {

// Base of the program's own errors.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The operator cancelled an exchange with Esc.
class EProtocolCancel : public Exception {
public:
    EProtocolCancel();
};

// Text shown by the error report: a full stop is appended unless the message is empty or
// already ends in a character at or below '.' (so "!" and "." stay as they are).
std::string ErrorReportText(const std::string& message);

}  // namespace virel
