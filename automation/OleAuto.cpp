#include "automation/OleAuto.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "win/SystemMessage.h"

namespace virel::ole {

EOleError::EOleError(HRESULT code, const std::string& message)
    : virel::Exception(message), code_(code) {}

namespace {

std::string BStrUtf8(BSTR str) {
    if (str == nullptr) return {};
    return Narrow(std::wstring_view(str, SysStringLen(str)));
}

}  // namespace

std::string OleErrorText(HRESULT code) {
    std::optional<std::string> text = win::SystemText(static_cast<DWORD>(code));
    // Codes wrapping a Win32 error are described under the plain error number.
    if (!text && HRESULT_FACILITY(code) == FACILITY_WIN32 && FAILED(code))
        text = win::SystemText(static_cast<DWORD>(HRESULT_CODE(code)));
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

// ---- TBStr ----------------------------------------------------------------------------

TBStr::TBStr(std::wstring_view text)
    : str_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (str_ == nullptr) ThrowOleError(E_OUTOFMEMORY);
}

TBStr TBStr::Attach(BSTR owned) {
    TBStr result;
    result.str_ = owned;
    return result;
}

TBStr::~TBStr() {
    SysFreeString(str_);
}

TBStr::TBStr(TBStr&& other) noexcept : str_(std::exchange(other.str_, nullptr)) {}

TBStr& TBStr::operator=(TBStr&& other) noexcept {
    if (this != &other) {
        SysFreeString(str_);
        str_ = std::exchange(other.str_, nullptr);
    }
    return *this;
}

BSTR TBStr::Detach() {
    return std::exchange(str_, nullptr);
}

BSTR* TBStr::Receive() {
    SysFreeString(std::exchange(str_, nullptr));
    return &str_;
}

std::wstring TBStr::Wide() const {
    if (str_ == nullptr) return {};
    return std::wstring(str_, SysStringLen(str_));
}

// ---- TVariant -------------------------------------------------------------------------

TVariant::TVariant() {
    VariantInit(&var_);
}

TVariant::TVariant(bool value) : TVariant() {
    var_.vt = VT_BOOL;
    var_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

TVariant::TVariant(std::int32_t value) : TVariant() {
    var_.vt = VT_I4;
    var_.lVal = value;
}

TVariant::TVariant(std::string_view utf8) : TVariant(std::wstring_view(Widen(utf8))) {}

TVariant::TVariant(std::wstring_view text) : TVariant() {
    TBStr str(text);
    var_.vt = VT_BSTR;
    var_.bstrVal = str.Detach();
}

TVariant::~TVariant() {
    VariantClear(&var_);
}

TVariant::TVariant(TVariant&& other) noexcept : var_(other.var_) {
    VariantInit(&other.var_);
}

TVariant& TVariant::operator=(TVariant&& other) noexcept {
    if (this != &other) {
        VariantClear(&var_);
        var_ = other.var_;
        VariantInit(&other.var_);
    }
    return *this;
}

TVariant TVariant::Clone() const {
    TVariant copy;
    Check(VariantCopy(&copy.var_, const_cast<VARIANT*>(&var_)));
    return copy;
}

VARIANT* TVariant::Receive() {
    VariantClear(&var_);
    return &var_;
}

std::string TVariant::AsUtf8() const {
    if (var_.vt == VT_BSTR) return BStrUtf8(var_.bstrVal);
    TVariant text;
    Check(VariantChangeType(text.Get(), const_cast<VARIANT*>(&var_), 0, VT_BSTR));
    return BStrUtf8(text.var_.bstrVal);
}

std::int32_t TVariant::AsInt() const {
    TVariant number;
    Check(VariantChangeType(number.Get(), const_cast<VARIANT*>(&var_), 0, VT_I4));
    return number.var_.lVal;
}

bool TVariant::AsBool() const {
    TVariant flag;
    Check(VariantChangeType(flag.Get(), const_cast<VARIANT*>(&var_), 0, VT_BOOL));
    return flag.var_.boolVal != VARIANT_FALSE;
}

TDispatchPtr TVariant::AsDispatch() const {
    if (var_.vt == VT_DISPATCH && var_.pdispVal != nullptr)
        return TDispatchPtr::Share(var_.pdispVal);
    if (var_.vt == VT_UNKNOWN && var_.punkVal != nullptr) {
        TDispatchPtr disp;
        const HRESULT hr =
            var_.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(disp.Receive()));
        if (SUCCEEDED(hr) && disp) return disp;
    }
    ThrowOleError(DISP_E_TYPEMISMATCH);
}

// ---- TDispatchPtr ---------------------------------------------------------------------

TDispatchPtr TDispatchPtr::Share(IDispatch* ptr) {
    if (ptr != nullptr) ptr->AddRef();
    return TDispatchPtr(ptr);
}

TDispatchPtr& TDispatchPtr::operator=(TDispatchPtr&& other) noexcept {
    if (this != &other) {
        Reset();
        ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
}

void TDispatchPtr::Reset() {
    if (IDispatch* ptr = std::exchange(ptr_, nullptr)) ptr->Release();
}

IDispatch** TDispatchPtr::Receive() {
    Reset();
    return &ptr_;
}

// ---- Calls ----------------------------------------------------------------------------

TVariant Invoke(IDispatch* disp, std::wstring_view name, WORD flags,
                std::span<const TVariant* const> args) {
    if (disp == nullptr) ThrowOleError(E_POINTER);
    // Resolved anew at every call: the server decides what a name means each time.
    std::wstring nameText(name);
    LPOLESTR names[1] = {nameText.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) ThrowOleError(hr);

    // Copies, in reverse order: Invoke takes its arguments last first.
    std::vector<TVariant> reversed;
    reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back((*it)->Clone());
    std::vector<VARIANT> raw;
    raw.reserve(reversed.size());
    for (TVariant& arg : reversed) raw.push_back(*arg.Get());

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(raw.size());
    params.rgvarg = raw.empty() ? nullptr : raw.data();
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &putId;
    }
    TVariant result;
    EXCEPINFO info{};
    UINT argError = 0;
    hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.Receive(), &info,
                      &argError);
    if (FAILED(hr)) ThrowOleError(hr, &info);
    return result;
}

void PutProperty(const TDispatchPtr& disp, std::wstring_view name, const TVariant& value) {
    const TVariant* args[1] = {&value};
    Invoke(disp.Get(), name, DISPATCH_PROPERTYPUT, args);
}

TVariant CallMethod(const TDispatchPtr& disp, std::wstring_view name) {
    return Invoke(disp.Get(), name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {});
}

}  // namespace virel::ole
