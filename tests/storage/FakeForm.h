#pragma once
// A window for the placement tests: placement record, metrics and settings as plain fields,
// every change the component makes recorded in `calls`.
#include <memory>
#include <string>
#include <vector>

#include "storage/Form.h"
#include "storage/RxHook.h"
#include "storage/TextUtil.h"

namespace virel::test {

class FakeHook : public TRxWindowHook {
public:
    void Attach() override { attached = true; }
    void Detach() override { attached = false; }
    bool Attached() const override { return attached; }
    bool attached = false;
};

class FakeForm : public IForm {
public:
    FakeForm() {
        placement.showCmd = 1;
        placement.minPosition = {-1, -1};
        placement.maxPosition = {-1, -1};
        placement.normalPosition = {100, 50, 500, 520};  // 400 x 470
    }

    std::string Name() const override { return "Face"; }
    std::string ClassName() const override { return className; }
    TComponent* FindComponent(std::string_view name) const override {
        for (const auto& c : components) {
            if (storage_detail::SameText(c->Name(), name)) return c.get();
        }
        return nullptr;
    }

    TFormEvents& Events() override { return events; }
    bool HandleAllocated() const override { return handle; }
    bool Visible() const override { return visible; }
    TWindowPlacement GetPlacement() const override { return placement; }
    void SetPlacement(const TWindowPlacement& p) override {
        calls.push_back("SetPlacement");
        applied.push_back(p);
        placement = p;
        placement.showCmd = visible ? p.showCmd : 1;
    }
    std::int32_t Left() const override { return placement.normalPosition.left; }
    std::int32_t Top() const override { return placement.normalPosition.top; }
    std::int32_t Width() const override {
        return placement.normalPosition.right - placement.normalPosition.left;
    }
    std::int32_t Height() const override {
        return placement.normalPosition.bottom - placement.normalPosition.top;
    }
    TFormBorderStyle BorderStyle() const override { return border; }
    TFormStyle FormStyle() const override { return style; }
    TPosition Position() const override { return position; }
    void SetPositionDesigned() override {
        calls.push_back("SetPositionDesigned");
        position = TPosition::poDesigned;
    }
    TWindowState WindowState() const override { return state; }
    void SetWindowState(TWindowState s) override {
        calls.push_back(
            storage_detail::Concat("SetWindowState ", std::to_string(static_cast<int>(s))));
        state = s;
    }
    void SetWindowStateField(TWindowState s) override {
        calls.push_back(
            storage_detail::Concat("SetWindowStateField ", std::to_string(static_cast<int>(s))));
        state = s;
    }
    bool IsMainForm() const override { return isMain; }
    bool HasMainForm() const override { return hasMain; }
    bool ApplicationMinimized() const override { return appMinimized; }
    void PostApplicationMinimize() override { calls.push_back("PostApplicationMinimize"); }
    std::int32_t ScreenPixelsPerInch() const override { return ppi; }
    TSize ScreenSize() const override { return screen; }
    std::vector<TRect> WorkAreas() const override { return workAreas; }
    std::int32_t TitleBarHeight() const override { return titleBarHeight; }
    TSize FrameSize(TFormBorderStyle s) const override {
        switch (s) {
            case TFormBorderStyle::bsNone:
                return {0, 0};
            case TFormBorderStyle::bsSingle:
            case TFormBorderStyle::bsToolWindow:
                return {1, 1};
            case TFormBorderStyle::bsSizeable:
            case TFormBorderStyle::bsSizeToolWin:
                return {4, 4};
            case TFormBorderStyle::bsDialog:
                return {3, 3};
        }
        return {0, 0};
    }
    void Update() override { calls.push_back("Update"); }
    TComponent* ActiveControl() const override { return active; }
    void SetActiveControl(TComponent& c) override {
        calls.push_back(storage_detail::Concat("SetActiveControl ", c.Name()));
        active = &c;
    }
    bool HasMaximizeButton() const override { return maximizeButton; }
    void SetMaximizeButton(bool on) override {
        calls.push_back(on ? "MaximizeButton on" : "MaximizeButton off");
        maximizeButton = on;
    }
    void GrayMenuCommand(std::uintptr_t menu, std::uint32_t command) override {
        calls.push_back(
            storage_detail::Concat("Gray ", std::to_string(menu), " ", std::to_string(command)));
    }
    std::unique_ptr<TRxWindowHook> CreateWindowHook() override {
        auto h = std::make_unique<FakeHook>();
        hook = h.get();
        return h;
    }

    TBoundComponent& Add(const std::string& name, const std::string& cls) {
        components.push_back(std::make_unique<TBoundComponent>(name, cls, this));
        return *components.back();
    }

    std::string className = "TFace";
    TFormEvents events;
    bool handle = true;
    bool visible = false;
    TWindowPlacement placement;
    std::vector<TWindowPlacement> applied;
    TFormBorderStyle border = TFormBorderStyle::bsSingle;
    TFormStyle style = TFormStyle::fsNormal;
    TPosition position = TPosition::poDefaultPosOnly;
    TWindowState state = TWindowState::wsNormal;
    bool isMain = true;
    bool hasMain = true;
    bool appMinimized = false;
    std::int32_t ppi = 96;
    TSize screen{1024, 768};
    std::vector<TRect> workAreas{{0, 0, 1024, 740}};  // a task bar along the bottom
    std::int32_t titleBarHeight = 22;
    bool maximizeButton = false;
    TComponent* active = nullptr;
    FakeHook* hook = nullptr;
    std::vector<std::unique_ptr<TBoundComponent>> components;
    std::vector<std::string> calls;
};

}  // namespace virel::test
