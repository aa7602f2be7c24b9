#include "app/controls/ListColumns.h"

#include <algorithm>
#include <string>

namespace virel::app {

namespace {

int ColumnCount(HWND list) {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

}  // namespace

int HeaderFitWidth(HWND list, int column) {
    wchar_t text[256] = L"";
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    if (!SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column),
                      reinterpret_cast<LPARAM>(&item)))
        return 0;
    // The list's own measure, in the font its header shows; the header keeps three edges of
    // margin on each side of an item's text, and one pixel more keeps it from the ellipsis.
    const int textWidth =
        static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
    return textWidth + 6 * GetSystemMetrics(SM_CXEDGE) + 2;
}

TListColumns::TListColumns(HWND list, std::vector<int> design, int fill)
    : list_(list), design_(std::move(design)), fill_(fill) {}

int TListColumns::Design(int column) const {
    if (design_.empty()) return 80;
    return design_[std::min<std::size_t>(static_cast<std::size_t>(column), design_.size() - 1)];
}

void TListColumns::Fit(const TDpiLayout& layout) const {
    const int count = ColumnCount(list_);
    std::vector<int> widths(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c) {
        const auto at = static_cast<std::size_t>(c);
        widths[at] = at < dragged_.size() && dragged_[at] > 0
                         ? layout.Scale(dragged_[at])
                         : std::max(layout.Scale(Design(c)), HeaderFitWidth(list_, c));
    }
    if (fill_ >= 0 && fill_ < count &&
        !(static_cast<std::size_t>(fill_) < dragged_.size() &&
          dragged_[static_cast<std::size_t>(fill_)] > 0)) {
        // What the list's client area leaves beside the others, its vertical scroll bar's room
        // kept free.
        RECT client{};
        GetClientRect(list_, &client);
        int others = 0;
        for (int c = 0; c < count; ++c)
            if (c != fill_) others += widths[static_cast<std::size_t>(c)];
        const int room = client.right - GetSystemMetrics(SM_CXVSCROLL) - others;
        widths[static_cast<std::size_t>(fill_)] =
            std::max(widths[static_cast<std::size_t>(fill_)], room);
    }
    for (int c = 0; c < count; ++c)
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c),
                     widths[static_cast<std::size_t>(c)]);
}

bool TListColumns::Dragged(const NMHDR& notification, const TDpiLayout& layout) {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    if (!header || notification.hwndFrom != header ||
        (notification.code != HDN_ENDTRACKW && notification.code != HDN_ENDTRACKA))
        return false;
    const auto& change = reinterpret_cast<const NMHEADERW&>(notification);
    if (change.iItem < 0 || !change.pitem || !(change.pitem->mask & HDI_WIDTH)) return false;
    const auto column = static_cast<std::size_t>(change.iItem);
    if (dragged_.size() <= column) dragged_.resize(column + 1, 0);
    // At 96 dpi, rounded to the nearest; never 0, which means "not dragged".
    dragged_[column] = std::max(1, MulDiv(change.pitem->cxy, dpi::kDesignDpi, layout.Dpi()));
    return true;
}

void TListColumns::SetDraggedWidths(std::vector<int> widths) {
    dragged_ = std::move(widths);
}

}  // namespace virel::app
