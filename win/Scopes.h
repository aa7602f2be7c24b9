#pragma once
// Scope types for Windows resources: each owns one resource and gives it back exactly once, in
// its destructor or when told to. Move-only; copying would give it back twice. Every scope type
// of the program lives here: kernel handles, keys, windows, device contexts and paints, GDI
// objects and selections, the COM apartment, COM references, BSTRs and VARIANTs.
#include <windows.h>
// after windows.h
#include <objbase.h>
#include <oleauto.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/Utf16.h"

namespace virel::win {

// Owns a handle of the kind that `Traits` describes: `Traits::Free(handle)` gives it back, and
// `Traits::IsNone(handle)` tells the values that own nothing.
template <typename Handle, typename Traits>
class TScoped {
public:
    TScoped() = default;
    explicit TScoped(Handle handle) : handle_(handle) {}
    ~TScoped() { Reset(); }
    TScoped(const TScoped&) = delete;
    TScoped& operator=(const TScoped&) = delete;
    TScoped(TScoped&& other) noexcept : handle_(other.Release()) {}
    TScoped& operator=(TScoped&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return !Traits::IsNone(handle_); }
    // Gives the handle up without freeing it.
    Handle Release() { return std::exchange(handle_, Handle{}); }
    // Frees what it holds and lends the place to a creating call that writes a handle there.
    Handle* Receive() {
        Reset();
        return &handle_;
    }
    // After such a call failed: what it left there owns nothing.
    void Forget() { handle_ = Handle{}; }
    void Reset(Handle handle = Handle{}) {
        const Handle old = std::exchange(handle_, handle);
        if (!Traits::IsNone(old)) Traits::Free(old);
    }

private:
    Handle handle_{};
};

struct TKernelTraits {
    // CreateFile and its kin fail with INVALID_HANDLE_VALUE, most others with nullptr: a scope
    // takes either as "none", so any creating call's result can go straight in.
    static bool IsNone(HANDLE handle) {
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    }
    static void Free(HANDLE handle) { CloseHandle(handle); }
};
template <typename Handle>
struct TNullIsNone {
    static bool IsNone(Handle handle) { return handle == nullptr; }
};
struct TRegKeyTraits : TNullIsNone<HKEY> {
    static void Free(HKEY key) { RegCloseKey(key); }
};
struct TWindowTraits : TNullIsNone<HWND> {
    static void Free(HWND window) { DestroyWindow(window); }
};
template <typename Object>
struct TGdiObjectTraits : TNullIsNone<Object> {
    static void Free(Object object) { DeleteObject(object); }
};
struct TMemoryDCTraits : TNullIsNone<HDC> {
    static void Free(HDC dc) { DeleteDC(dc); }
};
struct TMenuTraits : TNullIsNone<HMENU> {
    static void Free(HMENU menu) { DestroyMenu(menu); }
};
struct TAcceleratorsTraits : TNullIsNone<HACCEL> {
    static void Free(HACCEL table) { DestroyAcceleratorTable(table); }
};
struct TGlobalMemoryTraits : TNullIsNone<HGLOBAL> {
    static void Free(HGLOBAL memory) { GlobalFree(memory); }
};

// Memory the system allocated for the caller with LocalAlloc (CryptProtectData's blobs,
// FormatMessage's texts): given back with LocalFree.
template <typename Pointer>
struct TLocalMemoryTraits : TNullIsNone<Pointer> {
    static void Free(Pointer memory) { LocalFree(memory); }
};
template <typename Pointer>
using TLocalMemory = TScoped<Pointer, TLocalMemoryTraits<Pointer>>;

// A file, process, thread or other kernel handle.
class THandle : public TScoped<HANDLE, TKernelTraits> {
public:
    using TScoped::TScoped;
    // Closes now, so that a failing close (a write the disk refused at the end) can be told.
    bool Close() {
        const HANDLE handle = Release();
        return TKernelTraits::IsNone(handle) || CloseHandle(handle) != FALSE;
    }
};
// A mutex this thread owns (its wait on the mutex succeeded): let go in the destructor. It holds
// the mutex's handle without owning the handle, so it must end before the THandle that does.
struct TMutexOwnershipTraits : TNullIsNone<HANDLE> {
    static void Free(HANDLE mutex) { ReleaseMutex(mutex); }
};
using TMutexOwnership = TScoped<HANDLE, TMutexOwnershipTraits>;
// A registry key that this program opened (never one of the predefined roots).
using TRegKey = TScoped<HKEY, TRegKeyTraits>;
// A window that its owner destroys when it goes.
using TOwnedWindow = TScoped<HWND, TWindowTraits>;
using TFont = TScoped<HFONT, TGdiObjectTraits<HFONT>>;
using TBitmap = TScoped<HBITMAP, TGdiObjectTraits<HBITMAP>>;
using TBrush = TScoped<HBRUSH, TGdiObjectTraits<HBRUSH>>;
using TPen = TScoped<HPEN, TGdiObjectTraits<HPEN>>;
using TMenu = TScoped<HMENU, TMenuTraits>;
using TAccelerators = TScoped<HACCEL, TAcceleratorsTraits>;
// A memory device context (CreateCompatibleDC).
using TMemoryDC = TScoped<HDC, TMemoryDCTraits>;
// Movable global memory (GlobalAlloc), as the clipboard takes it: once SetClipboardData has
// taken it, the clipboard owns it and the scope must be Release()d.
using TGlobalMemory = TScoped<HGLOBAL, TGlobalMemoryTraits>;

// Global memory locked for the scope (GlobalLock), unlocked at its end.
class TGlobalLock {
public:
    explicit TGlobalLock(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
    ~TGlobalLock() {
        if (data_) GlobalUnlock(memory_);
    }
    TGlobalLock(const TGlobalLock&) = delete;
    TGlobalLock& operator=(const TGlobalLock&) = delete;
    void* Get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL memory_;
    void* data_;
};

// The clipboard opened by a window for the scope (OpenClipboard), closed at its end: while it
// is open no other program can use it.
class TClipboardOpen {
public:
    explicit TClipboardOpen(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~TClipboardOpen() {
        if (open_) CloseClipboard();
    }
    TClipboardOpen(const TClipboardOpen&) = delete;
    TClipboardOpen& operator=(const TClipboardOpen&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

// The device context of a window (GetDC), released to that window.
class TWindowDC {
public:
    explicit TWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~TWindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context for the scope; the previous selection comes back at
// its end, so the object can be deleted and the context released cleanly. Selecting nothing
// (a null object or a null context) is allowed and does nothing.
class TSelection {
public:
    TSelection(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~TSelection() {
        if (*this) SelectObject(dc_, previous_);
    }
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;
    // Whether the object went in.
    explicit operator bool() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The painting of a window in answer to WM_PAINT (BeginPaint), ended (EndPaint) with the scope
// however the handler leaves, so the update region is validated and a caret hidden for the
// paint comes back. Ended even when no device context came: BeginPaint may have hidden the
// caret before it failed.
class TPaintDC {
public:
    explicit TPaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~TPaintDC() { EndPaint(window_, &paint_); }
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    // The part of the window to be painted.
    const RECT& Area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// COM on this thread as a single-threaded apartment, for the scope. Other apartment kinds the
// thread already has count as not initialised here; nothing is undone then.
class TComApartment {
public:
    TComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~TComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;
    bool Initialized() const { return SUCCEEDED(result_); }
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// The same apartment, made at the first Enter() (on the thread that owns this scope) and
// undone at the end of the scope: COM, and the libraries it brings, load only when an action
// first needs them.
class TComApartmentOnFirstUse {
public:
    TComApartmentOnFirstUse() = default;
    TComApartmentOnFirstUse(const TComApartmentOnFirstUse&) = delete;
    TComApartmentOnFirstUse& operator=(const TComApartmentOnFirstUse&) = delete;
    // Makes the apartment the first time; whether this thread has it (TComApartment's rule).
    bool Enter() {
        if (!apartment_) apartment_.emplace();
        return apartment_->Initialized();
    }
    bool Entered() const { return apartment_.has_value(); }

private:
    std::optional<TComApartment> apartment_;
};

template <typename Interface>
struct TComTraits : TNullIsNone<Interface*> {
    static void Free(Interface* object) { object->Release(); }
};

// Owns one reference to a COM object. Built from a pointer it takes over the reference the
// caller holds; Share adds one of its own. (Release, as in every scope type here, gives the
// pointer up without releasing the reference; Reset releases it.)
template <typename Interface>
class TComPtr : public TScoped<Interface*, TComTraits<Interface>> {
public:
    using TScoped<Interface*, TComTraits<Interface>>::TScoped;
    static TComPtr Share(Interface* object) {
        if (object != nullptr) object->AddRef();
        return TComPtr(object);
    }
};
using TUnknownPtr = TComPtr<IUnknown>;
using TDispatchPtr = TComPtr<IDispatch>;

struct TBStrTraits : TNullIsNone<BSTR> {
    static void Free(BSTR text) { SysFreeString(text); }
};

// A BSTR (SysAllocString and its kin), freed with SysFreeString.
class TBStr : public TScoped<BSTR, TBStrTraits> {
public:
    TBStr() = default;
    // A copy of `text`, embedded zero characters included. Throws EOleError (win/ComError.h)
    // when there is no memory for it.
    explicit TBStr(std::wstring_view text);
    static TBStr FromUtf8(std::string_view text) { return TBStr(Widen(text)); }
    // Takes ownership of a string allocated by SysAllocString & co.
    static TBStr Attach(BSTR owned) {
        TBStr result;
        result.Reset(owned);
        return result;
    }
    BSTR Detach() { return Release(); }
    // The whole string, by its BSTR length.
    std::wstring Wide() const;
    std::string Utf8() const { return Narrow(Wide()); }
};

// A VARIANT, cleared with VariantClear. Failures throw EOleError (win/ComError.h).
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

    // Deep copy (VariantCopy).
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

}  // namespace virel::win
