#pragma once
// A failed COM call as an exception: its result code and the text the operator is shown (the
// server's own description where it gave one, else the system's text for the code).
#include <windows.h>
// Needs <windows.h> before it.
#include <oleauto.h>

#include <string>

#include "core/Errors.h"

namespace virel::win {

// A failed automation call (or COM call) with its result code.
class EOleError : public virel::Exception {
public:
    EOleError(HRESULT code, const std::string& message);
    HRESULT Code() const { return code_; }

private:
    HRESULT code_;
};

// Text for a failed call that returned `code` without a description of its own: the system's
// message for the code without its trailing line break, or "OLE error %.8x".
std::string OleErrorText(HRESULT code);

// Throws EOleError for a failed `code`; with DISP_E_EXCEPTION the server's EXCEPINFO (whose
// strings this frees) supplies the text.
[[noreturn]] void ThrowOleError(HRESULT code, EXCEPINFO* info = nullptr);

// Throws EOleError(code) when FAILED(code).
void Check(HRESULT code);

}  // namespace virel::win
