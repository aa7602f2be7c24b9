#pragma once
// A list view's columns that show their headers whole at every dpi: each as wide as designed at
// 96 dpi scaled to the window's, widened to its header's text in the list's font with the
// header's margins. A width the operator dragged is the operator's: kept as dragged (at 96 dpi,
// so that it follows the window to another dpi) and never overwritten by the fit.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <vector>

#include "app/frame/DpiLayout.h"

namespace virel::app {

// The width column `column` of `list` needs to show its header's text whole.
int HeaderFitWidth(HWND list, int column);

class TListColumns {
public:
    // `design`: the widths at 96 dpi, one per column (a column beyond them gets the last);
    // `fill`: the column that also takes the width the others leave in the list (-1: none).
    TListColumns(HWND list, std::vector<int> design, int fill = -1);

    // Every column to its width at the layout's dpi; call after the columns are (re)made.
    void Fit(const TDpiLayout& layout) const;
    // A notification the list passed on to its parent: a drag of a column's edge that ended
    // (HDN_ENDTRACK) is kept. True when it was one of this list's.
    bool Dragged(const NMHDR& notification, const TDpiLayout& layout);
    // The widths as dragged, at 96 dpi, 0 for a column not dragged.
    const std::vector<int>& DraggedWidths() const { return dragged_; }
    void SetDraggedWidths(std::vector<int> widths);
    HWND List() const { return list_; }

private:
    int Design(int column) const;

    HWND list_;
    std::vector<int> design_;
    int fill_;
    std::vector<int> dragged_;
};

}  // namespace virel::app
