#include "storage/AppUtils.h"

#include <cstdio>
#include <limits>

#include "storage/ScreenFit.h"
#include "storage/TextUtil.h"

namespace virel {

using storage_detail::Concat;
using storage_detail::ParseInt32;
using storage_detail::SplitWords;

namespace {

TErrorReport& ErrorReportSlot() {
    static TErrorReport report;
    return report;
}

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutExtension(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// A position value by screen size: the value saved under the present resolution, else the one
// saved last under any resolution.
std::string ReadPosString(TSectionStore& store, const std::string& section, const std::string& name,
                          TSize screen) {
    std::string text =
        ReadPlacementString(store, section, Concat(name, ScreenSizeSuffix(screen)), std::string());
    if (text.empty()) text = ReadPlacementString(store, section, name, std::string());
    return text;
}

std::int32_t WordOr(const std::vector<std::string>& words, std::size_t index,
                    std::int32_t fallback) {
    if (index >= words.size()) return fallback;
    return ParseInt32(words[index]).value_or(fallback);
}

std::string FourNumbers(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    return Concat(std::to_string(a), ",", std::to_string(b), ",", std::to_string(c), ",",
                  std::to_string(d));
}

// Only the title bar lets the operator drag a window back: a restored position that leaves
// part of it off the monitors' work areas is moved fully onto the nearest one. The window's
// own bounds decide (the record's normal rectangle may be relative to the work area); the move
// goes through the record again, so the window stays hidden and inactive.
void KeepTitleBarOnScreen(IForm& form, TWindowPlacement placement) {
    if (form.WindowState() != TWindowState::wsNormal) return;
    const TRect bounds = RectAt(form.Left(), form.Top(), form.Width(), form.Height());
    const TRect reachable = KeepTitleBarReachable(bounds, form.TitleBarHeight(), form.WorkAreas());
    if (reachable == bounds) return;
    // The rectangle as the system took it (it may have adjusted it), moved by the difference.
    const TRect r = form.GetPlacement().normalPosition;
    const std::int64_t dx = std::int64_t{reachable.left} - bounds.left;
    const std::int64_t dy = std::int64_t{reachable.top} - bounds.top;
    placement.normalPosition = RectAt(r.left + dx, r.top + dy, std::int64_t{r.right} - r.left,
                                      std::int64_t{r.bottom} - r.top);
    form.SetPlacement(placement);
}

}  // namespace

TApplicationInfo& ApplicationInfo() {
    static TApplicationInfo info;
    return info;
}

std::string ExeBaseName(const std::string& exePath) {
    return WithoutExtension(FileNamePart(exePath));
}

std::string DefaultRegistryKey(const TApplicationInfo& app) {
    std::string key = "Software\\";
    if (app.keyWithCompany && !app.companyName.empty()) key += app.companyName + "\\";
    key += app.keyFromTitle ? app.title : ExeBaseName(app.exePath);
    return key;
}

std::string DefaultIniFileName(const TApplicationInfo& app) {
    if (app.defaultIniName) return app.defaultIniName();
    return ExeBaseName(app.exePath) + ".INI";
}

std::string DefaultSection(const TSectionOwner& owner) {
    switch (owner.kind) {
        case TSectionOwner::Kind::Form:
            return owner.className;
        case TSectionOwner::Kind::Control:
            return (owner.formClassName.empty() ? owner.parentName : owner.formClassName) +
                   owner.name;
        case TSectionOwner::Kind::Component:
            if (owner.ownerIsForm) return Concat(owner.ownerClassName, ".", owner.name);
            return owner.name;
    }
    return owner.name;
}

std::string ScreenSizeSuffix(TSize screen) {
    return Concat("(", std::to_string(screen.cx), "x", std::to_string(screen.cy), ")");
}

std::string ReadPlacementString(TSectionStore& store, const std::string& section,
                                const std::string& name, const std::string& def) {
    try {
        return store.ReadString(section, name, def);
    } catch (const EInvalidValueType&) {
        return def;
    }
}

std::int32_t ReadPlacementInteger(TSectionStore& store, const std::string& section,
                                  const std::string& name, std::int32_t def) {
    try {
        return store.ReadInteger(section, name, def);
    } catch (const EInvalidValueType&) {
        return def;
    }
}

namespace {

// Reads the stored flags and positions into `placement`; false when no position is stored.
bool ReadStoredPositions(IForm& form, TSectionStore& store, const std::string& section,
                         TWindowPlacement& placement) {
    const TSize screen = form.ScreenSize();
    placement.flags = static_cast<std::uint32_t>(
        ReadPlacementInteger(store, section, "Flags", static_cast<std::int32_t>(placement.flags)));
    bool found = false;
    const std::string minMax = ReadPosString(store, section, "MinMaxPos", screen);
    if (!minMax.empty()) {
        found = true;
        const auto words = SplitWords(minMax, " ,");
        placement.minPosition = {WordOr(words, 0, 0), WordOr(words, 1, 0)};
        placement.maxPosition = {WordOr(words, 2, 0), WordOr(words, 3, 0)};
    }
    const std::string norm = ReadPosString(store, section, "NormPos", screen);
    if (!norm.empty()) {
        found = true;
        const auto words = SplitWords(norm, " ,");
        const std::int32_t left = form.Left(), top = form.Top();
        placement.normalPosition = {WordOr(words, 0, left), WordOr(words, 1, top),
                                    WordOr(words, 2, left + form.Width()),
                                    WordOr(words, 3, top + form.Height())};
    }
    return found;
}

// A stored rectangle without width or height (an edge not past the opposite one) or too large
// to measure is junk: it is ignored for every border style, also where only its left and top
// would be taken.
bool IsMeasurable(const TRect& stored) {
    const std::int64_t width = std::int64_t{stored.right} - stored.left;
    const std::int64_t height = std::int64_t{stored.bottom} - stored.top;
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    return width > 0 && height > 0 && width <= kLargest && height <= kLargest;
}

void LoadPosition(IForm& form, TSectionStore& store, const std::string& section,
                  TWindowPlacement placement) {
    const bool found = ReadStoredPositions(form, store, section, placement);
    const std::int32_t ppi = form.ScreenPixelsPerInch();
    const bool samePpi = ReadPlacementInteger(store, section, "PixelsPerInch", ppi) == ppi;
    const TRect stored = placement.normalPosition;
    if (!found || !samePpi || !IsMeasurable(stored)) return;
    const TFormBorderStyle border = form.BorderStyle();
    if (border != TFormBorderStyle::bsSizeable && border != TFormBorderStyle::bsSizeToolWin) {
        // A fixed-size window keeps its own size; only the position is taken.
        placement.normalPosition = RectAt(stored.left, stored.top, form.Width(), form.Height());
    }
    if (form.Position() == TPosition::poScreenCenter ||
        form.Position() == TPosition::poDesktopCenter) {
        form.SetPositionDesigned();
    }
    form.SetPlacement(placement);
    KeepTitleBarOnScreen(form, placement);
}

// The state the stored show command asks for; without one, the state the window starts in.
TWindowState StoredWindowState(IForm& form, TSectionStore& store, const std::string& section,
                               bool mainOrNone) {
    switch (ReadPlacementInteger(store, section, "ShowCmd", 0)) {
        case kSwShowNormal:
        case kSwShow:
        case kSwRestore:
            return TWindowState::wsNormal;
        case kSwShowMinimized:
        case kSwMinimize:
        case kSwShowMinNoActive:
            return TWindowState::wsMinimized;
        case kSwShowMaximized:
            return TWindowState::wsMaximized;
        default:
            break;
    }
    if (mainOrNone &&
        (form.FormStyle() == TFormStyle::fsMDIForm ||
         (form.FormStyle() == TFormStyle::fsNormal && form.Position() == TPosition::poDefault))) {
        return TWindowState::wsMaximized;
    }
    return TWindowState::wsNormal;
}

}  // namespace

void ReadPlacement(IForm& form, TSectionStore& store, const std::string& section, bool loadState,
                   bool loadPosition) {
    if (!loadState && !loadPosition) return;
    if (loadPosition) {
        TWindowPlacement placement = form.GetPlacement();
        placement.length = kWindowPlacementLength;
        // Applying the record to a hidden window must neither show nor activate it.
        if (!form.Visible()) placement.showCmd = kSwHide;
        LoadPosition(form, store, section, placement);
    }
    if (loadState) {
        const bool mainOrNone = form.IsMainForm() || !form.HasMainForm();
        const TWindowState state = StoredWindowState(form, store, section, mainOrNone);
        if (state == TWindowState::wsMinimized && mainOrNone) {
            form.SetWindowStateField(TWindowState::wsNormal);
            form.PostApplicationMinimize();
            return;
        }
        if (form.FormStyle() == TFormStyle::fsMDIChild ||
            form.FormStyle() == TFormStyle::fsMDIForm) {
            form.SetWindowStateField(state);
        } else {
            form.SetWindowState(state);
        }
    }
    form.Update();
}

void WritePlacement(IForm& form, TSectionStore& store, const std::string& section) {
    TWindowPlacement placement = form.GetPlacement();
    if (form.IsMainForm() && form.ApplicationMinimized()) placement.showCmd = kSwShowMinimized;
    if (form.FormStyle() == TFormStyle::fsMDIChild &&
        form.WindowState() == TWindowState::wsMinimized) {
        placement.flags |= kWpfSetMinPosition;
    }
    const std::string suffix = ScreenSizeSuffix(form.ScreenSize());
    store.WriteInteger(section, "Flags", static_cast<std::int32_t>(placement.flags));
    store.WriteInteger(section, "ShowCmd", static_cast<std::int32_t>(placement.showCmd));
    store.WriteInteger(section, "PixelsPerInch", form.ScreenPixelsPerInch());
    const std::string minMax = FourNumbers(placement.minPosition.x, placement.minPosition.y,
                                           placement.maxPosition.x, placement.maxPosition.y);
    store.WriteString(section, Concat("MinMaxPos", suffix), minMax);
    store.WriteString(section, "MinMaxPos", minMax);
    const TRect& r = placement.normalPosition;
    const std::string norm = FourNumbers(r.left, r.top, r.right, r.bottom);
    store.WriteString(section, Concat("NormPos", suffix), norm);
    store.WriteString(section, "NormPos", norm);
}

void SetStorageErrorReport(TErrorReport report) {
    ErrorReportSlot() = std::move(report);
}

void ReportStorageError(const std::exception& error) {
    if (const auto& report = ErrorReportSlot()) {
        report(error);
        return;
    }
    std::fprintf(stderr, "settings storage: %s\n", error.what());
}

}  // namespace virel
