// The late-bound call helper against an in-process object that records what it receives.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "automation/OleAuto.h"
#include "win/SystemMessage.h"

namespace {

using namespace virel::ole;

std::string SystemText(HRESULT code) {
    return virel::win::SystemText(static_cast<DWORD>(code)).value_or("");
}

// What one Invoke received, arguments copied in the order of rgvarg.
struct TReceived {
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    std::vector<DISPID> named;
};

class TRecorder final : public IDispatch {
public:
    ~TRecorder() {
        for (auto& call : calls)
            for (auto& arg : call.args) VariantClear(&arg);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        lookups.push_back(names[0]);
        if (count != 1 || std::wstring(names[0]) == L"missing") {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = nextId++;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        TReceived call{id, flags, {}, {}};
        for (UINT i = 0; i < params->cArgs; ++i) {
            VARIANT copy;
            VariantInit(&copy);
            VariantCopy(&copy, &params->rgvarg[i]);
            call.args.push_back(copy);
        }
        for (UINT i = 0; i < params->cNamedArgs; ++i)
            call.named.push_back(params->rgdispidNamedArgs[i]);
        calls.push_back(std::move(call));
        if (answer) return answer(result, exception);
        return S_OK;
    }

    ULONG references = 1;
    DISPID nextId = 100;
    std::vector<std::wstring> lookups;
    std::vector<TReceived> calls;
    std::function<HRESULT(VARIANT*, EXCEPINFO*)> answer;
};

std::wstring BStrText(const VARIANT& value) {
    return value.vt == VT_BSTR ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                               : L"<not a string>";
}

class OleCalls : public ::testing::Test {
protected:
    TRecorder object;
    TDispatchPtr disp = TDispatchPtr::Share(&object);
};

TEST_F(OleCalls, PropertyGetPassesArgumentsLastFirst) {
    object.answer = [](VARIANT* result, EXCEPINFO*) {
        result->vt = VT_I4;
        result->lVal = 99;
        return S_OK;
    };
    const TVariant result = GetProperty(disp, L"Cells", 3, 7);
    EXPECT_EQ(result.AsInt(), 99);
    ASSERT_EQ(object.calls.size(), 1u);
    const TReceived& call = object.calls[0];
    EXPECT_EQ(call.flags, DISPATCH_PROPERTYGET);
    EXPECT_TRUE(call.named.empty());
    ASSERT_EQ(call.args.size(), 2u);
    EXPECT_EQ(call.args[0].vt, VT_I4);
    EXPECT_EQ(call.args[0].lVal, 7);  // column
    EXPECT_EQ(call.args[1].lVal, 3);  // row
    EXPECT_EQ(object.lookups, std::vector<std::wstring>{L"Cells"});
}

TEST_F(OleCalls, PropertyPutMarksItsValueAsThePropertyPutArgument) {
    PutProperty(disp, L"value", "Дата, время");
    PutProperty(disp, L"visible", true);
    PutProperty(disp, L"size", 14);
    ASSERT_EQ(object.calls.size(), 3u);
    for (const TReceived& call : object.calls) {
        EXPECT_EQ(call.flags, DISPATCH_PROPERTYPUT);
        ASSERT_EQ(call.args.size(), 1u);
        EXPECT_EQ(call.named, std::vector<DISPID>{DISPID_PROPERTYPUT});
    }
    EXPECT_EQ(BStrText(object.calls[0].args[0]), L"Дата, время");
    EXPECT_EQ(object.calls[1].args[0].vt, VT_BOOL);
    EXPECT_EQ(object.calls[1].args[0].boolVal, VARIANT_TRUE);
    EXPECT_EQ(object.calls[2].args[0].vt, VT_I4);
    EXPECT_EQ(object.calls[2].args[0].lVal, 14);
}

TEST_F(OleCalls, MethodWithResultUsesMethodAndGetFlags) {
    object.answer = [this](VARIANT* result, EXCEPINFO*) {
        result->vt = VT_DISPATCH;
        result->pdispVal = &object;
        object.AddRef();
        return S_OK;
    };
    {
        const TDispatchPtr workbooks = CallMethod(disp, L"WorkBooks").AsDispatch();
        EXPECT_EQ(workbooks.Get(), &object);
    }
    EXPECT_EQ(object.references, 2u);  // ours; the result's reference went with it
    ASSERT_EQ(object.calls.size(), 1u);
    EXPECT_EQ(object.calls[0].flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_TRUE(object.calls[0].args.empty());
}

TEST_F(OleCalls, NamesAreResolvedAtEveryCall) {
    PutProperty(disp, L"value", "a");
    PutProperty(disp, L"value", "b");
    CallMethod(disp, L"font");
    EXPECT_EQ(object.lookups, (std::vector<std::wstring>{L"value", L"value", L"font"}));
    // The fake hands out a new identifier each time; each call used the one just looked up.
    ASSERT_EQ(object.calls.size(), 3u);
    EXPECT_EQ(object.calls[0].id, 100);
    EXPECT_EQ(object.calls[1].id, 101);
    EXPECT_EQ(object.calls[2].id, 102);
}

TEST_F(OleCalls, UnknownNameIsNotInvoked) {
    try {
        CallMethod(disp, L"missing");
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_EQ(error.Code(), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(error.what(), OleErrorText(DISP_E_UNKNOWNNAME));
    }
    EXPECT_TRUE(object.calls.empty());
}

TEST_F(OleCalls, NoObjectIsAnErrorNotACrash) {
    TDispatchPtr none;
    EXPECT_THROW(PutProperty(none, L"value", "x"), EOleError);
    EXPECT_THROW(CallMethod(none, L"Add"), virel::Exception);
}

// ---- Error texts ----------------------------------------------------------------------

TEST_F(OleCalls, ServerDescriptionIsTheMessage) {
    object.answer = [](VARIANT*, EXCEPINFO* info) {
        info->scode = E_FAIL;
        info->bstrSource = SysAllocString(L"Таблица");
        info->bstrDescription = SysAllocString(L"Нельзя изменить ячейку\r\n");
        return DISP_E_EXCEPTION;
    };
    try {
        PutProperty(disp, L"value", "x");
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_STREQ(error.what(), "Нельзя изменить ячейку");
        EXPECT_EQ(error.Code(), E_FAIL);
    }
}

HRESULT STDAPICALLTYPE FillLater(EXCEPINFO* info) {
    info->bstrDescription = SysAllocString(L"Описание, заполненное позже");
    info->scode = E_ABORT;
    info->pfnDeferredFillIn = nullptr;
    return S_OK;
}

TEST_F(OleCalls, DeferredDescriptionIsFilledIn) {
    object.answer = [](VARIANT*, EXCEPINFO* info) {
        info->pfnDeferredFillIn = FillLater;
        return DISP_E_EXCEPTION;
    };
    try {
        CallMethod(disp, L"Add");
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_STREQ(error.what(), "Описание, заполненное позже");
        EXPECT_EQ(error.Code(), E_ABORT);
    }
}

TEST_F(OleCalls, WithoutDescriptionTheSystemTextOfTheCodeIsTheMessage) {
    // Codes every system describes (Wine lacks texts for many automation codes).
    const HRESULT known[] = {E_ACCESSDENIED, E_OUTOFMEMORY, E_FAIL,
                             HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)};
    for (const HRESULT code : known) {
        const std::string expected = SystemText(code);
        ASSERT_FALSE(expected.empty()) << std::hex << code;
        object.answer = [code](VARIANT*, EXCEPINFO*) { return code; };
        try {
            CallMethod(disp, L"Add");
            ADD_FAILURE() << "no error";
        } catch (const EOleError& error) {
            EXPECT_EQ(error.what(), expected);
            EXPECT_EQ(error.Code(), code);
            EXPECT_NE(std::string(error.what()).back(), '\n');
        }
    }
    // A server exception that only gives a code is described by that code.
    object.answer = [](VARIANT*, EXCEPINFO* info) {
        info->scode = E_ACCESSDENIED;
        return DISP_E_EXCEPTION;
    };
    try {
        CallMethod(disp, L"Add");
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_EQ(error.what(), SystemText(E_ACCESSDENIED));
    }
}

TEST_F(OleCalls, CodeWithoutSystemTextIsShownInHex) {
    object.answer = [](VARIANT*, EXCEPINFO*) { return static_cast<HRESULT>(0x8004ABCD); };
    try {
        CallMethod(disp, L"Add");
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_STREQ(error.what(), "OLE error 8004abcd");
    }
    EXPECT_EQ(OleErrorText(static_cast<HRESULT>(0xA0001234)), "OLE error a0001234");
    // A Win32 error wrapped in a code reads as the error itself.
    const std::string notFound = OleErrorText(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(notFound.empty());
    EXPECT_EQ(notFound.find("OLE error"), std::string::npos);
}

}  // namespace
