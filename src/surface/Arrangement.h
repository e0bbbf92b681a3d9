#pragma once

#include "model/Model.h"

#include <QRect>
#include <QSize>

#include <vector>

namespace vl {

// What placing and arranging shortcuts needs from the window that shows the
// active desktop.
class ArrangeView {
public:
    virtual ~ArrangeView() = default;
    // The outer size of the tab control: the page and its tab strip. The
    // grid's columns and rows are counted from it, not from the page alone.
    virtual QSize tabControlSize() = 0;
    // The page inside the tab control: left and top are its offset from the
    // tab control's edge (the tab strip above it when the tabs are on top),
    // width and height its client size.
    virtual QRect pageGeometry() = 0;
    // The height of the shortcut's caption as it is laid out now.
    virtual int captionHeight(ShortcutItem &item) = 0;
    // Shortcuts of the active desktop moved: repaint what they covered and cover.
    virtual void itemsMoved() = 0;
    virtual void RefreshAll() = 0;
    virtual void Modified() = 0;
};

// Where new elements go and how shortcuts are put in order: the "Arrange
// Shortcuts" commands and the rule that keeps a pasted shortcut inside the
// page. Acts on the shortcuts of the active desktop only; notes are never
// moved, but arranging by name steps around them.
class Arrangement {
public:
    Arrangement(Workspace &ws, ArrangeView &view) : ws_(ws), view_(view) {}

    // "By Grid": every shortcut to the nearest grid cell.
    void mnuEqualizeClick();
    // "By Name": ArrangeByName, then the refresh and the change report.
    void mnuByNameClick();
    // Cell by cell in caption order, skipping cells a note covers or touches.
    void ArrangeByName();
    // True when the rectangle touches or overlaps a note of the active desktop.
    bool CheckOverlapNote(int left, int top, int width, int height) const;
    // Moves the shortcut so that it lies inside the page.
    void CheckOutBounds(ShortcutItem &item);

    // For each shortcut of the desktop, in element order, how many of its
    // shortcuts have a caption that sorts strictly before its own.
    static std::vector<int> captionRanks(const Desktop &desktop);

private:
    struct CaptionOrder {
        std::vector<std::size_t> order; // item indexes by caption, ties in element order
        std::vector<int> ranks;         // by item index
    };
    static CaptionOrder sortByCaption(const Desktop &desktop);
    bool overlapsNote(long long left, long long top, long long width, long long height) const;

    Workspace &ws_;
    ArrangeView &view_;
};

} // namespace vl
