#include "surface/Accessibility.h"

#include "notes/NoteWidgets.h"
#include "surface/DesktopSurface.h"
#include "surface/TabStrip.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <unordered_map>

namespace vl {

namespace {

QWindow *windowOf(const QWidget *w)
{
    return w ? w->window()->windowHandle() : nullptr;
}

// Where the state of a tab or a shortcut starts: invalid once it is gone,
// otherwise selectable and focusable.
QAccessible::State pickableState(bool valid)
{
    QAccessible::State s;
    s.invalid = !valid;
    s.selectable = valid;
    s.focusable = valid;
    return s;
}

QRect toScreen(const QWidget *w, const QRect &r)
{
    return QRect(w->mapToGlobal(r.topLeft()), r.size());
}

// Child interfaces kept by id, the way Qt's own item views keep theirs: the
// cache owns nothing, and an interface is deleted through the cache only.
template <class Key>
class ChildIds {
public:
    ChildIds() = default;
    ChildIds(const ChildIds &) = delete;
    ChildIds &operator=(const ChildIds &) = delete;
    ~ChildIds() { clear(); }

    template <class Make>
    QAccessibleInterface *get(const Key &key, Make &&make)
    {
        auto it = ids_.find(key);
        if (it != ids_.end()) {
            if (QAccessibleInterface *iface = QAccessible::accessibleInterface(it->second))
                return iface;
            ids_.erase(it);
        }
        QAccessibleInterface *iface = make();
        ids_.emplace(key, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }
    void drop(const Key &key)
    {
        auto it = ids_.find(key);
        if (it == ids_.end())
            return;
        const QAccessible::Id id = it->second;
        ids_.erase(it);
        QAccessible::deleteAccessibleInterface(id);
    }
    void clear()
    {
        // Taken out first: deleting may reach back into a client.
        std::unordered_map<Key, QAccessible::Id> ids;
        ids.swap(ids_);
        for (const auto &entry : ids)
            QAccessible::deleteAccessibleInterface(entry.second);
    }
    std::size_t size() const { return ids_.size(); }

private:
    std::unordered_map<Key, QAccessible::Id> ids_;
};

// Shared by the tab and the shortcut: a painted part of a widget with a
// name, a rectangle, a state and the press action.
class PaintedPart : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    QObject *object() const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    void setText(QAccessible::Text, const QString &) override {}
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction() && isValid())
            press();
    }

protected:
    virtual void press() = 0;
};

// One desktop's tab. It stands for whichever tab is at its index: tabs have
// no identity of their own, and the index is what a click hits too.
class TabAccessible : public PaintedPart {
public:
    TabAccessible(TabStrip *strip, int index) : strip_(strip), index_(index) {}

    TabStrip *strip() const { return strip_; }
    int index() const { return index_; }

    bool isValid() const override { return strip_ && index_ < strip_->count(); }
    QWindow *window() const override { return windowOf(strip_); }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(strip_.data()); }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? strip_->tabText(index_) : QString();
    }
    QRect rect() const override { return isValid() ? toScreen(strip_, strip_->tabRect(index_)) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State s = pickableState(isValid());
        if (s.invalid)
            return s;
        const bool current = strip_->currentIndex() == index_;
        s.selected = current;
        s.focused = current && strip_->hasFocus();
        s.disabled = !strip_->isEnabled();
        s.invisible = !strip_->isVisible();
        s.offscreen = !strip_->rect().intersects(strip_->tabRect(index_));
        return s;
    }

protected:
    void press() override { strip_->accessiblePress(index_); }

private:
    QPointer<TabStrip> strip_;
    int index_;
};

// The tabs first, then the strip's own widgets (its scroll buttons).
class TabStripAccessible : public QAccessibleWidget {
public:
    explicit TabStripAccessible(TabStrip *strip) : QAccessibleWidget(strip, QAccessible::PageTabList) {}

    TabStrip *strip() const { return static_cast<TabStrip *>(widget()); }

    int childCount() const override { return strip()->count() + QAccessibleWidget::childCount(); }
    QAccessibleInterface *child(int index) const override
    {
        const int tabs = strip()->count();
        if (index < 0)
            return nullptr;
        if (index >= tabs)
            return QAccessibleWidget::child(index - tabs);
        return tabs_.get(index, [&] { return new TabAccessible(strip(), index); });
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (auto *tab = dynamic_cast<const TabAccessible *>(child))
            return tab->strip() == strip() && tab->isValid() ? tab->index() : -1;
        const int own = QAccessibleWidget::indexOfChild(child);
        return own < 0 ? -1 : own + strip()->count();
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint pos = strip()->mapFromGlobal(QPoint(x, y));
        if (QWidget *button = strip()->childAt(pos))
            return QAccessible::queryAccessibleInterface(button);
        const int tab = strip()->tabAt(pos);
        return tab >= 0 ? child(tab) : nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        if (strip()->hasFocus() && strip()->currentIndex() >= 0)
            return child(strip()->currentIndex());
        return QAccessibleWidget::focusChild();
    }

private:
    mutable ChildIds<int> tabs_;
};

// One shortcut of the page. Kept only while the shortcut is on the page:
// the page's interface drops it before the record goes.
class ItemAccessible : public PaintedPart {
public:
    ItemAccessible(DesktopSurface *surface, ShortcutItem *item) : surface_(surface), item_(item) { ++live; }
    ~ItemAccessible() override { --live; }
    ItemAccessible(const ItemAccessible &) = delete;
    ItemAccessible &operator=(const ItemAccessible &) = delete;

    static inline int live = 0;

    ShortcutItem *item() const { return item_; }

    bool isValid() const override { return surface_ != nullptr; }
    QWindow *window() const override { return windowOf(surface_); }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(surface_.data()); }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        switch (t) {
        case QAccessible::Name:
            return item_->Label_Caption;
        case QAccessible::Description:
            return item_->AttachedFile;
        default:
            return {};
        }
    }
    QRect rect() const override { return isValid() ? toScreen(surface_, surface_->itemRect(*item_)) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s = pickableState(isValid());
        if (s.invalid)
            return s;
        s.selected = item_->Selected;
        s.focused = surface_->hasFocus() && surface_->currentItem && surface_->currentItem() == item_;
        s.disabled = !surface_->isEnabled();
        s.invisible = !surface_->isVisible();
        // Scrolled out of sight counts as off the screen.
        s.offscreen = !surface_->visibleRegion().boundingRect().intersects(surface_->itemRect(*item_));
        return s;
    }

protected:
    void press() override
    {
        if (surface_->onAccessibleOpen)
            surface_->onAccessibleOpen(*item_);
    }

private:
    QPointer<DesktopSurface> surface_;
    ShortcutItem *item_;
};

// The shortcuts of the shown desktop first, in the order of its records,
// then the page's own widgets (the layers that hold the notes).
class SurfaceAccessible : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(DesktopSurface *surface) : QAccessibleWidget(surface, QAccessible::List)
    {
        QObject::connect(surface, &DesktopSurface::shownItemGoing, &watcher_,
                         [this](const ShortcutItem *item) { items_.drop(item); });
        QObject::connect(surface, &DesktopSurface::shownItemsReset, &watcher_, [this] { items_.clear(); });
    }

    DesktopSurface *surface() const { return static_cast<DesktopSurface *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty() && surface()->desktop())
            own = surface()->desktop()->Desktop_Caption;
        return own;
    }
    int childCount() const override { return surface()->shownItemCount() + QAccessibleWidget::childCount(); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0)
            return nullptr;
        const int items = surface()->shownItemCount();
        if (index >= items)
            return QAccessibleWidget::child(index - items);
        ShortcutItem *item = surface()->shownItem(index);
        return items_.get(item, [&] { return new ItemAccessible(surface(), item); });
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (auto *item = dynamic_cast<const ItemAccessible *>(child))
            return surface()->indexOfShownItem(item->item());
        const int own = QAccessibleWidget::indexOfChild(child);
        return own < 0 ? -1 : own + surface()->shownItemCount();
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint pos = surface()->mapFromGlobal(QPoint(x, y));
        // Notes lie above the shortcuts. Masks count, so the layer that
        // covers the page is hit only where one of its notes is.
        if (QWidget *hit = surface()->childAt(pos)) {
            while (hit->parentWidget() != surface())
                hit = hit->parentWidget();
            return QAccessible::queryAccessibleInterface(hit);
        }
        const DesktopScene::Hit hit = surface()->itemAt(pos);
        const int index = hit.item ? surface()->indexOfShownItem(hit.item) : -1;
        return index >= 0 ? child(index) : nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        if (surface()->hasFocus() && surface()->currentItem) {
            const int index = surface()->indexOfShownItem(surface()->currentItem());
            if (index >= 0)
                return child(index);
        }
        return QAccessibleWidget::focusChild();
    }

private:
    mutable ChildIds<const ShortcutItem *> items_;
    // Declared after the cache, so its connections go before the cache does.
    QObject watcher_;
};

// A note while it is read: painted text, named by that text.
class NoteViewAccessible : public QAccessibleWidget {
public:
    explicit NoteViewAccessible(TNoteView *view) : QAccessibleWidget(view, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        const QStringList *lines = static_cast<TNoteView *>(widget())->lines();
        if (t == QAccessible::Name && own.isEmpty() && lines) {
            // A note may hold many thousands of lines; a name is for hearing.
            constexpr qsizetype Limit = 4000;
            for (const QString &line : *lines) {
                if (!own.isEmpty())
                    own += QLatin1Char('\n');
                own += line;
                if (own.size() >= Limit) {
                    own.truncate(Limit);
                    break;
                }
            }
        }
        return own;
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("vl::TabStrip"))
        return new TabStripAccessible(static_cast<TabStrip *>(object));
    if (className == QLatin1String("vl::DesktopSurface"))
        return new SurfaceAccessible(static_cast<DesktopSurface *>(object));
    // TNoteView has no meta-object of its own.
    if (className == QLatin1String("QWidget")) {
        if (auto *view = dynamic_cast<TNoteView *>(object))
            return new NoteViewAccessible(view);
    }
    return nullptr;
}

} // namespace

int accessibleItemInterfaces() { return ItemAccessible::live; }

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

} // namespace vl
