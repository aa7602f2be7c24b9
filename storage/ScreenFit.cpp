#include "storage/ScreenFit.h"

#include <algorithm>
#include <limits>

namespace virel {

namespace {

bool IsEmpty(const TRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

std::int64_t OverlapArea(const TRect& a, const TRect& b) {
    const std::int64_t w = std::int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left);
    const std::int64_t h = std::int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance between two rectangles that do not overlap (0 when they touch or overlap).
std::int64_t GapSquared(const TRect& a, const TRect& b) {
    const std::int64_t dx =
        std::max<std::int64_t>({0, std::int64_t{b.left} - a.right, std::int64_t{a.left} - b.right});
    const std::int64_t dy =
        std::max<std::int64_t>({0, std::int64_t{b.top} - a.bottom, std::int64_t{a.top} - b.bottom});
    return dx * dx + dy * dy;
}

std::int32_t Saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The start of a span of `size` moved into [low, high): unchanged when it fits already, else
// as little as needed; a span longer than the range starts at `low`.
std::int64_t Fit(std::int64_t start, std::int64_t size, std::int64_t low, std::int64_t high) {
    if (size >= high - low || start < low) return low;
    if (start + size > high) return high - size;
    return start;
}

}  // namespace

bool TitleBarOnWorkAreas(const TRect& window, std::int32_t titleHeight,
                         const std::vector<TRect>& workAreas) {
    const std::int64_t height = std::max<std::int64_t>(std::int64_t{window.bottom} - window.top, 1);
    const TRect bar{window.left, window.top, window.right,
                    Saturate(window.top + std::clamp<std::int64_t>(titleHeight, 1, height))};
    if (IsEmpty(bar)) return false;
    // Work areas may touch or overlap (several monitors): cut the bar into the cells that
    // their edges make and check that every cell lies on one of them.
    std::vector<std::int32_t> xs{bar.left, bar.right}, ys{bar.top, bar.bottom};
    for (const TRect& area : workAreas) {
        if (IsEmpty(area)) continue;
        for (std::int32_t x : {area.left, area.right}) {
            if (x > bar.left && x < bar.right) xs.push_back(x);
        }
        for (std::int32_t y : {area.top, area.bottom}) {
            if (y > bar.top && y < bar.bottom) ys.push_back(y);
        }
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        for (std::size_t j = 0; j + 1 < ys.size(); ++j) {
            const TRect cell{xs[i], ys[j], xs[i + 1], ys[j + 1]};
            const bool covered =
                std::any_of(workAreas.begin(), workAreas.end(), [&](const TRect& a) {
                    return a.left <= cell.left && cell.right <= a.right && a.top <= cell.top &&
                           cell.bottom <= a.bottom;
                });
            if (!covered) return false;
        }
    }
    return true;
}

int NearestWorkArea(const TRect& window, const std::vector<TRect>& workAreas) {
    int best = -1;
    std::int64_t bestOverlap = 0;
    std::int64_t bestGap = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 0; i < workAreas.size(); ++i) {
        const TRect& area = workAreas[i];
        if (IsEmpty(area)) continue;
        const std::int64_t overlap = OverlapArea(window, area);
        const std::int64_t gap = overlap > 0 ? 0 : GapSquared(window, area);
        if (overlap > bestOverlap || (bestOverlap == 0 && overlap == 0 && gap < bestGap)) {
            best = static_cast<int>(i);
            bestOverlap = overlap;
            bestGap = gap;
        }
    }
    return best;
}

TRect RectAt(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height) {
    return {Saturate(left), Saturate(top), Saturate(left + width), Saturate(top + height)};
}

TRect KeepTitleBarReachable(const TRect& window, std::int32_t titleHeight,
                            const std::vector<TRect>& workAreas) {
    if (IsEmpty(window)) return window;
    const int nearest = NearestWorkArea(window, workAreas);
    if (nearest < 0 || TitleBarOnWorkAreas(window, titleHeight, workAreas)) return window;
    const TRect& area = workAreas[static_cast<std::size_t>(nearest)];
    const std::int64_t width = std::int64_t{window.right} - window.left;
    const std::int64_t height = std::int64_t{window.bottom} - window.top;
    const std::int64_t left = Fit(window.left, width, area.left, area.right);
    const std::int64_t top = Fit(window.top, height, area.top, area.bottom);
    return RectAt(left, top, width, height);
}

}  // namespace virel
