#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace vl {

// The main window rolled up: a strip across the top of the screen that
// shows the desktop tabs only, above every other window, not resizable.
// Rolling it out again restores the window exactly as it was.
class CompactStrip {
public:
    // What the window does for the strip besides its geometry.
    class View {
    public:
        virtual ~View() = default;
        // Compact: status bar hidden, tabs on top for the time being.
        // Normal: both back as the options have them.
        virtual void compactLook(bool compact) = 0;
        // The height of the strip: room for one row of tabs.
        virtual int stripHeight() = 0;
    };

    CompactStrip(QWidget &window, View &view);

    bool normal() const { return normal_; }
    // Where windows cannot be placed (Wayland: see WindowSystem.h) there is
    // no strip across the top of the screen above the others: the window
    // rolls up into a plain small window instead, its title bar and one row
    // of tabs, as wide as it was. Taken from the window system unless set.
    void setPlainWindow(bool plain) { plainWindow_ = plain; }
    bool plainWindow() const { return plainWindow_; }
    // Enters the strip in the normal form and leaves it in the strip.
    void toggle();
    void enter();
    void leave();

    // Where the window was before it was rolled up; a save made meanwhile
    // stores this, not the strip.
    QPoint normalPos() const { return pos_; }
    QSize normalSize() const { return size_; }
    bool normalMaximized() const { return maximized_; }

    // The strip on a screen: four button widths in from the left, as wide
    // as the screen less eight button widths, at the very top.
    static QRect stripGeometry(const QRect &screen, int buttonWidth, int height);

private:
    QWidget &window_;
    View &view_;
    bool normal_ = true;
    QPoint pos_;
    QSize size_;
    // The window itself, without its frame, where it rolls out to.
    QRect geometry_;
    bool maximized_ = false;
    QSize minimum_, maximum_;
    unsigned flags_ = 0;
    bool plainWindow_;
};

} // namespace vl
