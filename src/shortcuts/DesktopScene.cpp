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

void DesktopScene::showAt(ShortcutItem &item, std::optional<QPoint> at)
{
    label(item).setShownAt(at);
    if (at)
        moved_[&item] = *at;
    else
        moved_.erase(&item);
}

QPoint DesktopScene::shownPosition(const ShortcutItem &item) const
{
    if (!moved_.empty()) {
        const auto it = moved_.find(&item);
        if (it != moved_.end())
            return it->second;
    }
    return {item.Item_Left, item.Item_Top};
}

namespace {

// Cheap rejections before any text is laid out: the caption never reaches
// further sideways than `reach`, and never above the picture. In 64 bits:
// positions come from the settings file and may lie anywhere.
bool mayReach(QPoint at, int reach, long long left, long long right, long long bottom)
{
    const long long x = at.x(), y = at.y();
    return y <= bottom && x - reach <= right && x + TImageLabel::PictureSize + reach >= left;
}

} // namespace

void DesktopScene::paint(QPainter &p, const QRect &exposed, const CaptionStyle &style, ShortcutPictures &pictures)
{
    const int reach = TImageLabel::maxSideReach(style);
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    for (const auto &owned : desktop_.items) {
        ShortcutItem &item = *owned;
        if (!mayReach(shownPosition(item), reach, exposed.left(), exposed.right(), exposed.bottom()))
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
        if (!mayReach(shownPosition(item), reach, pt.x(), pt.x(), pt.y()))
            continue;
        const TImageLabel::Hit h = label(item).hitTest(pt, style);
        if (h != TImageLabel::Hit::None)
            return {&item, h};
    }
    return {};
}

} // namespace vl
