#pragma once

#include "model/Model.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStaticText>

#include <memory>
#include <optional>

class QPainter;
class QPixmap;

namespace vl {

// The look of shortcut captions on one desktop, as its caption-style holder
// carries it, plus the colours of the selected look.
struct CaptionStyle {
    QFont font;
    QColor text;
    QColor background;
    bool transparent = true;
    int wrapWidth = 87; // Cell_Width - 5
    QColor highlight;
    QColor highlightText = QColor(255, 255, 255);
    QColor disabledText;
    // Bumped whenever any field changes, so labels know to lay out again.
    quint64 version = 0;
};

// The on-screen form of one shortcut: a 32 by 32 picture and a word-wrapped
// caption under it, with a raised frame round the caption while selected.
// It is no widget: its desktop's surface paints it and routes the mouse to
// it, so ten thousand of them cost memory for their layout and nothing else.
class TImageLabel {
public:
    static constexpr int PictureSize = 32;
    static constexpr int CaptionGap = 3;

    explicit TImageLabel(ShortcutItem &item) : item_(&item) {}

    ShortcutItem &item() const { return *item_; }

    // Where the picture's top-left corner is shown: the record's position,
    // unless a drag carries the shortcut elsewhere for the time being. The
    // record keeps the position it had until the drop, so that a save in
    // the middle of a drag writes no place the shortcut was never put.
    QPoint position() const { return shownAt_ ? *shownAt_ : QPoint(item_->Item_Left, item_->Item_Top); }
    void setShownAt(std::optional<QPoint> at) { shownAt_ = at; }
    bool movedForNow() const { return shownAt_.has_value(); }

    QRect pictureRect() const { return {position(), QSize(PictureSize, PictureSize)}; }
    // Caption and frame follow the picture; the caption's height follows
    // its wrapped text. Lays out again when text or style changed.
    QRect captionRect(const CaptionStyle &style) const;
    QRect frameRect(const CaptionStyle &style) const { return captionRect(style).adjusted(-1, -1, 1, 1); }
    // Everything the label may paint.
    QRect boundingRect(const CaptionStyle &style) const { return pictureRect() | frameRect(style); }

    enum class Hit { None, Picture, Caption };
    Hit hitTest(QPoint p, const CaptionStyle &style) const;

    // A disabled label lets the mouse through to the surface beneath.
    bool ItemEnabled = true;
    // The shortcut's Picture names a file that could not be read when it
    // was given (a paste): it shows the automatic picture of its attached
    // file instead, as it did before, and keeps its Picture.
    bool ownPictureUnreadable = false;
    int ArrangeRank = 0;

    void Paint(QPainter &p, const CaptionStyle &style, const QPixmap *picture) const;

    // The most the caption can reach left and right of the picture, and
    // below it, for a cheap first test before laying out.
    static int maxSideReach(const CaptionStyle &style) { return std::max(0, (style.wrapWidth - PictureSize) / 2) + 2; }

private:
    void layout(const CaptionStyle &style) const;

    ShortcutItem *item_;
    std::optional<QPoint> shownAt_;
    mutable QStaticText text_;
    mutable QString laidOutText_;
    mutable quint64 laidOutVersion_ = ~quint64(0);
    mutable int captionHeight_ = 0;
};

} // namespace vl
