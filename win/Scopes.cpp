// The scope types' parts that are not inline: the OLE holders, whose failures are thrown as
// EOleError.
#include "win/Scopes.h"

#include "win/ComError.h"

namespace virel::win {

namespace {

std::string BStrUtf8(BSTR str) {
    if (str == nullptr) return {};
    return Narrow(std::wstring_view(str, SysStringLen(str)));
}

}  // namespace

// ---- TBStr ----------------------------------------------------------------------------

TBStr::TBStr(std::wstring_view text)
    : TScoped(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (!*this) ThrowOleError(E_OUTOFMEMORY);
}

std::wstring TBStr::Wide() const {
    if (!*this) return {};
    return std::wstring(Get(), SysStringLen(Get()));
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

}  // namespace virel::win
