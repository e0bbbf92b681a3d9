#include "shortcuts/TImageLabel.h"

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
    const int left = item_->Item_Left + (PictureSize - width) / 2;
    const int top = item_->Item_Top + PictureSize + CaptionGap;
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
    if (selected)
        p.fillRect(cap, style.highlight);
    else if (!style.transparent)
        p.fillRect(cap, style.background);
    p.setFont(style.font);
    p.setPen(!ItemEnabled ? style.disabledText : selected ? style.highlightText : style.text);
    p.drawStaticText(cap.topLeft(), text_);
    if (selected) {
        // A raised one-pixel frame round the caption.
        const QRect f = frameRect(style);
        p.setPen(QColor(255, 255, 255));
        p.drawLine(f.topLeft(), f.topRight());
        p.drawLine(f.topLeft(), f.bottomLeft());
        p.setPen(QColor(64, 64, 64));
        p.drawLine(f.bottomLeft(), f.bottomRight());
        p.drawLine(f.topRight(), f.bottomRight());
    }
}

} // namespace vl
