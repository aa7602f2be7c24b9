#pragma once
// A window (HWND) as the placement component sees it: placement record, screen metrics,
// border and position settings, and the components (controls) the window's owner registers.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "storage/Form.h"

namespace virel {

// The window's design settings that Windows itself does not tell.
struct TWin32FormOptions {
    std::string name = "Face";
    std::string className = "TFace";
    TFormBorderStyle borderStyle = TFormBorderStyle::bsSingle;
    TPosition position = TPosition::poDefaultPosOnly;
    TFormStyle formStyle = TFormStyle::fsNormal;
    bool isMainForm = true;
};

// A control of the window: a component with published properties and, when it is a window
// of its own, its handle (for the focus).
class TWin32Control : public TBoundComponent {
public:
    TWin32Control(std::string name, std::string className, TComponent* owner, HWND handle);
    HWND Handle() const { return handle_; }
    bool CanFocus() const override;

private:
    HWND handle_;
};

class TWin32Form : public IForm {
public:
    TWin32Form(HWND hwnd, TWin32FormOptions options);

    HWND Handle() const { return hwnd_; }

    // Registers a control; `handle` may be null for a component without a window.
    TWin32Control& AddControl(std::string name, std::string className, HWND handle = nullptr);
    // Removes a control (the storage must have been told with ComponentRemoved first).
    void RemoveControl(const TComponent& control);

    // The show command for showing the window: the window state the storage chose while the
    // window was hidden (normal, minimized or maximized).
    int ShowCommand() const;

    // TComponent
    std::string Name() const override { return options_.name; }
    std::string ClassName() const override { return options_.className; }
    TComponent* FindComponent(std::string_view name) const override;

    // IForm
    TFormEvents& Events() override { return events_; }
    bool HandleAllocated() const override;
    bool Visible() const override;
    TWindowPlacement GetPlacement() const override;
    void SetPlacement(const TWindowPlacement& placement) override;
    std::int32_t Left() const override;
    std::int32_t Top() const override;
    std::int32_t Width() const override;
    std::int32_t Height() const override;
    TFormBorderStyle BorderStyle() const override { return options_.borderStyle; }
    TFormStyle FormStyle() const override { return options_.formStyle; }
    TPosition Position() const override { return options_.position; }
    void SetPositionDesigned() override { options_.position = TPosition::poDesigned; }
    TWindowState WindowState() const override;
    void SetWindowState(TWindowState state) override;
    void SetWindowStateField(TWindowState state) override { state_ = state; }
    bool IsMainForm() const override { return options_.isMainForm; }
    bool HasMainForm() const override { return true; }
    bool ApplicationMinimized() const override;
    void PostApplicationMinimize() override;
    std::int32_t ScreenPixelsPerInch() const override;
    TSize ScreenSize() const override;
    std::vector<TRect> WorkAreas() const override;
    std::int32_t TitleBarHeight() const override;
    TSize FrameSize(TFormBorderStyle style) const override;
    void Update() override;
    TComponent* ActiveControl() const override;
    void SetActiveControl(TComponent& control) override;
    bool HasMaximizeButton() const override;
    void SetMaximizeButton(bool on) override;
    void GrayMenuCommand(std::uintptr_t menu, std::uint32_t command) override;
    std::unique_ptr<TRxWindowHook> CreateWindowHook() override;

private:
    RECT WindowRect() const;

    HWND hwnd_;
    TWin32FormOptions options_;
    TFormEvents events_;
    TWindowState state_ = TWindowState::wsNormal;
    std::vector<std::unique_ptr<TWin32Control>> controls_;
};

}  // namespace virel
