#pragma once
// Late-bound OLE automation: RAII holders for BSTR, VARIANT and IDispatch, and calls that
// resolve the member by name at every call. A failed call throws EOleError whose message is
// what the operator is shown (server's own description, else the system text for the code).
#include <windows.h>
// Needs <windows.h> before it.
#include <oleauto.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "core/Errors.h"
#include "core/Utf16.h"

namespace virel::ole {

// Many callers and tests name these ole::Widen / ole::Narrow.
using virel::Narrow;
using virel::Widen;

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

class TBStr {
public:
    TBStr() = default;
    explicit TBStr(std::wstring_view text);
    static TBStr FromUtf8(std::string_view text) { return TBStr(Widen(text)); }
    // Takes ownership of a string allocated by SysAllocString & co.
    static TBStr Attach(BSTR owned);
    ~TBStr();
    TBStr(TBStr&& other) noexcept;
    TBStr& operator=(TBStr&& other) noexcept;
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;

    BSTR Get() const { return str_; }
    BSTR Detach();
    // Frees the current string and gives the address for an out parameter.
    BSTR* Receive();
    std::wstring Wide() const;
    std::string Utf8() const { return Narrow(Wide()); }

private:
    BSTR str_ = nullptr;
};

class TDispatchPtr;

class TVariant {
public:
    TVariant();  // VT_EMPTY
    TVariant(bool value);
    TVariant(std::int32_t value);
    TVariant(std::string_view utf8);
    TVariant(const char* utf8) : TVariant(std::string_view(utf8)) {}
    TVariant(const std::string& utf8) : TVariant(std::string_view(utf8)) {}
    TVariant(std::wstring_view text);
    TVariant(const wchar_t* text) : TVariant(std::wstring_view(text)) {}
    ~TVariant();
    TVariant(TVariant&& other) noexcept;
    TVariant& operator=(TVariant&& other) noexcept;
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;

    // Deep copy (VariantCopy); throws EOleError on failure.
    TVariant Clone() const;

    VARIANT* Get() { return &var_; }
    const VARIANT* Get() const { return &var_; }
    VARTYPE Type() const { return var_.vt; }
    // Clears the value and gives the address for an out parameter.
    VARIANT* Receive();

    // Conversions for results; a value that cannot be converted throws EOleError with the
    // system text of the conversion's code (a type mismatch, as a late-bound caller sees it).
    std::string AsUtf8() const;
    std::int32_t AsInt() const;
    bool AsBool() const;
    // The object in a VT_DISPATCH (or VT_UNKNOWN that offers IDispatch) value; anything else,
    // a null object included, is a type mismatch.
    TDispatchPtr AsDispatch() const;

private:
    VARIANT var_;
};

// Owns one reference to an IDispatch.
class TDispatchPtr {
public:
    TDispatchPtr() = default;
    // Takes over the reference the caller holds.
    explicit TDispatchPtr(IDispatch* owned) : ptr_(owned) {}
    // Adds a reference of its own.
    static TDispatchPtr Share(IDispatch* ptr);
    ~TDispatchPtr() { Reset(); }
    TDispatchPtr(TDispatchPtr&& other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
    TDispatchPtr& operator=(TDispatchPtr&& other) noexcept;
    TDispatchPtr(const TDispatchPtr&) = delete;
    TDispatchPtr& operator=(const TDispatchPtr&) = delete;

    IDispatch* Get() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    void Reset();
    // Releases the current object and gives the address for an out parameter.
    IDispatch** Receive();

private:
    IDispatch* ptr_ = nullptr;
};

// GetIDsOfNames for `name`, then Invoke with `flags`. `args` are in the caller's order (the
// first argument first); they are passed to the server in reverse, as IDispatch expects. With
// DISPATCH_PROPERTYPUT the last argument is the value, marked DISPID_PROPERTYPUT.
TVariant Invoke(IDispatch* disp, std::wstring_view name, WORD flags,
                std::span<const TVariant* const> args);

// Property get with any number of arguments (bool, 32-bit integer, string).
template <class... Args>
TVariant GetProperty(const TDispatchPtr& disp, std::wstring_view name, const Args&... args) {
    const TVariant values[sizeof...(Args) + 1] = {TVariant(args)..., TVariant()};
    const TVariant* ptrs[sizeof...(Args) + 1] = {};
    for (std::size_t i = 0; i < sizeof...(Args); ++i) ptrs[i] = &values[i];
    return Invoke(disp.Get(), name, DISPATCH_PROPERTYGET, std::span(ptrs, sizeof...(Args)));
}

// Property put of one value, passed as the named property-put argument.
void PutProperty(const TDispatchPtr& disp, std::wstring_view name, const TVariant& value);

// Method with no arguments whose result is wanted (method and property-get flags together).
TVariant CallMethod(const TDispatchPtr& disp, std::wstring_view name);

}  // namespace virel::ole
