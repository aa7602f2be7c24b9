#include "win/ComError.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "win/Scopes.h"
#include "win/SystemMessage.h"

namespace virel::win {

EOleError::EOleError(HRESULT code, const std::string& message)
    : virel::Exception(message), code_(code) {}

std::string OleErrorText(HRESULT code) {
    std::optional<std::string> text = SystemText(static_cast<DWORD>(code));
    // Codes wrapping a Win32 error are described under the plain error number.
    if (!text && HRESULT_FACILITY(code) == FACILITY_WIN32 && FAILED(code))
        text = SystemText(static_cast<DWORD>(HRESULT_CODE(code)));
    if (text) return *std::move(text);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "OLE error %.8lx",
                  static_cast<unsigned long>(static_cast<DWORD>(code)));
    return buffer;
}

void ThrowOleError(HRESULT code, EXCEPINFO* info) {
    if (info == nullptr) throw EOleError(code, OleErrorText(code));
    if (code == DISP_E_EXCEPTION && info->pfnDeferredFillIn != nullptr)
        info->pfnDeferredFillIn(info);
    // Own the strings so they are freed however we leave.
    const TBStr description = TBStr::Attach(info->bstrDescription);
    const TBStr source = TBStr::Attach(info->bstrSource);
    const TBStr helpFile = TBStr::Attach(info->bstrHelpFile);
    info->bstrDescription = info->bstrSource = info->bstrHelpFile = nullptr;
    if (code != DISP_E_EXCEPTION) throw EOleError(code, OleErrorText(code));
    const HRESULT reported = FAILED(info->scode) ? info->scode : code;
    std::string text = description.Utf8();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) text = OleErrorText(reported);
    throw EOleError(reported, text);
}

void Check(HRESULT code) {
    if (FAILED(code)) ThrowOleError(code);
}

}  // namespace virel::win
