#include "automation/OleAuto.h"

#include <vector>

namespace virel::ole {

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
