#include "search/FindPopup.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vl {

namespace {

constexpr int kVisibleRows = 10;
constexpr int kMaxWidth = 560;
constexpr int kMargin = 8;

} // namespace

FindPopup::FindPopup(SearchIndex &index, Actions actions, QWidget *page, QWidget *parent)
    : QFrame(parent), index_(index), actions_(std::move(actions)), page_(page)
{
    setObjectName(QStringLiteral("FindPopup"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("editFind"));
    field_->setPlaceholderText(QStringLiteral("Find a shortcut or note"));
    field_->setAccessibleName(QStringLiteral("Find"));
    field_->setClearButtonEnabled(true);
    layout->addWidget(field_);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("lstFound"));
    list_->setAccessibleName(QStringLiteral("Found"));
    list_->setColumnCount(2);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    layout->addWidget(list_);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("lblFound"));
    layout->addWidget(count_);

    connect(field_, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(list_, &QTreeWidget::itemActivated, this, [this] { choose(false); });
    field_->installEventFilter(this);
    page_->installEventFilter(this);
    // Anywhere else in the window taking the focus closes the popup; a
    // question in a window of its own leaves it as it is.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (!isHidden() && now && now->window() == window() && !owns(now))
            close();
    });
    index_.onChanged = [this] { refreshLater(); };
    hide();
}

FindPopup::~FindPopup() { index_.onChanged = nullptr; }

bool FindPopup::owns(const QWidget *widget) const { return widget && (widget == this || isAncestorOf(widget)); }

void FindPopup::open(const QString &typed)
{
    if (isHidden()) {
        place();
        show();
        raise();
    }
    field_->setFocus(Qt::ShortcutFocusReason);
    if (typed.isEmpty()) {
        field_->selectAll();
    } else {
        const QSignalBlocker quiet(field_);
        field_->setText(typed);
        field_->end(false);
    }
    refresh();
}

void FindPopup::close()
{
    if (isHidden())
        return;
    const bool hadFocus = owns(QApplication::focusWidget());
    hide();
    {
        const QSignalBlocker quiet(field_);
        field_->clear();
    }
    hits_.clear();
    list_->clear();
    if (hadFocus)
        page_->setFocus(Qt::OtherFocusReason);
}

void FindPopup::place()
{
    const QRect over(page_->mapTo(parentWidget(), QPoint(0, 0)), page_->size());
    const int width = std::max(160, std::min(kMaxWidth, over.width() - 2 * kMargin));
    const int rowHeight = std::max(list_->fontMetrics().height(), 16) + 4;
    const int height = std::min(field_->sizeHint().height() + kVisibleRows * rowHeight + 3 * fontMetrics().height(),
                                std::max(80, over.height() - 2 * kMargin));
    setGeometry(over.left() + (over.width() - width) / 2, over.top() + kMargin, width, height);
}

void FindPopup::refreshLater()
{
    if (isHidden() || refreshQueued_)
        return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        if (!isHidden())
            refresh();
    });
}

void FindPopup::refresh()
{
    // The same element stays chosen when the list changes under it.
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    const SearchHit was = row >= 0 && std::size_t(row) < hits_.size() ? hits_[std::size_t(row)] : SearchHit();
    hits_ = index_.find(field_->text(), actions_.visible, MaxListed, &total_, &leftOut_);
    list_->clear();
    QList<QTreeWidgetItem *> rows;
    int current = hits_.empty() ? -1 : 0;
    const QIcon noteIcon = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    for (std::size_t i = 0; i < hits_.size(); ++i) {
        const SearchHit &h = hits_[i];
        auto *r = new QTreeWidgetItem({h.caption, h.desktopCaption});
        if (h.note) {
            r->setIcon(0, noteIcon);
        } else if (actions_.picture) {
            if (const QPixmap *p = actions_.picture(h))
                r->setIcon(0, QIcon(*p));
        }
        r->setToolTip(0, h.note ? h.caption : h.attachedFile);
        rows.append(r);
        if (h.desktop == was.desktop && ((h.item && h.item == was.item) || (h.note && h.note == was.note)))
            current = int(i);
    }
    list_->addTopLevelItems(rows);
    if (current >= 0)
        list_->setCurrentItem(list_->topLevelItem(current));
    count_->setText(countText());
}

QString FindPopup::countText() const
{
    if (field_->text().trimmed().isEmpty())
        return {};
    if (total_ == 0) {
        // Whoever misses a shortcut must learn where it may still be.
        if (leftOut_ == 1)
            return QStringLiteral("Nothing found. 1 desktop behind its password was not searched.");
        if (leftOut_ > 1)
            return QStringLiteral("Nothing found. %1 desktops behind their passwords were not searched.").arg(leftOut_);
        return QStringLiteral("Nothing found");
    }
    if (total_ > hits_.size())
        return QStringLiteral("%1 of %2 found").arg(hits_.size()).arg(total_);
    return QStringLiteral("%1 found").arg(total_);
}

void FindPopup::moveCurrent(int by)
{
    const int n = list_->topLevelItemCount();
    if (n == 0)
        return;
    const int row = std::clamp(list_->indexOfTopLevelItem(list_->currentItem()) + by, 0, n - 1);
    list_->setCurrentItem(list_->topLevelItem(row));
}

void FindPopup::choose(bool showOnly)
{
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || std::size_t(row) >= hits_.size())
        return;
    const SearchHit hit = hits_[std::size_t(row)];
    close();
    // A note has nothing to start: choosing it shows it.
    if (showOnly || hit.note) {
        if (actions_.show)
            actions_.show(hit);
    } else if (actions_.start) {
        actions_.start(hit);
    }
}

void FindPopup::openOnTyping(std::function<bool()> mayOpen)
{
    mayOpen_ = std::move(mayOpen);
    window()->installEventFilter(this);
}

bool FindPopup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == page_ && event->type() == QEvent::Resize && !isHidden())
        place();
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == field_) {
        switch (key->key()) {
        case Qt::Key_Down: moveCurrent(1); return true;
        case Qt::Key_Up: moveCurrent(-1); return true;
        case Qt::Key_PageDown: moveCurrent(kVisibleRows - 1); return true;
        case Qt::Key_PageUp: moveCurrent(-(kVisibleRows - 1)); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: choose((key->modifiers() & Qt::AltModifier) != 0); return true;
        case Qt::Key_Escape: close(); return true;
        default: return false;
        }
    }
    if (!mayOpen_ || !isHidden())
        return false;
    // Typing on the page, or on the window while nothing has the focus;
    // a key with a command modifier is no typing.
    const QWidget *focus = QApplication::focusWidget();
    const bool onPage = watched == page_ && focus == page_;
    const bool onWindow = watched == window() && (!focus || focus == window());
    if (!onPage && !onWindow)
        return false;
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || text.at(0).isSpace())
        return false;
    if (!mayOpen_())
        return false;
    open(text);
    return true;
}

} // namespace vl
