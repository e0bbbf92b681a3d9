#pragma once

#include "model/Model.h"
#include "shortcuts/TImageLabel.h"

#include <memory>
#include <unordered_map>

class QPainter;

namespace vl {

class ShortcutPictures;

// The shortcuts of one desktop as the surface paints and hit-tests them.
// Labels are made the first time a shortcut is needed on screen.
class DesktopScene {
public:
    explicit DesktopScene(Desktop &desktop) : desktop_(desktop) {}

    Desktop &desktop() const { return desktop_; }
    TImageLabel &label(ShortcutItem &item);
    void forget(const ShortcutItem *item)
    {
        labels_.erase(item);
        moved_.erase(item);
    }
    std::size_t labelCount() const { return labels_.size(); }

    // Paints the shortcuts that reach into the exposed rectangle, in
    // creation order (later ones on top).
    void paint(QPainter &p, const QRect &exposed, const CaptionStyle &style, ShortcutPictures &pictures);

    struct Hit {
        ShortcutItem *item = nullptr;
        TImageLabel::Hit where = TImageLabel::Hit::None;
    };
    // The topmost enabled shortcut under the point.
    Hit itemAt(QPoint p, const CaptionStyle &style);

    // The area a shortcut covers, for repainting.
    QRect itemRect(ShortcutItem &item, const CaptionStyle &style) { return label(item).boundingRect(style); }

    // Shows the shortcut at `at` instead of its record's position, for as
    // long as a drag carries it; nullopt puts it back on its record.
    void showAt(ShortcutItem &item, std::optional<QPoint> at);

private:
    // Where the shortcut is shown, without making its label.
    QPoint shownPosition(const ShortcutItem &item) const;

    Desktop &desktop_;
    std::unordered_map<const ShortcutItem *, std::unique_ptr<TImageLabel>> labels_;
    // The shortcuts shown away from their records; paint and hit tests
    // look here first.
    std::unordered_map<const ShortcutItem *, QPoint> moved_;
};

} // namespace vl
