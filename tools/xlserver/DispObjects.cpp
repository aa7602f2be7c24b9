#include "tools/xlserver/DispObjects.h"

#include <cstdio>
#include <new>

#include "tools/xlserver/ServerCore.h"

namespace virel::xl {

static_assert(DISPATCH_METHOD == kKindMethod && DISPATCH_PROPERTYGET == kKindGet &&
              DISPATCH_PROPERTYPUT == kKindPut && DISPATCH_PROPERTYPUTREF == kKindPutRef);

namespace {

// Text followed by a number (built by appending: GCC 12 warns falsely on literal + temporary).
std::string Tagged(std::string text, long long number) {
    text += std::to_string(number);
    return text;
}

std::string ArgText(const VARIANT& value) {
    switch (value.vt) {
        case VT_EMPTY:
            return "empty";
        case VT_NULL:
            return "null";
        case VT_I2:
            return Tagged("i2:", value.iVal);
        case VT_I4:
            return Tagged("i4:", value.lVal);
        case VT_BOOL:
            return Tagged("bool:", value.boolVal);
        case VT_R8: {
            char buffer[40];
            std::snprintf(buffer, sizeof buffer, "r8:%g", value.dblVal);
            return buffer;
        }
        case VT_BSTR:
            return "bstr:" + QuoteText(Narrow(std::wstring_view(value.bstrVal ? value.bstrVal : L"",
                                                                SysStringLen(value.bstrVal))));
        case VT_DISPATCH:
            return "dispatch";
        default:
            return Tagged("vt:", value.vt);
    }
}

std::string NamedArgText(DISPID id) {
    return id == DISPID_PROPERTYPUT ? "propput" : Tagged("#", id);
}

std::string CodeText(HRESULT code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lx", static_cast<unsigned long>(code));
    return buffer;
}

// A failure the control file asked for: the server's own exception, or a bare code.
TFault Requested(const TServerOptions& options, std::wstring description) {
    if (options.failHResult) return {static_cast<HRESULT>(*options.failHResult), L""};
    return {kServerFault, std::move(description)};
}

}  // namespace

// ---- TCall ----------------------------------------------------------------------------

VARIANT TCall::Convert(const VARIANT* from, VARTYPE type, UINT position) const {
    VARIANT to;
    VariantInit(&to);
    if (FAILED(VariantChangeTypeEx(&to, const_cast<VARIANT*>(from), LOCALE_USER_DEFAULT, 0, type)))
        throw TFault{DISP_E_TYPEMISMATCH, L"", position};
    return to;
}

std::int32_t TCall::IntArg(std::size_t index) const {
    // Positions count from the end: the first argument is the last in rgvarg.
    const UINT position = static_cast<UINT>(args_.size() - 1 - index) + (value_ ? 1 : 0);
    return Convert(args_.at(index), VT_I4, position).lVal;
}

std::int32_t TCall::IntValue() const {
    return Convert(value_, VT_I4, 0).lVal;
}

bool TCall::BoolValue() const {
    return Convert(value_, VT_BOOL, 0).boolVal != VARIANT_FALSE;
}

double TCall::DoubleValue() const {
    return Convert(value_, VT_R8, 0).dblVal;
}

std::wstring TCall::TextValue() const {
    if (value_->vt == VT_EMPTY || value_->vt == VT_NULL) return {};
    VARIANT text = Convert(value_, VT_BSTR, 0);
    std::wstring result(text.bstrVal ? text.bstrVal : L"", SysStringLen(text.bstrVal));
    VariantClear(&text);
    return result;
}

void TCall::Return(bool value) {
    if (!result_) return;
    result_->vt = VT_BOOL;
    result_->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void TCall::Return(std::int32_t value) {
    if (!result_) return;
    result_->vt = VT_I4;
    result_->lVal = value;
}

void TCall::Return(double value) {
    if (!result_) return;
    result_->vt = VT_R8;
    result_->dblVal = value;
}

void TCall::Return(const std::wstring& text) {
    if (!result_) return;
    result_->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!result_->bstrVal) throw TFault{E_OUTOFMEMORY, L""};
    result_->vt = VT_BSTR;
}

void TCall::ReturnEmpty() {
    if (result_) VariantInit(result_);
}

void TCall::Return(IDispatch* object) {
    if (!result_) {
        object->Release();
        return;
    }
    result_->vt = VT_DISPATCH;
    result_->pdispVal = object;
}

// ---- TDispObject ----------------------------------------------------------------------

TDispObject::TDispObject(bool counted) : counted_(counted) {
    TSheetServer::Instance().ObjectCreated(this, counted_);
}

TDispObject::~TDispObject() {
    TSheetServer::Instance().ObjectDestroyed(this, counted_);
}

HRESULT TDispObject::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG TDispObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG TDispObject::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT TDispObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT TDispObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT TDispObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    const auto members = Members();
    HRESULT result = S_OK;
    for (UINT n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        // Only the member name is known here; argument names are not.
        if (n > 0 || names[n] == nullptr) {
            result = DISP_E_UNKNOWNNAME;
            continue;
        }
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (CompareStringOrdinal(names[n], -1, members[i].name, -1, TRUE) == CSTR_EQUAL) {
                ids[n] = static_cast<DISPID>(i + 1);
                break;
            }
        }
        if (ids[n] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
    }
    std::string name = names[0] ? Narrow(names[0]) : std::string();
    for (char& c : name)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = '_';
    TSheetServer::Instance().Log(JournalName(), name.empty() ? "-" : name, "names",
                                 ids[0] == DISPID_UNKNOWN ? "unknown" : std::to_string(ids[0]));
    return result;
}

HRESULT TDispObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    TSheetServer& server = TSheetServer::Instance();
    const auto members = Members();
    const bool known = id >= 1 && static_cast<std::size_t>(id) <= members.size();
    const std::string member = known ? Narrow(members[id - 1].name) : Tagged("#", id);
    const unsigned kind = flags & (kKindMethod | kKindGet | kKindPut | kKindPutRef);
    try {
        const int number = server.NextCall();
        const TServerOptions& options = server.ReloadOptions();
        const UINT count = params ? params->cArgs : 0;
        const UINT named = params ? params->cNamedArgs : 0;
        if (count > 0 && params->rgvarg == nullptr) throw TFault{E_INVALIDARG, L""};
        if (named > count || (named > 0 && params->rgdispidNamedArgs == nullptr))
            throw TFault{E_INVALIDARG, L""};

        std::string args;
        for (UINT i = count; i > named; --i) {
            if (!args.empty()) args += ' ';
            args += ArgText(params->rgvarg[i - 1]);
        }
        for (UINT i = 0; i < named; ++i) {
            if (!args.empty()) args += ' ';
            args += NamedArgText(params->rgdispidNamedArgs[i]) + "=" + ArgText(params->rgvarg[i]);
        }
        server.Log(JournalName(), member, KindText(kind), args);
        if (options.delayMs > 0) Sleep(static_cast<DWORD>(options.delayMs));
        if (options.exitAfterCalls > 0 && number >= options.exitAfterCalls)
            server.ExitAbruptly(Tagged("call ", number));
        if (!known) throw TFault{DISP_E_MEMBERNOTFOUND, L""};

        const TMember& description = members[id - 1];
        const VARIANT* value = nullptr;
        std::vector<const VARIANT*> positional;
        if (kind == kKindPut) {
            if ((description.kinds & kKindPut) == 0) throw TFault{DISP_E_MEMBERNOTFOUND, L""};
            // The value of a put must come as the one named property-put argument.
            if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                throw TFault{DISP_E_PARAMNOTFOUND, L""};
            value = &params->rgvarg[0];
        } else {
            if (kind == 0 || (kind & ~(kKindMethod | kKindGet)) != 0 ||
                (description.kinds & kind) == 0)
                throw TFault{DISP_E_MEMBERNOTFOUND, L""};
            if (named != 0) throw TFault{DISP_E_NONAMEDARGS, L""};
        }
        if (count - named != description.arguments) throw TFault{DISP_E_BADPARAMCOUNT, L""};
        for (UINT i = count; i > named; --i) positional.push_back(&params->rgvarg[i - 1]);
        if (result) VariantInit(result);
        TCall call(kind == kKindPut ? kKindPut : kKindGet, std::move(positional), value, result);
        Call(static_cast<std::size_t>(id - 1), call);
        return S_OK;
    } catch (const TFault& fault) {
        server.Log(
            JournalName(), member, "error",
            CodeText(fault.code) +
                (fault.description.empty() ? "" : " " + QuoteText(Narrow(fault.description))));
        if (result) VariantClear(result);
        if (argError && (fault.code == DISP_E_TYPEMISMATCH || fault.code == DISP_E_PARAMNOTFOUND))
            *argError = fault.argument;
        if (fault.description.empty() || exception == nullptr) return fault.code;
        *exception = EXCEPINFO{};
        exception->scode = fault.code;
        exception->bstrSource = SysAllocString(L"VirelSheetServer");
        exception->bstrDescription = SysAllocString(fault.description.c_str());
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// ---- The objects ----------------------------------------------------------------------

namespace {

constexpr unsigned kGet = kKindGet;
constexpr unsigned kGetPut = kKindGet | kKindPut;
constexpr unsigned kMethod = kKindMethod;
constexpr unsigned kMethodGet = kKindMethod | kKindGet;

std::string CellName(const std::string& book, int row, int column) {
    return Tagged(Tagged(book + "!R", row) + "C", column);
}

class TFontObject final : public TDispObject {
public:
    TFontObject(int book, int row, int column) : book_(book), row_(row), column_(column) {}

protected:
    std::span<const TMember> Members() const override {
        static constexpr TMember kMembers[] = {{L"size", kGetPut, 0}};
        return kMembers;
    }
    std::string JournalName() const override {
        return CellName(TSheetServer::Instance().Books().At(book_).Name(), row_, column_) + ".Font";
    }
    void Call(std::size_t, TCall& call) override {
        TSheetServer& server = TSheetServer::Instance();
        TSheetBook& book = server.Books().At(book_);
        if (!call.IsPut()) return call.Return(book.FontSize(row_, column_));
        const double size = call.DoubleValue();
        if (!(size >= 1.0 && size <= 409.0))
            throw TFault{kServerFault, L"Недопустимый размер шрифта"};
        book.SetFontSize(row_, column_, size);
        server.BookChanged(book_);
    }

private:
    int book_, row_, column_;
};

class TRangeObject final : public TDispObject {
public:
    TRangeObject(int book, int row, int column) : book_(book), row_(row), column_(column) {}

protected:
    std::span<const TMember> Members() const override {
        static constexpr TMember kMembers[] = {{L"value", kGetPut, 0},
                                               {L"font", kMethodGet, 0},
                                               {L"Row", kGet, 0},
                                               {L"Column", kGet, 0}};
        return kMembers;
    }
    std::string JournalName() const override {
        return CellName(TSheetServer::Instance().Books().At(book_).Name(), row_, column_);
    }
    void Call(std::size_t index, TCall& call) override {
        TSheetServer& server = TSheetServer::Instance();
        TSheetBook& book = server.Books().At(book_);
        switch (index) {
            case 0: {
                if (call.IsPut()) {
                    book.SetValue(row_, column_, Narrow(call.TextValue()));
                    server.BookChanged(book_);
                    return;
                }
                const TCell* cell = book.Find(row_, column_);
                if (cell == nullptr || !cell->hasValue) return call.ReturnEmpty();
                return call.Return(Widen(cell->text));
            }
            case 1:
                return call.Return(new TFontObject(book_, row_, column_));
            case 2:
                return call.Return(static_cast<std::int32_t>(row_));
            default:
                return call.Return(static_cast<std::int32_t>(column_));
        }
    }

private:
    int book_, row_, column_;
};

class TWorkbookObject final : public TDispObject {
public:
    explicit TWorkbookObject(int book) : book_(book) {}

protected:
    std::span<const TMember> Members() const override {
        static constexpr TMember kMembers[] = {
            {L"Name", kGet, 0}, {L"Index", kGet, 0}, {L"Activate", kMethod, 0}};
        return kMembers;
    }
    std::string JournalName() const override {
        return TSheetServer::Instance().Books().At(book_).Name();
    }
    void Call(std::size_t index, TCall& call) override {
        TSheetServer& server = TSheetServer::Instance();
        switch (index) {
            case 0:
                return call.Return(Widen(server.Books().At(book_).Name()));
            case 1:
                return call.Return(static_cast<std::int32_t>(book_));
            default:
                server.Books().Activate(book_);
                server.BookChanged(book_);
                return call.ReturnEmpty();
        }
    }

private:
    int book_;
};

class TWorkbooksObject final : public TDispObject {
protected:
    std::span<const TMember> Members() const override {
        static constexpr TMember kMembers[] = {
            {L"Add", kMethodGet, 0}, {L"Count", kGet, 0}, {L"Item", kMethodGet, 1}};
        return kMembers;
    }
    std::string JournalName() const override { return "Workbooks"; }
    void Call(std::size_t index, TCall& call) override {
        TSheetServer& server = TSheetServer::Instance();
        switch (index) {
            case 0: {
                const TServerOptions& options = server.Options();
                if (options.refuseAdd) {
                    throw Requested(options, options.refuseAdd->empty()
                                                 ? L"Не удалось добавить книгу"
                                                 : Widen(*options.refuseAdd));
                }
                const int book = server.Books().Add();
                server.BookChanged(book);
                return call.Return(new TWorkbookObject(book));
            }
            case 1:
                return call.Return(static_cast<std::int32_t>(server.Books().Count()));
            default: {
                const int book = call.IntArg(0);
                if (book < 1 || book > server.Books().Count()) throw TFault{DISP_E_BADINDEX, L""};
                return call.Return(new TWorkbookObject(book));
            }
        }
    }
};

}  // namespace

// ---- TApplicationObject ---------------------------------------------------------------------

std::span<const TMember> TApplicationObject::Members() const {
    static constexpr TMember kMembers[] = {
        {L"visible", kGetPut, 0},  {L"DisplayAlerts", kGetPut, 0}, {L"WorkBooks", kMethodGet, 0},
        {L"Cells", kMethodGet, 2}, {L"Quit", kMethod, 0},          {L"JournalDir", kGet, 0},
        {L"ProcessId", kGet, 0},   {L"UserControl", kGet, 0},
    };
    return kMembers;
}

void TApplicationObject::Call(std::size_t index, TCall& call) {
    TSheetServer& server = TSheetServer::Instance();
    switch (index) {
        case 0:
            if (call.IsPut()) return server.SetVisible(call.BoolValue());
            return call.Return(server.Visible());
        case 1:
            if (call.IsPut()) return server.SetDisplayAlerts(call.BoolValue());
            return call.Return(server.DisplayAlerts());
        case 2:
            return call.Return(new TWorkbooksObject());
        case 3: {
            const int row = call.IntArg(0);
            const int column = call.IntArg(1);
            const TServerOptions& options = server.Options();
            if (options.exitAtRow > 0 && row >= options.exitAtRow)
                server.ExitAbruptly(Tagged("row ", row));
            if (options.failCellsAfterRow > 0 && row > options.failCellsAfterRow) {
                throw Requested(options,
                                options.failDescription && !options.failDescription->empty()
                                    ? Widen(*options.failDescription)
                                    : L"Ячейка недоступна");
            }
            if (!ValidCell(row, column)) throw TFault{kServerFault, L"Недопустимый адрес ячейки"};
            const int book = server.Books().ActiveIndex();
            if (book == 0) throw TFault{kServerFault, L"Нет открытой книги"};
            return call.Return(new TRangeObject(book, row, column));
        }
        case 4:
            server.RequestQuit("Quit");
            return call.ReturnEmpty();
        case 5:
            return call.Return(server.SessionDir());
        case 6:
            return call.Return(static_cast<std::int32_t>(GetCurrentProcessId()));
        default:
            return call.Return(server.UserControl());
    }
}

// ---- TClassFactory --------------------------------------------------------------------

HRESULT TClassFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
}

HRESULT TClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    TSheetServer::Instance().Log("Server", "CreateInstance", "event", "-");
    auto* application = new (std::nothrow) TApplicationObject(true);
    if (application == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = application->QueryInterface(iid, object);
    application->Release();
    return hr;
}

HRESULT TClassFactory::LockServer(BOOL lock) {
    TSheetServer::Instance().ServerLock(lock != FALSE);
    if (!lock) TSheetServer::Instance().PostIdleCheck();
    return S_OK;
}

}  // namespace virel::xl
