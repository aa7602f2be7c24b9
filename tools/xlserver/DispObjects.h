#pragma once
// The automation objects of the test spreadsheet server. Each resolves member names itself
// (case-insensitive) and journals every name lookup and every call it receives.
#include <windows.h>
// Needs <windows.h> before it.
#include <oleauto.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tools/xlserver/ServerControl.h"

namespace virel::xl {

class TSheetServer;

// A failed call: with a description it reaches the client as a server exception
// (DISP_E_EXCEPTION and EXCEPINFO), otherwise as the bare code.
struct TFault {
    HRESULT code;
    std::wstring description;
    UINT argument = 0;
};

// Code carried in EXCEPINFO with the server's own descriptions.
constexpr HRESULT kServerFault = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0301);

struct TMember {
    const wchar_t* name;
    unsigned kinds;  // kKindMethod | kKindGet | kKindPut
    UINT arguments;  // positional arguments, the value of a put not counted
};

// One call as the object's member sees it: arguments in the caller's order.
class TCall {
public:
    TCall(unsigned kind, std::vector<const VARIANT*> args, const VARIANT* value, VARIANT* result)
        : kind_(kind), args_(std::move(args)), value_(value), result_(result) {}
    bool IsPut() const { return kind_ == kKindPut; }
    std::int32_t IntArg(std::size_t index) const;
    std::int32_t IntValue() const;
    bool BoolValue() const;
    double DoubleValue() const;
    std::wstring TextValue() const;
    void Return(bool value);
    void Return(std::int32_t value);
    void Return(double value);
    void Return(const std::wstring& text);
    void ReturnEmpty();
    // Hands one reference of `object` to the caller.
    void Return(IDispatch* object);

private:
    VARIANT Convert(const VARIANT* from, VARTYPE type, UINT position) const;
    unsigned kind_;
    std::vector<const VARIANT*> args_;
    const VARIANT* value_;
    VARIANT* result_;
};

class TDispObject : public IDispatch {
public:
    // `counted`: the object keeps the server alive while a client holds it.
    explicit TDispObject(bool counted = true);
    virtual ~TDispObject();
    TDispObject(const TDispObject&) = delete;
    TDispObject& operator=(const TDispObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

protected:
    virtual std::span<const TMember> Members() const = 0;
    // Name of the object in the journal (no spaces).
    virtual std::string JournalName() const = 0;
    // Carries out member `index` (0-based in Members()); throws TFault.
    virtual void Call(std::size_t index, TCall& call) = 0;

private:
    LONG references_ = 1;
    bool counted_;
};

// The application object. The program's state lives in TSheetServer; every client started
// through the class factory gets an application object of its own, counted as a client's
// object, while the one in the running-object table is not (the table holds it for good).
class TApplicationObject final : public TDispObject {
public:
    explicit TApplicationObject(bool counted) : TDispObject(counted) {}

protected:
    std::span<const TMember> Members() const override;
    std::string JournalName() const override { return "Application"; }
    void Call(std::size_t index, TCall& call) override;
};

class TClassFactory final : public IClassFactory {
public:
    TClassFactory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

}  // namespace virel::xl
