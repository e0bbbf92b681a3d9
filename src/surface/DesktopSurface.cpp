#include "surface/DesktopSurface.h"

#include "shortcuts/ShortcutPictures.h"
#include "common/DevicePixels.h"
#include "common/ColourConv.h"
#include "common/PictureLoader.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vl {

namespace {

void announceItem(DesktopSurface *surface, int index, QAccessible::Event type)
{
    if (index < 0)
        return;
    QAccessibleEvent event(surface, type);
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

// A dotted outline that shows on every colour beneath it: black dots on an
// unbroken white line, one logical pixel wide, inside the rectangle's edge
// pixels.
void drawContrastOutline(QPainter &p, const QRect &r)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    DevicePixels device(p);
    if (device.usable()) {
        // In device pixels: as wide on every side at any scale, and one
        // path, so that no corner is drawn twice over.
        const QRectF d = device.map(r);
        const qreal w = device.line();
        const QRectF path = d.adjusted(w / 2, w / 2, -w / 2, -w / 2);
        QPen pen(Qt::white, w, Qt::SolidLine);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.drawRect(path);
        pen.setColor(Qt::black);
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.drawRect(path);
    } else {
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    p.restore();
}

// The rubber band's own layer over the page, above the layers of the notes:
// a band drawn on the page itself would pass beneath every note. It lets
// the pointer through.
class BandLayer : public QWidget {
public:
    explicit BandLayer(QWidget *page) : QWidget(page)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }
    QRect band;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (band.isNull())
            return;
        QPainter p(this);
        drawContrastOutline(p, band.normalized());
    }
};

void announceReset(DesktopSurface *surface)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTableModelChangeEvent event(surface, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

} // namespace

DesktopSurface::DesktopSurface(const GlobalSettings &global, ShortcutPictures &pictures, QWidget *parent)
    : QWidget(parent), global_(global), pictures_(pictures)
{
    setObjectName(QStringLiteral("DesktopSurface"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Reached with Tab from the tab strip and by a click, as a file
    // manager's view of icons is.
    setFocusPolicy(Qt::StrongFocus);
}

void DesktopSurface::setDesktop(Desktop *d)
{
    if (desktop_ == d)
        return;
    desktop_ = d;
    locked_ = false;
    setEnabled(true);
    styleDirty_ = true;
    setBand(QRect());
    framed_ = nullptr;
    update();
    emit shownItemsReset();
    announceReset(this);
}

void DesktopSurface::setLocked(bool locked)
{
    const bool changed = locked_ != locked;
    locked_ = locked;
    setEnabled(!locked);
    update();
    if (changed) {
        emit shownItemsReset();
        announceReset(this);
    }
}

int DesktopSurface::shownItemCount() const
{
    return desktop_ && !locked_ ? static_cast<int>(desktop_->items.size()) : 0;
}

ShortcutItem *DesktopSurface::shownItem(int index) const
{
    if (index < 0 || index >= shownItemCount())
        return nullptr;
    return desktop_->items[static_cast<std::size_t>(index)].get();
}

int DesktopSurface::indexOfShownItem(const ShortcutItem *item) const
{
    return desktop_ && !locked_ ? desktop_->indexOfItem(item) : -1;
}

void DesktopSurface::itemAdded(ShortcutItem &item)
{
    update();
    currentMayHaveChanged();
    if (QAccessible::isActive())
        announceItem(this, indexOfShownItem(&item), QAccessible::ObjectCreated);
}

void DesktopSurface::itemChanged(ShortcutItem &item)
{
    update();
    if (!QAccessible::isActive())
        return;
    const int index = indexOfShownItem(&item);
    announceItem(this, index, QAccessible::NameChanged);
    announceItem(this, index, QAccessible::DescriptionChanged);
}

void DesktopSurface::itemSelectionChanged(ShortcutItem &item)
{
    updateItem(item);
    if (!QAccessible::isActive())
        return;
    const int index = indexOfShownItem(&item);
    if (index < 0)
        return;
    QAccessible::State state;
    state.selected = true;
    QAccessibleStateChangeEvent change(this, state);
    change.setChild(index);
    QAccessible::updateAccessibility(&change);
    announceItem(this, index, item.Selected ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
}

ShortcutItem *DesktopSurface::shownCurrent() const
{
    if (!currentItem || !desktop_ || locked_)
        return nullptr;
    const ShortcutItem *item = currentItem();
    const int index = item ? desktop_->indexOfItem(item) : -1;
    return index >= 0 ? desktop_->items[static_cast<std::size_t>(index)].get() : nullptr;
}

QRect DesktopSurface::focusFrameOf(ShortcutItem &item) { return itemRect(item).adjusted(-3, -3, 3, 3); }

void DesktopSurface::currentMayHaveChanged()
{
    ShortcutItem *now = shownCurrent();
    if (now == framed_)
        return;
    update(framedRect_);
    framed_ = now;
    framedRect_ = now ? focusFrameOf(*now) : QRect();
    update(framedRect_);
    if (now && hasFocus() && QAccessible::isActive())
        announceItem(this, indexOfShownItem(now), QAccessible::Focus);
}

void DesktopSurface::forget(const Desktop *d)
{
    if (d == desktop_)
        emit shownItemsReset();
    backgrounds_.erase(d);
    scenes_.erase(d);
    styles_.erase(d);
    if (d == desktop_)
        setDesktop(nullptr);
}

void DesktopSurface::forgetAll()
{
    emit shownItemsReset();
    setDesktop(nullptr);
    backgrounds_.clear();
    scenes_.clear();
    styles_.clear();
}

void DesktopSurface::forgetItem(const ShortcutItem *item)
{
    // Announced while the item can still be resolved; its interface goes next.
    if (QAccessible::isActive())
        announceItem(this, indexOfShownItem(item), QAccessible::ObjectDestroyed);
    emit shownItemGoing(item);
    for (auto &entry : scenes_)
        entry.second->forget(item);
    if (framed_ == item)
        framed_ = nullptr;
    update();
}

void DesktopSurface::styleChanged()
{
    styleDirty_ = true;
    update();
}

void DesktopSurface::backgroundChanged(const Desktop *d)
{
    backgrounds_.erase(d);
    if (d == desktop_)
        update();
}

DesktopScene &DesktopSurface::sceneFor(Desktop &d)
{
    auto &slot = scenes_[&d];
    if (!slot)
        slot = std::make_unique<DesktopScene>(d);
    return *slot;
}

DesktopScene *DesktopSurface::sceneOf(const Desktop *d)
{
    const auto it = scenes_.find(d);
    return it == scenes_.end() ? nullptr : it->second.get();
}

const CaptionStyle &DesktopSurface::captionStyle()
{
    CaptionStyle &kept = styles_[desktop_];
    if (!styleDirty_ && styleFor_ == desktop_)
        return kept;
    const DesktopSettings &s = desktop_->settings;
    CaptionStyle fresh;
    fresh.font = toQFont(s.ShortcutFont);
    fresh.text = toQColor(s.ShortcutFont.Color);
    fresh.background = toQColor(s.BG_Shortcut);
    fresh.transparent = s.Transparent;
    fresh.wrapWidth = std::max(1, global_.Cell_Width - 5);
    fresh.highlight = palette().color(QPalette::Active, QPalette::Highlight);
    fresh.disabledText = palette().color(QPalette::Disabled, QPalette::WindowText);
    // Version 0 is a look never worked out.
    const bool same = kept.version != 0 && kept.font == fresh.font && kept.text == fresh.text
                      && kept.background == fresh.background && kept.transparent == fresh.transparent
                      && kept.wrapWidth == fresh.wrapWidth && kept.highlight == fresh.highlight
                      && kept.highlightText == fresh.highlightText && kept.disabledText == fresh.disabledText;
    if (!same) {
        fresh.version = ++styleVersion_;
        kept = std::move(fresh);
    }
    styleFor_ = desktop_;
    styleDirty_ = false;
    return kept;
}

const DesktopSurface::Background &DesktopSurface::background()
{
    Background &bg = backgrounds_[desktop_];
    const DesktopSettings &s = desktop_->settings;
    const bool samePicture = bg.path == s.Background_Picture && bg.stretch == s.Background_Stretch;
    // A picture that failed is not tried again at every paint: a hostile
    // file can take a second to be refused, whatever the size.
    const qreal ratio = devicePixelRatioF();
    const bool sizeOk = !bg.stretch || bg.failed || (bg.decodedFor == size() && bg.decodedRatio == ratio);
    if (samePicture && sizeOk && (bg.failed || !bg.pixmap.isNull() || bg.path.isEmpty()))
        return bg;
    bg = Background{};
    bg.path = s.Background_Picture;
    bg.stretch = s.Background_Stretch;
    if (bg.path.isEmpty())
        return bg;
    // A stretched picture is decoded straight to the page size in device
    // pixels (scaled up from logical pixels it would look coarse on a
    // high-resolution screen); the others are shown at their own size.
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    const QImage image = loadPicture(bg.path, bg.stretch ? pixels : QSize());
    if (image.isNull()) {
        bg.failed = true;
        return bg;
    }
    if (bg.stretch) {
        bg.decodedFor = size();
        bg.decodedRatio = ratio;
        bg.pixmap = QPixmap::fromImage(image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        bg.pixmap.setDevicePixelRatio(ratio);
    } else {
        bg.pixmap = QPixmap::fromImage(image);
    }
    return bg;
}

void DesktopSurface::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (!desktop_ || locked_) {
        p.fillRect(event->rect(), palette().color(QPalette::Window));
        emit painted();
        return;
    }
    const DesktopSettings &s = desktop_->settings;
    p.fillRect(event->rect(), toQColor(s.BG_Color));
    const Background &bg = background();
    if (!bg.pixmap.isNull()) {
        const QSize shown = bg.pixmap.deviceIndependentSize().toSize();
        const QRect target = pictureRect(shown, size(), s.Background_Center, s.Background_Stretch);
        p.drawPixmap(target.topLeft(), bg.pixmap);
    }
    sceneFor(*desktop_).paint(p, event->rect(), captionStyle(), pictures_);
    if (desktop_->items.empty() && desktop_->notes.empty())
        paintEmptyHint(p);
    // The focus frame of the current shortcut, while the page has the
    // keyboard. A current shortcut changed by someone who did not say so
    // leaves its old frame to be painted over next.
    currentMayHaveChanged();
    ShortcutItem *current = shownCurrent();
    framedRect_ = current ? focusFrameOf(*current) : QRect();
    if (current && hasFocus() && framedRect_.intersects(event->rect()))
        drawContrastOutline(p, framedRect_);
    emit painted();
}

QString DesktopSurface::emptyHint()
{
    return QStringLiteral("This desktop is empty.\n"
                          "Drop a file or a web link here, or right-click for the menu to add a shortcut or a note.\n"
                          "Ctrl+F finds shortcuts on every desktop.");
}

void DesktopSurface::paintEmptyHint(QPainter &p)
{
    // What a new user sees first; painted only, never stored, and gone with
    // the first element. In the darker or lighter of two greys, whichever
    // stands out on the desktop's colour.
    const QColor background = toQColor(desktop_->settings.BG_Color);
    p.setPen(qGray(background.rgb()) > 140 ? QColor(0, 0, 0, 150) : QColor(255, 255, 255, 180));
    QFont font = this->font();
    font.setPointSizeF(font.pointSizeF() * 1.15);
    p.setFont(font);
    const QRect area = rect().adjusted(width() / 8, 0, -width() / 8, 0);
    p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, emptyHint());
}

DesktopScene::Hit DesktopSurface::itemAt(QPoint pos)
{
    if (!desktop_ || locked_)
        return {};
    return sceneFor(*desktop_).itemAt(pos, captionStyle());
}

QRect DesktopSurface::itemRect(ShortcutItem &item)
{
    return desktop_ ? sceneFor(*desktop_).itemRect(item, captionStyle()) : QRect();
}

void DesktopSurface::updateItem(ShortcutItem &item)
{
    if (desktop_ && desktop_->indexOfItem(&item) >= 0)
        update(itemRect(item));
}

void DesktopSurface::setBand(const QRect &band)
{
    if (band == band_)
        return;
    if (!band.isNull() && !bandLayer_) {
        bandLayer_ = new BandLayer(this);
        bandLayer_->setGeometry(rect());
    }
    // Only the old and the new outline need painting.
    const auto outline = [](const QRect &r) {
        QRegion region;
        if (!r.isNull()) {
            const QRect n = r.normalized();
            region = QRegion(n.adjusted(-1, -1, 1, 1)).subtracted(QRegion(n.adjusted(1, 1, -1, -1)));
        }
        return region;
    };
    const QRegion changed = outline(band_) + outline(band);
    band_ = band;
    if (!bandLayer_)
        return;
    static_cast<BandLayer *>(bandLayer_)->band = band;
    if (band.isNull()) {
        bandLayer_->hide();
        update(changed);
        return;
    }
    if (bandLayer_->isHidden()) {
        // Above whatever was raised since: the notes' layers.
        bandLayer_->raise();
        bandLayer_->show();
    }
    bandLayer_->update(changed);
}

namespace {

DesktopSurface::Mouse mouseOf(const QMouseEvent *e)
{
    return {e->position().toPoint(), e->globalPosition().toPoint(), e->button(), e->buttons(), e->modifiers()};
}

} // namespace

void DesktopSurface::mousePressEvent(QMouseEvent *event)
{
    if (desktop_ && !locked_) {
        emit mousePressed(mouseOf(event));
        currentMayHaveChanged();
    }
}

void DesktopSurface::mouseMoveEvent(QMouseEvent *event)
{
    if (desktop_ && !locked_)
        emit mouseMoved(mouseOf(event));
}

void DesktopSurface::mouseReleaseEvent(QMouseEvent *event)
{
    if (desktop_ && !locked_) {
        emit mouseReleased(mouseOf(event));
        currentMayHaveChanged();
    }
}

void DesktopSurface::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (desktop_ && !locked_) {
        emit mouseDoubleClicked(mouseOf(event));
        currentMayHaveChanged();
    }
}

void DesktopSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (bandLayer_)
        bandLayer_->setGeometry(rect());
    update();
}

void DesktopSurface::keyPressEvent(QKeyEvent *event)
{
    if (desktop_ && !locked_ && onKey && onKey(*event)) {
        event->accept();
        currentMayHaveChanged();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DesktopSurface::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu key comes as a key press and, from some platforms, as a
    // context-menu request after it: the menu the press opened has the
    // input by then, and the request goes to it instead.
    if (event->reason() == QContextMenuEvent::Keyboard && desktop_ && !locked_ && onMenuKey
        && !QApplication::activePopupWidget()) {
        event->accept();
        onMenuKey();
        return;
    }
    QWidget::contextMenuEvent(event);
}

void DesktopSurface::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (ShortcutItem *current = shownCurrent()) {
        update(focusFrameOf(*current));
        if (QAccessible::isActive())
            announceItem(this, indexOfShownItem(current), QAccessible::Focus);
    }
}

void DesktopSurface::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update(framedRect_);
}

void DesktopSurface::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        styleChanged();
}

} // namespace vl
