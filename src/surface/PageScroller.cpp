#include "surface/PageScroller.h"

#include "surface/DesktopSurface.h"

#include <QChildEvent>
#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace vl {

namespace {

// Qt refuses widgets larger than this; elements stored beyond it stay out
// of reach, as they always were.
constexpr int MaxExtent = QWIDGETSIZE_MAX / 2;

} // namespace

PageScroller::PageScroller(DesktopSurface &surface, QWidget *parent) : QObject(parent), surface_(surface)
{
    area_ = new QScrollArea(parent);
    area_->setObjectName(QStringLiteral("PageScroller"));
    area_->setFrameShape(QFrame::NoFrame);
    area_->setWidgetResizable(false);
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The page is the focus, not the area around it.
    area_->setFocusPolicy(Qt::NoFocus);
    area_->setWidget(&surface_);
    area_->viewport()->installEventFilter(this);
    // Notes are widgets on layers over the page: their moves and sizes count.
    watch(&surface_);
    fit();
}

bool PageScroller::isLayer(const QWidget *w) const
{
    // A layer covers the whole page and is no element of its own.
    return w->parentWidget() == &surface_ && w->geometry() == surface_.rect();
}

void PageScroller::watch(QObject *object)
{
    object->installEventFilter(this);
    for (QObject *child : object->children()) {
        if (child->isWidgetType())
            watch(child);
    }
}

QRect PageScroller::visibleRect() const
{
    return QRect(-surface_.pos(), area_->viewport()->size());
}

QSize PageScroller::visibleSize() const { return area_->viewport()->size(); }

void PageScroller::contentsChanged()
{
    if (pending_)
        return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
        pending_ = false;
        measure();
    });
}

void PageScroller::measure()
{
    QRect bounds;
    if (const Desktop *d = surface_.desktop(); d && !surface_.isLocked()) {
        for (const auto &item : d->items)
            bounds |= surface_.itemRect(*item);
    }
    // The notes on show: widgets of the layers, in page coordinates.
    for (QObject *child : surface_.children()) {
        auto *layer = qobject_cast<QWidget *>(child);
        if (!layer || layer->isHidden() || !isLayer(layer))
            continue;
        for (QObject *grandchild : layer->children()) {
            auto *w = qobject_cast<QWidget *>(grandchild);
            if (w && !w->isHidden())
                bounds |= w->geometry();
        }
    }
    const QSize extent(std::clamp(bounds.right() + 1 + Margin, 0, MaxExtent),
                       std::clamp(bounds.bottom() + 1 + Margin, 0, MaxExtent));
    if (bounds.isNull() ? extent_ == QSize() : extent == extent_)
        return;
    extent_ = bounds.isNull() ? QSize() : extent;
    fit();
}

void PageScroller::fit()
{
    // Never smaller than what shows: the page fills the window as before.
    const QSize view = area_->maximumViewportSize();
    QSize size = view.expandedTo(extent_);
    // A scroll bar one way takes room from the other.
    if (size.width() > view.width())
        size.setHeight(std::max(extent_.height(), view.height() - area_->horizontalScrollBar()->sizeHint().height()));
    if (size.height() > view.height())
        size.setWidth(std::max(extent_.width(), view.width() - area_->verticalScrollBar()->sizeHint().width()));
    if (surface_.size() != size)
        surface_.resize(size);
}

void PageScroller::ensureVisible(const QRect &pageRect)
{
    if (pageRect.isNull())
        return;
    const QPoint centre = pageRect.center();
    area_->ensureVisible(centre.x(), centre.y(), pageRect.width() / 2 + 4, pageRect.height() / 2 + 4);
}

void PageScroller::followPointer(QPoint pagePos)
{
    const QRect shown = visibleRect();
    if (shown.adjusted(Margin, Margin, -Margin, -Margin).contains(pagePos))
        return;
    // Beyond the last element the page grows with the drag.
    if (pagePos.x() + Margin > surface_.width() || pagePos.y() + Margin > surface_.height()) {
        surface_.resize(surface_.size().expandedTo(
            QSize(std::min(pagePos.x() + 2 * Margin, MaxExtent), std::min(pagePos.y() + 2 * Margin, MaxExtent))));
    }
    area_->ensureVisible(pagePos.x(), pagePos.y(), Margin, Margin);
}

bool PageScroller::eventFilter(QObject *watched, QEvent *event)
{
    const bool element = watched != &surface_ && watched != area_->viewport()
        && !(watched->isWidgetType() && isLayer(static_cast<QWidget *>(watched)));
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == area_->viewport())
            fit();
        else if (element)
            contentsChanged();
        break;
    case QEvent::Move:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        // Not the page itself: scrolling moves it.
        if (element)
            contentsChanged();
        break;
    case QEvent::ChildAdded:
        if (QObject *child = static_cast<QChildEvent *>(event)->child(); child && child->isWidgetType())
            watch(child);
        contentsChanged();
        break;
    case QEvent::ChildRemoved:
        contentsChanged();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vl
