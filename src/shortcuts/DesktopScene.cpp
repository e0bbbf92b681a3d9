#include "shortcuts/DesktopScene.h"

#include "shortcuts/ShortcutPictures.h"

#include <QPainter>

namespace vl {

TImageLabel &DesktopScene::label(ShortcutItem &item)
{
    auto &slot = labels_[&item];
    if (!slot)
        slot = std::make_unique<TImageLabel>(item);
    return *slot;
}

void DesktopScene::paint(QPainter &p, const QRect &exposed, const CaptionStyle &style, ShortcutPictures &pictures)
{
    const int reach = TImageLabel::maxSideReach(style);
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    for (const auto &owned : desktop_.items) {
        ShortcutItem &item = *owned;
        // Cheap rejections before any text is laid out: the caption never
        // reaches further sideways than half a cell, and never above the
        // picture.
        if (item.Item_Top > exposed.bottom() || item.Item_Left - reach > exposed.right()
            || item.Item_Left + TImageLabel::PictureSize + reach < exposed.left())
            continue;
        TImageLabel &l = label(item);
        if (!l.boundingRect(style).intersects(exposed))
            continue;
        l.Paint(p, style,
                l.ownPictureUnreadable ? pictures.automaticPictureFor(item, ratio) : pictures.pictureFor(item, ratio));
    }
}

DesktopScene::Hit DesktopScene::itemAt(QPoint pt, const CaptionStyle &style)
{
    const int reach = TImageLabel::maxSideReach(style);
    for (auto it = desktop_.items.rbegin(); it != desktop_.items.rend(); ++it) {
        ShortcutItem &item = **it;
        if (item.Item_Top > pt.y() || item.Item_Left - reach > pt.x()
            || item.Item_Left + TImageLabel::PictureSize + reach < pt.x())
            continue;
        const TImageLabel::Hit h = label(item).hitTest(pt, style);
        if (h != TImageLabel::Hit::None)
            return {&item, h};
    }
    return {};
}

} // namespace vl
