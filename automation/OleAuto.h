#pragma once
// Late-bound OLE automation: calls that resolve the member by name at every call. A failed call
// throws EOleError whose message is what the operator is shown (server's own description, else
// the system text for the code). The holders of BSTRs, VARIANTs and IDispatch references are the
// scope types of win/Scopes.h, the error type is win/ComError.h's; automation's code and tests
// name them here.
#include <windows.h>
// Needs <windows.h> before it.
#include <oleauto.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "core/Utf16.h"
#include "win/ComError.h"
#include "win/Scopes.h"

namespace virel::ole {

// Many callers and tests name these ole::Widen / ole::Narrow.
using virel::Narrow;
using virel::Widen;

using win::Check;
using win::EOleError;
using win::OleErrorText;
using win::TBStr;
using win::TDispatchPtr;
using win::ThrowOleError;
using win::TVariant;

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
