#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

class QScrollArea;

namespace vl {

class DesktopSurface;

// Keeps every shortcut and note of the page within reach when the window is
// smaller than the desktop's layout (a laptop undocked, a smaller screen, a
// larger scale). The page widget lies in a scroll area and grows to hold
// its elements, never smaller than what is shown: a position on the page
// stays a position of the model, so nothing stored changes, and arranging,
// pasting and drops keep working in page coordinates. Scroll bars show only
// when something lies beyond the visible part; the wheel and Page Up/Down,
// Home and End scroll it, the keyboard's current shortcut and a drag near
// the edge bring the page along.
class PageScroller : public QObject {
    Q_OBJECT
public:
    PageScroller(DesktopSurface &surface, QWidget *parent);

    QScrollArea *area() const { return area_; }
    // The part of the page on show, in page coordinates.
    QRect visibleRect() const;
    QSize visibleSize() const;

    // The shortcuts or their look changed: the page's extent is measured
    // again on the next turn of the event loop (many changes, one measure).
    void contentsChanged();
    // Scrolls as little as needed for the rectangle of the page to show.
    void ensureVisible(const QRect &pageRect);
    // A drag or band under way is at this page point: near or beyond an
    // edge, the page follows.
    void followPointer(QPoint pagePos);

    // How far beyond the last element the page reaches, so that it can be
    // dragged a little further.
    static constexpr int Margin = 16;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void measure();
    void fit();
    bool isLayer(const QWidget *w) const;
    void watch(QObject *object);

    DesktopSurface &surface_;
    QScrollArea *area_;
    QSize extent_; // of the elements, from the page's top-left corner
    bool pending_ = false;
};

} // namespace vl
