// The OLE holders among the scope types: BSTRs and VARIANTs keep their values and free them
// once, and the COM holders count references right.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/Utf16.h"
#include "win/ComError.h"
#include "win/Scopes.h"

namespace {

using namespace virel::win;
using virel::Narrow;
using virel::Widen;

// An in-process object that only counts its references.
class TCounted final : public IDispatch {
public:
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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    ULONG references = 1;
};

std::wstring BStrText(const VARIANT& value) {
    return value.vt == VT_BSTR ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                               : L"<not a string>";
}

TEST(OleValues, StringsCrossBetweenUtf8AndUtf16Intact) {
    const std::string title = "Архив ВИРЕЛ1 №42 на 06.12.2026";
    const std::wstring wide = Widen(title);
    EXPECT_EQ(wide, L"Архив ВИРЕЛ1 №42 на 06.12.2026");
    EXPECT_EQ(Narrow(wide), title);
    EXPECT_EQ(Widen(""), L"");

    TBStr str = TBStr::FromUtf8("Доза, Гр*см^2");
    EXPECT_EQ(SysStringLen(str.Get()), 13u);
    EXPECT_EQ(str.Utf8(), "Доза, Гр*см^2");
    // Embedded zero characters survive: the length is the BSTR's, not strlen's.
    const TBStr zero(std::wstring_view(L"a\0b", 3));
    EXPECT_EQ(zero.Wide().size(), 3u);
}

TEST(OleValues, BStrOwnershipMovesAndOutParametersStartEmpty) {
    TBStr first(L"один");
    TBStr second = std::move(first);
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second.Wide(), L"один");
    first = std::move(second);
    EXPECT_EQ(second.Get(), nullptr);
    BSTR* out = first.Receive();
    EXPECT_EQ(*out, nullptr);
    *out = SysAllocString(L"два");
    EXPECT_EQ(first.Wide(), L"два");
    BSTR detached = first.Detach();
    EXPECT_EQ(first.Get(), nullptr);
    SysFreeString(detached);
}

TEST(OleValues, VariantsCarryAutomationTypes) {
    const TVariant yes(true), no(false), number(std::int32_t{-7}), text("Номер измерения");
    EXPECT_EQ(yes.Type(), VT_BOOL);
    EXPECT_EQ(yes.Get()->boolVal, -1);
    EXPECT_EQ(no.Get()->boolVal, 0);
    EXPECT_EQ(number.Type(), VT_I4);
    EXPECT_EQ(number.Get()->lVal, -7);
    EXPECT_EQ(text.Type(), VT_BSTR);
    EXPECT_EQ(BStrText(*text.Get()), L"Номер измерения");
    EXPECT_EQ(TVariant().Type(), VT_EMPTY);

    EXPECT_EQ(number.AsUtf8(), "-7");
    EXPECT_EQ(TVariant("12").AsInt(), 12);
    EXPECT_TRUE(yes.AsBool());
    EXPECT_THROW(text.AsInt(), EOleError);
}

TEST(OleValues, VariantMovesAndClonesDeeply) {
    TVariant original("текст");
    TVariant copy = original.Clone();
    EXPECT_NE(copy.Get()->bstrVal, original.Get()->bstrVal);
    EXPECT_EQ(BStrText(*copy.Get()), L"текст");
    TVariant moved = std::move(original);
    EXPECT_EQ(original.Type(), VT_EMPTY);
    EXPECT_EQ(BStrText(*moved.Get()), L"текст");
    moved = TVariant(std::int32_t{5});
    EXPECT_EQ(moved.Type(), VT_I4);
    EXPECT_EQ(moved.Receive()->vt, VT_EMPTY);
}

TEST(OleValues, DispatchHolderCountsReferences) {
    TCounted object;
    {
        TDispatchPtr first = TDispatchPtr::Share(&object);
        EXPECT_EQ(object.references, 2u);
        TDispatchPtr second = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_EQ(object.references, 2u);
        TVariant value;
        object.AddRef();  // the variant's own reference
        value.Get()->vt = VT_DISPATCH;
        value.Get()->pdispVal = &object;
        TDispatchPtr third = value.AsDispatch();
        EXPECT_EQ(object.references, 4u);
        second.Reset();
        EXPECT_EQ(object.references, 3u);
        IDispatch** out = third.Receive();
        EXPECT_EQ(*out, nullptr);
        EXPECT_EQ(object.references, 2u);
    }
    EXPECT_EQ(object.references, 1u);
}

TEST(OleValues, NonObjectResultIsATypeMismatch) {
    try {
        TVariant(std::int32_t{1}).AsDispatch();
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_EQ(error.Code(), DISP_E_TYPEMISMATCH);
    }
    TVariant nullObject;
    nullObject.Get()->vt = VT_DISPATCH;
    nullObject.Get()->pdispVal = nullptr;
    EXPECT_THROW(nullObject.AsDispatch(), EOleError);
}

TEST(OleValues, AnUnknownHolderReleasesWhatItWasGiven) {
    TCounted object;
    {
        TUnknownPtr unknown;
        // As a creating call hands over an object: its reference goes to the holder.
        object.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.Receive()));
        EXPECT_EQ(object.references, 2u);
        TDispatchPtr disp;
        ASSERT_EQ(
            unknown.Get()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(disp.Receive())),
            S_OK);
        EXPECT_EQ(object.references, 3u);
        TUnknownPtr none;
        EXPECT_FALSE(none);
        none = std::move(unknown);
        EXPECT_FALSE(unknown);
        EXPECT_EQ(object.references, 3u) << "a move adds no reference";
    }
    EXPECT_EQ(object.references, 1u);
}

}  // namespace
