#pragma once
// What the placement component needs from the window it sits on. A Win32 implementation wraps
// an HWND (FormWin32.h); tests use a fake.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/Persistent.h"

namespace virel {

class TRxWindowHook;

struct TPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const TRect&) const = default;
};

struct TSize {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    bool operator==(const TSize&) const = default;
};

// The window placement record: flags, show command, minimized and maximized positions and the
// normal (restored) rectangle, with the system's field meanings.
// The record's size as the system knows it (sizeof(WINDOWPLACEMENT)).
inline constexpr std::uint32_t kWindowPlacementLength = 44;

struct TWindowPlacement {
    std::uint32_t length = kWindowPlacementLength;
    std::uint32_t flags = 0;
    std::uint32_t showCmd = 0;
    TPoint minPosition;
    TPoint maxPosition;
    TRect normalPosition;
    bool operator==(const TWindowPlacement&) const = default;
};

// Show commands and placement flags the component uses.
inline constexpr std::uint32_t kSwHide = 0;
inline constexpr std::uint32_t kSwShowNormal = 1;
inline constexpr std::uint32_t kSwShowMinimized = 2;
inline constexpr std::uint32_t kSwShowMaximized = 3;
inline constexpr std::uint32_t kSwShow = 5;
inline constexpr std::uint32_t kSwMinimize = 6;
inline constexpr std::uint32_t kSwShowMinNoActive = 7;
inline constexpr std::uint32_t kSwRestore = 9;
inline constexpr std::uint32_t kWpfSetMinPosition = 1;

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter,
};
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// The window's show, close-query and destroy events. The window calls Show() when it is about to
// be shown (before it becomes visible), CloseQuery() when asked to close (it closes only when
// that returns true) and Destroy() when it is destroyed. A component may take the handlers over
// and call the previous ones itself.
struct TFormEvents {
    std::function<void()> onShow;
    std::function<void(bool& canClose)> onCloseQuery;
    std::function<void()> onDestroy;

    void Show() const {
        if (onShow) onShow();
    }
    bool CloseQuery() const {
        bool canClose = true;
        if (onCloseQuery) onCloseQuery(canClose);
        return canClose;
    }
    void Destroy() const {
        if (onDestroy) onDestroy();
    }
};

class IForm : public TComponent {
public:
    virtual TFormEvents& Events() = 0;

    virtual bool HandleAllocated() const = 0;
    virtual bool Visible() const = 0;
    virtual TWindowPlacement GetPlacement() const = 0;
    virtual void SetPlacement(const TWindowPlacement& placement) = 0;

    // Outer window bounds in screen pixels.
    virtual std::int32_t Left() const = 0;
    virtual std::int32_t Top() const = 0;
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;

    virtual TFormBorderStyle BorderStyle() const = 0;
    virtual TFormStyle FormStyle() const = 0;
    virtual TPosition Position() const = 0;
    // Switches the position mode to poDesigned without moving the window.
    virtual void SetPositionDesigned() = 0;

    virtual TWindowState WindowState() const = 0;
    // Changes the state the usual way (the window follows).
    virtual void SetWindowState(TWindowState state) = 0;
    // Changes only the recorded state, with no effect on the window.
    virtual void SetWindowStateField(TWindowState state) = 0;

    // The application's main form; HasMainForm is false before one exists.
    virtual bool IsMainForm() const = 0;
    virtual bool HasMainForm() const = 0;
    virtual bool ApplicationMinimized() const = 0;
    // Posts a minimize system command to the application's window.
    virtual void PostApplicationMinimize() = 0;

    virtual std::int32_t ScreenPixelsPerInch() const = 0;
    virtual TSize ScreenSize() const = 0;
    // The work areas of all monitors (each monitor less its task bars), in screen pixels.
    virtual std::vector<TRect> WorkAreas() const = 0;
    // Height of the window's frame and title bar together (the strip the operator drags).
    virtual std::int32_t TitleBarHeight() const = 0;
    // Width and height of the window frame for a border style (system metrics).
    virtual TSize FrameSize(TFormBorderStyle style) const = 0;
    // Repaints at once.
    virtual void Update() = 0;

    virtual TComponent* ActiveControl() const = 0;
    virtual void SetActiveControl(TComponent& control) = 0;

    // Border icons: whether the title bar has a maximize button.
    virtual bool HasMaximizeButton() const = 0;
    virtual void SetMaximizeButton(bool on) = 0;
    // Grays a command of a menu (by the menu's handle value).
    virtual void GrayMenuCommand(std::uintptr_t menu, std::uint32_t command) = 0;

    // A hook on this window's messages, detached when created.
    virtual std::unique_ptr<TRxWindowHook> CreateWindowHook() = 0;
};

}  // namespace virel
