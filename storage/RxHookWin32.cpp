#include "storage/RxHookWin32.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <vector>

#include "core/Errors.h"
#include "storage/AppUtils.h"

namespace virel {

static_assert(sizeof(TMinMaxRecord) == sizeof(MINMAXINFO));
static_assert(offsetof(TMinMaxRecord, maxPosition) == offsetof(MINMAXINFO, ptMaxPosition));
static_assert(offsetof(TMinMaxRecord, maxTrackSize) == offsetof(MINMAXINFO, ptMaxTrackSize));
static_assert(kWmGetMinMaxInfo == WM_GETMINMAXINFO && kWmNcHitTest == WM_NCHITTEST &&
              kWmInitMenuPopup == WM_INITMENUPOPUP);

namespace {

// One hooked window: its previous procedure and the hooks attached, in attach order.
struct TControlHook {
    WNDPROC previous = nullptr;
    std::vector<TWin32WindowHook*> hooks;
};

std::map<HWND, TControlHook>& HookList() {
    static std::map<HWND, TControlHook> list;
    return list;
}

template <typename Fn>
void Guarded(Fn fn) {
    // No exception may cross the window procedure.
    try {
        fn();
    } catch (const std::exception& e) {
        ReportStorageError(e);
    } catch (...) {
        ReportStorageError(Exception("Unknown error in a window hook"));
    }
}

LRESULT CALLBACK HookedWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& list = HookList();
    auto it = list.find(hwnd);
    if (it == list.end()) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const WNDPROC previous = it->second.previous;
    // Handlers may attach or detach hooks: work on a copy, and skip hooks that left.
    const std::vector<TWin32WindowHook*> hooks = it->second.hooks;
    auto stillAttached = [&](TWin32WindowHook* h) {
        auto cur = list.find(hwnd);
        return cur != list.end() && std::find(cur->second.hooks.begin(), cur->second.hooks.end(),
                                              h) != cur->second.hooks.end();
    };

    THookMessage m;
    m.msg = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    for (auto h = hooks.rbegin(); h != hooks.rend() && !m.handled; ++h) {
        if (stillAttached(*h) && (*h)->beforeMessage) Guarded([&] { (*h)->beforeMessage(m); });
    }
    if (!m.handled || msg == WM_DESTROY) {
        m.result = CallWindowProcW(previous, hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        // The window is gone: its procedure goes back and its hooks are detached.
        auto cur = list.find(hwnd);
        if (cur != list.end()) {
            for (auto* h : cur->second.hooks) h->WindowDestroyed();
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            list.erase(cur);
        }
        return m.result;
    }
    for (auto h = hooks.rbegin(); h != hooks.rend(); ++h) {
        if (stillAttached(*h) && (*h)->afterMessage) Guarded([&] { (*h)->afterMessage(m); });
    }
    return m.result;
}

}  // namespace

void TWin32WindowHook::Attach() {
    if (attached_ || !IsWindow(window_)) return;
    auto& list = HookList();
    auto it = list.find(window_);
    if (it == list.end()) {
        TControlHook entry;
        entry.previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC));
        it = list.emplace(window_, entry).first;
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookedWindowProc));
    }
    it->second.hooks.push_back(this);
    attached_ = true;
}

void TWin32WindowHook::Detach() {
    if (!attached_) return;
    attached_ = false;
    auto& list = HookList();
    auto it = list.find(window_);
    if (it == list.end()) return;
    auto& hooks = it->second.hooks;
    hooks.erase(std::remove(hooks.begin(), hooks.end(), this), hooks.end());
    if (!hooks.empty()) return;
    // Put the previous procedure back, unless someone replaced ours in the meantime: then the
    // entry stays and passes every message through.
    const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC));
    if (current == &HookedWindowProc) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.previous));
        list.erase(it);
    }
}

std::size_t HookedWindowCount() {
    return HookList().size();
}

}  // namespace virel
