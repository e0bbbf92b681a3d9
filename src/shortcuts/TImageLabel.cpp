#include "shortcuts/TImageLabel.h"

#include "common/DevicePixels.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QTextOption>

namespace vl {

void TImageLabel::layout(const CaptionStyle &style) const
{
    if (laidOutVersion_ == style.version && laidOutText_ == item_->Label_Caption)
        return;
    laidOutText_ = item_->Label_Caption;
    laidOutVersion_ = style.version;
    QTextOption option(Qt::AlignHCenter);
    // Words wrap; a single word wider than the cell breaks where it must
    // rather than running under its neighbours.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text_ = QStaticText(laidOutText_);
    text_.setTextFormat(Qt::PlainText);
    text_.setTextOption(option);
    text_.setTextWidth(style.wrapWidth);
    text_.prepare(QTransform(), style.font);
    const int lineHeight = QFontMetrics(style.font).height();
    captionHeight_ = laidOutText_.isEmpty() ? lineHeight : std::max(lineHeight, qCeil(text_.size().height()));
}

QRect TImageLabel::captionRect(const CaptionStyle &style) const
{
    layout(style);
    const int width = style.wrapWidth;
    // Centred under the picture, the half truncated toward zero.
    const QPoint at = position();
    const int left = at.x() + (PictureSize - width) / 2;
    const int top = at.y() + PictureSize + CaptionGap;
    return {left, top, width, captionHeight_};
}

TImageLabel::Hit TImageLabel::hitTest(QPoint p, const CaptionStyle &style) const
{
    if (!ItemEnabled)
        return Hit::None;
    if (pictureRect().contains(p))
        return Hit::Picture;
    if (captionRect(style).contains(p))
        return Hit::Caption;
    return Hit::None;
}

void TImageLabel::Paint(QPainter &p, const CaptionStyle &style, const QPixmap *picture) const
{
    const QRect pic = pictureRect();
    if (picture && !picture->isNull()) {
        // Natural size from the top-left corner, clipped to the picture area.
        const qreal dpr = picture->devicePixelRatio();
        const QSize natural = (QSizeF(picture->size()) / dpr).toSize();
        const QSize shown = natural.boundedTo(pic.size());
        p.drawPixmap(QRect(pic.topLeft(), shown), *picture, QRect(QPoint(0, 0), (QSizeF(shown) * dpr).toSize()));
    }
    const QRect cap = captionRect(style);
    const bool selected = item_->Selected;
    const QColor light(255, 255, 255);
    const QColor dark(64, 64, 64);
    if (selected) {
        // The whole frame area first, so that no line of the background
        // shows between the frame and the caption at any scale.
        DevicePixels device(p);
        if (device.usable())
            p.fillRect(device.map(frameRect(style)), style.highlight);
        else
            p.fillRect(cap, style.highlight);
    } else if (!style.transparent) {
        p.fillRect(cap, style.background);
    }
    p.setFont(style.font);
    p.setPen(!ItemEnabled ? style.disabledText : selected ? style.highlightText : style.text);
    p.drawStaticText(cap.topLeft(), text_);
    if (!selected)
        return;
    // A raised one-pixel frame round the caption, each side equally wide in
    // device pixels.
    const QRect f = frameRect(style);
    DevicePixels device(p);
    if (device.usable()) {
        const QRect d = device.map(f);
        const int w = device.line();
        p.fillRect(QRect(d.left(), d.top(), d.width(), w), light);
        p.fillRect(QRect(d.left(), d.top(), w, d.height()), light);
        p.fillRect(QRect(d.left(), d.bottom() - w + 1, d.width(), w), dark);
        p.fillRect(QRect(d.right() - w + 1, d.top(), w, d.height()), dark);
        return;
    }
    p.setPen(light);
    p.drawLine(f.topLeft(), f.topRight());
    p.drawLine(f.topLeft(), f.bottomLeft());
    p.setPen(dark);
    p.drawLine(f.bottomLeft(), f.bottomRight());
    p.drawLine(f.topRight(), f.bottomRight());
}

} // namespace vl
