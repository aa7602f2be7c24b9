#pragma once
// Keeping a restored window within reach: a window whose title bar is not wholly on the
// monitors' work areas cannot be dragged back by the operator (Windows itself only rescues a
// window that is entirely off screen). Plain rectangle arithmetic; the Windows layer supplies
// the work areas and the title bar's height.
#include <cstdint>
#include <vector>

#include "storage/Form.h"

namespace virel {

// Whether the strip of `titleHeight` pixels at the top of `window` (its title bar, with the
// frame above it) lies wholly on the union of the work areas.
bool TitleBarOnWorkAreas(const TRect& window, std::int32_t titleHeight,
                         const std::vector<TRect>& workAreas);

// The work area that a window belongs to: the one it overlaps most, or, when it overlaps
// none, the closest one. -1 when there are none.
int NearestWorkArea(const TRect& window, const std::vector<TRect>& workAreas);

// `window` unchanged when its title bar is wholly on the work areas (or none are known);
// otherwise moved, at its own size, fully onto the nearest work area. A window larger than
// the area is put at the area's left or top edge, so that its title bar shows.
TRect KeepTitleBarReachable(const TRect& window, std::int32_t titleHeight,
                            const std::vector<TRect>& workAreas);

// The rectangle of `width` by `height` at (`left`, `top`), its edges limited to what the
// placement record can hold (stored values may be anything).
TRect RectAt(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height);

}  // namespace virel
