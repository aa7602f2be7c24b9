#pragma once
// Move-only owners of Windows handles: each frees its handle exactly once.
#include <windows.h>

#include <utility>

namespace virel::app {

template <typename Handle, typename Free>
class TUniqueHandle {
public:
    TUniqueHandle() = default;
    explicit TUniqueHandle(Handle handle) : handle_(handle) {}
    ~TUniqueHandle() { Reset(); }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;
    TUniqueHandle(TUniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, Handle{})) {}
    TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Handle{});
        }
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }
    void Reset(Handle handle = Handle{}) {
        if (handle_ != Handle{}) Free{}(handle_);
        handle_ = handle;
    }

private:
    Handle handle_{};
};

struct TFreeHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct TFreeGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct TFreeWindow {
    void operator()(HWND window) const { DestroyWindow(window); }
};
struct TFreeMenu {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct TFreeAccelerators {
    void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
};

// A file or other kernel handle; give it nullptr, not INVALID_HANDLE_VALUE, for "none".
using TKernelHandle = TUniqueHandle<HANDLE, TFreeHandle>;
using TFont = TUniqueHandle<HFONT, TFreeGdiObject>;
using TBitmap = TUniqueHandle<HBITMAP, TFreeGdiObject>;
using TWindow = TUniqueHandle<HWND, TFreeWindow>;
using TMenu = TUniqueHandle<HMENU, TFreeMenu>;
using TAccelerators = TUniqueHandle<HACCEL, TFreeAccelerators>;

}  // namespace virel::app
