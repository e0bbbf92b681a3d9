#include "surface/TabStrip.h"

#include <QAccessible>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionTab>
#include <QStyleOptionTabBarBase>
#include <QTabBar>
#include <QToolButton>

#include <algorithm>

namespace vl {

namespace {

// Captions are user text: an '&' is a character, not a mnemonic marker, but the style draws tab
// labels with mnemonics enabled.
QString literalLabel(const QString &text)
{
    QString label = text;
    label.replace(QLatin1Char('&'), QLatin1String("&&"));
    return label;
}

// Tells assistive technology about one tab; the strip's accessible interface resolves the
// index to the tab.
void announceTab(TabStrip *strip, int index, QAccessible::Event type)
{
    if (!QAccessible::isActive() || index < 0)
        return;
    QAccessibleEvent event(strip, type);
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

void announceSelected(TabStrip *strip, int index, bool selected)
{
    if (!QAccessible::isActive() || index < 0 || index >= strip->count())
        return;
    QAccessible::State state;
    state.selected = true;
    QAccessibleStateChangeEvent change(strip, state);
    change.setChild(index);
    QAccessible::updateAccessibility(&change);
    if (selected)
        announceTab(strip, index, QAccessible::Selection);
}

} // namespace

TabStrip::TabStrip(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    // Like QTabBar: reachable with Tab, but a click leaves the focus on the page.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_leftButton = new QToolButton(this);
    m_leftButton->setObjectName(QStringLiteral("scrollLeftButton"));
    m_leftButton->setArrowType(Qt::LeftArrow);
    m_rightButton = new QToolButton(this);
    m_rightButton->setObjectName(QStringLiteral("scrollRightButton"));
    m_rightButton->setArrowType(Qt::RightArrow);
    m_leftButton->setAccessibleName(QStringLiteral("Scroll left"));
    m_rightButton->setAccessibleName(QStringLiteral("Scroll right"));
    for (QToolButton *button : {m_leftButton, m_rightButton}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->installEventFilter(this);
        button->hide();
    }
    connect(m_leftButton, &QToolButton::clicked, this, &TabStrip::scrollLeft);
    connect(m_rightButton, &QToolButton::clicked, this, &TabStrip::scrollRight);
}

TabStrip::~TabStrip() = default;

int TabStrip::addTab(const QString &text)
{
    return insertTab(count(), text);
}

int TabStrip::insertTab(int index, const QString &text)
{
    index = std::clamp(index, 0, count());
    m_tabs.insert(index, Tab{text, -1});
    const bool first = m_tabs.size() == 1;
    if (first)
        m_current = 0;
    else if (index <= m_current)
        ++m_current;
    tabsChanged();
    announceTab(this, index, QAccessible::ObjectCreated);
    if (first)
        emit currentChanged(m_current);
    return index;
}

void TabStrip::removeTab(int index, bool notify)
{
    if (index < 0 || index >= count())
        return;
    // Announced while the tab can still be resolved.
    announceTab(this, index, QAccessible::ObjectDestroyed);
    m_tabs.removeAt(index);
    bool changed = false;
    if (m_tabs.isEmpty()) {
        m_current = -1;
        changed = true;
    } else if (index == m_current) {
        m_current = std::min(index, count() - 1);
        changed = true;
    } else if (index < m_current) {
        --m_current;
    }
    tabsChanged();
    if (changed && notify)
        emit currentChanged(m_current);
}

void TabStrip::setTabText(int index, const QString &text)
{
    if (index < 0 || index >= count() || m_tabs[index].text == text)
        return;
    m_tabs[index].text = text;
    m_tabs[index].width = -1;
    tabsChanged();
    announceTab(this, index, QAccessible::NameChanged);
}

QString TabStrip::tabText(int index) const
{
    return index >= 0 && index < count() ? m_tabs[index].text : QString();
}

void TabStrip::setCurrentIndex(int index)
{
    setCurrentIndex(index, true);
}

void TabStrip::setCurrentIndex(int index, bool notify)
{
    if (index < 0 || index >= count())
        return;
    if (index == m_current) {
        // Still worth a call: brings a current tab the user scrolled away from back into view.
        if (!m_multiline) {
            makeCurrentVisible();
            updateScrollButtons();
            refreshHover();
            update();
        }
        return;
    }
    const int previous = m_current;
    m_current = index;
    if (m_multiline) {
        // The current tab's row moves next to the page; the row count stays, so no geometry change.
        invalidateLayout();
        ensureLayout();
    } else {
        makeCurrentVisible();
        updateScrollButtons();
    }
    refreshHover();
    update();
    announceSelected(this, previous, false);
    announceSelected(this, index, true);
    if (hasFocus())
        announceTab(this, index, QAccessible::Focus);
    if (notify)
        emit currentChanged(index);
}

void TabStrip::accessiblePress(int index)
{
    if (onAccessiblePress) {
        onAccessiblePress(index);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, index] {
            if (index < count())
                setCurrentIndex(index, true);
        },
        Qt::QueuedConnection);
}

void TabStrip::setShape(Shape shape)
{
    if (m_shape == shape)
        return;
    m_shape = shape;
    invalidateMetrics(); // styles may size north and south tabs differently
    tabsChanged();
}

void TabStrip::setMultiline(bool multiline)
{
    if (m_multiline == multiline)
        return;
    m_multiline = multiline;
    m_scroll = 0;
    tabsChanged();
}

int TabStrip::tabAt(const QPoint &pos) const
{
    if (!visibleTabArea().contains(pos))
        return -1;
    ensureLayout();
    const QPoint p = pos - contentOffset();
    for (int i = 0; i < m_rects.size(); ++i) {
        if (m_rects[i].contains(p))
            return i;
    }
    return -1;
}

QRect TabStrip::tabRect(int index) const
{
    ensureLayout();
    if (index < 0 || index >= m_rects.size())
        return QRect();
    return m_rects[index].translated(contentOffset());
}

int TabStrip::rowCount() const
{
    ensureLayout();
    return m_rows;
}

QList<QRect> TabStrip::layoutTabs(const QList<int> &tabWidths, int rowHeight, int availableWidth,
                                  bool multiline, int currentIndex, Shape shape)
{
    QList<QRect> rects;
    const int n = int(tabWidths.size());
    rects.reserve(n);
    const bool bounded = availableWidth > 0;
    auto widthOf = [&](int i) {
        const int w = std::max(tabWidths[i], 1);
        return bounded ? std::min(w, availableWidth) : w;
    };

    if (!multiline || !bounded) {
        int x = 0;
        for (int i = 0; i < n; ++i) {
            const int w = widthOf(i);
            rects.append(QRect(x, 0, w, rowHeight));
            x += w;
        }
        return rects;
    }

    QList<int> rowStart{0};
    int x = 0;
    for (int i = 0; i < n; ++i) {
        const int w = widthOf(i);
        if (x > 0 && x + w > availableWidth) {
            rowStart.append(i);
            x = 0;
        }
        rects.append(QRect(x, 0, w, rowHeight));
        x += w;
    }
    if (n == 0)
        return rects;

    const int rows = int(rowStart.size());
    rowStart.append(n); // sentinel: end of the last row
    if (rows > 1) {
        // Ragged rows look broken once the current row jumps around; spread each row's spare
        // pixels over its tabs so every row ends flush with the right edge.
        for (int r = 0; r < rows; ++r) {
            const int begin = rowStart[r];
            const int end = rowStart[r + 1];
            const int tabs = end - begin;
            const int spare = availableWidth - (rects[end - 1].right() + 1);
            int shift = 0;
            for (int k = 0; k < tabs; ++k) {
                const int extra = spare * (k + 1) / tabs - spare * k / tabs;
                QRect &rect = rects[begin + k];
                rect.moveLeft(rect.left() + shift);
                rect.setWidth(rect.width() + extra);
                shift += extra;
            }
        }
    }

    int currentRow = -1;
    if (currentIndex >= 0 && currentIndex < n)
        currentRow = int(std::upper_bound(rowStart.begin(), rowStart.end() - 1, currentIndex) - rowStart.begin()) - 1;
    for (int r = 0; r < rows; ++r) {
        int visual = r;
        if (currentRow >= 0) {
            // Top: the current row becomes the last (nearest the page below);
            // Bottom: it becomes the first (nearest the page above).
            visual = shape == Top ? (r - currentRow + rows - 1) % rows : (r - currentRow + rows) % rows;
        }
        for (int i = rowStart[r]; i < rowStart[r + 1]; ++i)
            rects[i].moveTop(visual * rowHeight);
    }
    return rects;
}

QSize TabStrip::sizeHint() const
{
    ensureMetrics();
    int total = 0;
    for (const Tab &tab : m_tabs)
        total += tab.width;
    total = std::max(total, minimumSizeHint().width());
    const int height = m_multiline && width() > 0 ? heightForWidth(width()) : m_rowHeight;
    return QSize(total, height);
}

QSize TabStrip::minimumSizeHint() const
{
    ensureMetrics();
    if (m_multiline)
        return QSize(m_minTabWidth, m_rowHeight);
    return QSize(m_minTabWidth + 2 * scrollButtonWidth(), m_rowHeight);
}

bool TabStrip::hasHeightForWidth() const
{
    return m_multiline;
}

int TabStrip::heightForWidth(int width) const
{
    ensureMetrics();
    if (!m_multiline)
        return m_rowHeight;
    if (width != m_hfwWidth) {
        const QList<QRect> rects = layoutTabs(naturalWidths(), m_rowHeight, width, true, m_current, m_shape);
        int bottom = m_rowHeight;
        for (const QRect &r : rects)
            bottom = std::max(bottom, r.bottom() + 1);
        m_hfwWidth = width;
        m_hfwHeight = bottom;
    }
    return m_hfwHeight;
}

bool TabStrip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_leftButton || watched == m_rightButton) {
        if (event->type() == QEvent::MouseButtonRelease)
            emit released(static_cast<QMouseEvent *>(event)->button());
        else if (event->type() == QEvent::Enter) {
            // Moving onto a child sends the strip no Leave, so the last tab would stay lit.
            m_pointerInside = false;
            setHover(-1);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TabStrip::paintEvent(QPaintEvent *event)
{
    ensureLayout();
    QPainter painter(this);
    QStyle *st = style();

    QStyleOptionTabBarBase base;
    base.initFrom(this);
    base.shape = m_shape == Top ? QTabBar::RoundedNorth : QTabBar::RoundedSouth;
    const int overlap = st->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    base.rect = m_shape == Top ? QRect(0, height() - overlap, width(), overlap) : QRect(0, 0, width(), overlap);
    base.tabBarRect = visibleTabArea();
    if (m_current >= 0)
        base.selectedTabRect = tabRect(m_current);
    st->drawPrimitive(QStyle::PE_FrameTabBarBase, &base, &painter, this);

    if (m_overflow)
        painter.setClipRect(visibleTabArea());
    // Styles may paint a little past a tab's rectangle (the raised selected tab does).
    const QRect dirty = event->rect().adjusted(-4, -4, 4, 4);
    for (int i = 0; i < count(); ++i) {
        if (i != m_current && tabRect(i).intersects(dirty))
            paintTab(&painter, i);
    }
    if (m_current >= 0 && tabRect(m_current).intersects(dirty))
        paintTab(&painter, m_current);
}

void TabStrip::paintTab(QPainter *painter, int index) const
{
    QStyleOptionTab option;
    initTabOption(&option, index);
    // Styles draw south tabs through a flipping transform that assumes the tab starts at y = 0
    // (a QTabBar has one row); Fusion paints lower rows off the widget otherwise.
    const int y = option.rect.y();
    option.rect.moveTop(0);
    painter->save();
    painter->translate(0, y);
    style()->drawControl(QStyle::CE_TabBarTab, &option, painter, this);
    if (index == m_hover && index != m_current && !styleShowsHover()) {
        // The tab's body, clear of its frame and of the edge the style keeps lowered.
        const QRect body = m_shape == Top ? option.rect.adjusted(2, 4, -2, -2) : option.rect.adjusted(2, 2, -2, -4);
        QColor tint = palette().color(QPalette::Highlight);
        tint.setAlpha(48);
        painter->fillRect(body, tint);
    }
    painter->restore();
}

bool TabStrip::styleShowsHover() const
{
    ensureMetrics();
    if (m_hoverProbe < 0) {
        // Not every style lights a tab under the pointer (Fusion does not); paint one both ways
        // and see.
        QStyleOptionTab option;
        option.initFrom(this);
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        option.shape = m_shape == Top ? QTabBar::RoundedNorth : QTabBar::RoundedSouth;
        option.position = QStyleOptionTab::Middle;
        option.text = QStringLiteral("M");
        option.rect = QRect(0, 0, m_tabPadding + fontMetrics().horizontalAdvance(option.text), m_rowHeight);
        auto render = [&](QStyle::State extra) {
            QImage image(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter p(&image);
            QStyleOptionTab o = option;
            o.state |= extra;
            style()->drawControl(QStyle::CE_TabBarTab, &o, &p, this);
            return image;
        };
        m_hoverProbe = render(QStyle::State_MouseOver) != render(QStyle::State_None) ? 1 : 0;
    }
    return m_hoverProbe == 1;
}

void TabStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int oldRows = m_rows;
    if (event->oldSize().width() != width()) {
        invalidateLayout();
        ensureLayout();
        makeCurrentVisible();
    }
    updateScrollButtons();
    refreshHover();
    // A layout already asked heightForWidth for this width; this covers a strip placed by hand.
    if (m_multiline && m_rows != oldRows)
        updateGeometry();
}

void TabStrip::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        invalidateMetrics();
        tabsChanged();
    }
}

void TabStrip::mousePressEvent(QMouseEvent *event)
{
    const int index = tabAt(event->position().toPoint());
    emit tabBarClicked(index, event->button());
    // A receiver of tabBarClicked may have removed tabs.
    if (event->button() == Qt::LeftButton && index >= 0 && index < count())
        setCurrentIndex(index, true);
    event->accept();
}

void TabStrip::mouseMoveEvent(QMouseEvent *event)
{
    m_pointer = event->position().toPoint();
    m_pointerInside = true;
    setHover(tabAt(m_pointer));
    QWidget::mouseMoveEvent(event);
}

void TabStrip::mouseReleaseEvent(QMouseEvent *event)
{
    emit released(event->button());
    event->accept();
}

void TabStrip::leaveEvent(QEvent *event)
{
    m_pointerInside = false;
    setHover(-1);
    QWidget::leaveEvent(event);
}

void TabStrip::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const int step = event->key() == Qt::Key_Left ? -1 : 1;
        const int target = m_current + step;
        if (target >= 0 && target < count())
            setCurrentIndex(target, true);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TabStrip::invalidateMetrics()
{
    m_metricsValid = false;
    for (Tab &tab : m_tabs)
        tab.width = -1;
    invalidateLayout();
}

void TabStrip::invalidateLayout()
{
    m_layoutValid = false;
    m_hfwWidth = -1;
}

void TabStrip::ensureMetrics() const
{
    if (!m_metricsValid) {
        const QFontMetrics fm = fontMetrics();
        QStyleOptionTab option;
        option.initFrom(this);
        option.shape = m_shape == Top ? QTabBar::RoundedNorth : QTabBar::RoundedSouth;
        option.text = QStringLiteral("M");
        const QStyle *st = style();
        const int hspace = st->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this);
        const int vspace = st->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this);
        // The padding a style adds around a label does not depend on the label's length, so one
        // sample gives it for every tab.
        const int sample = fm.horizontalAdvance(option.text);
        const QSize full = st->sizeFromContents(QStyle::CT_TabBarTab, &option,
                                                QSize(sample + hspace, fm.height() + vspace), this);
        m_tabPadding = std::max(0, full.width() - sample);
        m_rowHeight = std::max(1, full.height());
        m_minTabWidth = m_tabPadding + fm.horizontalAdvance(QString(QChar(0x2026)));
        m_hoverProbe = -1;
        m_metricsValid = true;
    }
    bool measured = false;
    QFontMetrics fm = fontMetrics();
    for (const Tab &tab : m_tabs) {
        if (tab.width < 0) {
            tab.width = m_tabPadding + fm.horizontalAdvance(tab.text);
            measured = true;
        }
    }
    if (measured)
        m_layoutValid = false;
}

QList<int> TabStrip::naturalWidths() const
{
    ensureMetrics();
    QList<int> widths;
    widths.reserve(m_tabs.size());
    for (const Tab &tab : m_tabs)
        widths.append(tab.width);
    return widths;
}

void TabStrip::ensureLayout() const
{
    ensureMetrics();
    // A hidden widget gets its resize event only when shown; the width check keeps tabRect()
    // right before that.
    if (m_layoutValid && m_layoutWidth == width())
        return;
    const QList<int> widths = naturalWidths();
    const int available = width();
    m_layoutWidth = available;
    m_overflow = false;
    if (m_multiline) {
        m_rects = layoutTabs(widths, m_rowHeight, available, true, m_current, m_shape);
    } else {
        int total = 0;
        for (int w : widths)
            total += w;
        m_overflow = available > 0 && total > available;
        const int viewport = m_overflow ? std::max(1, available - 2 * scrollButtonWidth()) : available;
        m_rects = layoutTabs(widths, m_rowHeight, viewport, false, m_current, m_shape);
    }
    int bottom = m_rowHeight;
    int right = 0;
    for (const QRect &r : std::as_const(m_rects)) {
        bottom = std::max(bottom, r.bottom() + 1);
        right = std::max(right, r.right() + 1);
    }
    m_rows = bottom / m_rowHeight;
    m_contentWidth = right;
    m_layoutValid = true;
}

int TabStrip::contentHeight(int rows) const
{
    return rows * m_rowHeight;
}

int TabStrip::scrollButtonWidth() const
{
    return std::max(12, style()->pixelMetric(QStyle::PM_TabBarScrollButtonWidth, nullptr, this));
}

QRect TabStrip::visibleTabArea() const
{
    ensureLayout();
    const int w = m_overflow ? std::max(0, width() - 2 * scrollButtonWidth()) : width();
    return QRect(0, 0, w, height());
}

QPoint TabStrip::contentOffset() const
{
    ensureLayout();
    // The rows hug the page: with spare height they sit at the page side, and when squeezed the
    // rows farthest from the page are the ones cut off.
    const int y = m_shape == Top ? height() - contentHeight(m_rows) : 0;
    return QPoint(m_multiline ? 0 : -m_scroll, y);
}

void TabStrip::initTabOption(QStyleOptionTab *option, int index) const
{
    option->initFrom(this);
    option->state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option->rect = tabRect(index);
    option->shape = m_shape == Top ? QTabBar::RoundedNorth : QTabBar::RoundedSouth;
    option->row = 0;
    option->documentMode = false;

    const int y = m_rects[index].y();
    const bool firstInRow = index == 0 || m_rects[index - 1].y() != y;
    const bool lastInRow = index == count() - 1 || m_rects[index + 1].y() != y;
    if (firstInRow && lastInRow)
        option->position = QStyleOptionTab::OnlyOneTab;
    else if (firstInRow)
        option->position = QStyleOptionTab::Beginning;
    else if (lastInRow)
        option->position = QStyleOptionTab::End;
    else
        option->position = QStyleOptionTab::Middle;
    if (m_current == index + 1 && !lastInRow)
        option->selectedPosition = QStyleOptionTab::NextIsSelected;
    else if (m_current == index - 1 && !firstInRow)
        option->selectedPosition = QStyleOptionTab::PreviousIsSelected;
    else
        option->selectedPosition = QStyleOptionTab::NotAdjacent;

    if (index == m_current) {
        option->state |= QStyle::State_Selected;
        if (hasFocus())
            option->state |= QStyle::State_HasFocus;
    }
    if (index == m_hover)
        option->state |= QStyle::State_MouseOver;

    const Tab &tab = m_tabs[index];
    option->text = literalLabel(tab.text);
    if (tab.width > option->rect.width()) {
        // Only a tab wider than the whole strip gets here: layoutTabs narrows nothing else.
        const QRect textRect = style()->subElementRect(QStyle::SE_TabBarTabText, option, this);
        option->text = literalLabel(fontMetrics().elidedText(tab.text, Qt::ElideRight, textRect.width()));
    }
}

void TabStrip::makeCurrentVisible()
{
    ensureLayout();
    if (!m_overflow || m_multiline) {
        m_scroll = 0;
        return;
    }
    if (m_current >= 0) {
        const QRect r = m_rects[m_current];
        const int viewport = visibleTabArea().width();
        if (r.left() < m_scroll)
            m_scroll = r.left();
        else if (r.right() + 1 > m_scroll + viewport)
            m_scroll = r.right() + 1 - viewport;
    }
    clampScroll();
}

void TabStrip::clampScroll()
{
    const int viewport = visibleTabArea().width();
    m_scroll = std::clamp(m_scroll, 0, std::max(0, m_contentWidth - viewport));
}

void TabStrip::scrollLeft()
{
    ensureLayout();
    // Bring the tab cut off at the left edge fully in.
    for (int i = count() - 1; i >= 0; --i) {
        if (m_rects[i].left() < m_scroll) {
            m_scroll = m_rects[i].left();
            break;
        }
    }
    clampScroll();
    updateScrollButtons();
    refreshHover();
    update();
}

void TabStrip::scrollRight()
{
    ensureLayout();
    const int viewport = visibleTabArea().width();
    for (int i = 0; i < count(); ++i) {
        if (m_rects[i].right() + 1 > m_scroll + viewport) {
            m_scroll = m_rects[i].right() + 1 - viewport;
            break;
        }
    }
    clampScroll();
    updateScrollButtons();
    refreshHover();
    update();
}

void TabStrip::updateScrollButtons()
{
    ensureLayout();
    const bool shown = m_overflow && !m_multiline;
    if (shown) {
        const int bw = scrollButtonWidth();
        const int y = contentOffset().y();
        m_leftButton->setGeometry(width() - 2 * bw, y, bw, m_rowHeight);
        m_rightButton->setGeometry(width() - bw, y, bw, m_rowHeight);
        m_leftButton->setEnabled(m_scroll > 0);
        m_rightButton->setEnabled(m_scroll < m_contentWidth - visibleTabArea().width());
    }
    m_leftButton->setVisible(shown);
    m_rightButton->setVisible(shown);
}

void TabStrip::setHover(int index)
{
    if (index == m_hover)
        return;
    const QRect old = tabRect(m_hover);
    m_hover = index;
    const QRect now = tabRect(m_hover);
    update(old.adjusted(-4, -4, 4, 4));
    update(now.adjusted(-4, -4, 4, 4));
}

void TabStrip::refreshHover()
{
    setHover(m_pointerInside ? tabAt(m_pointer) : -1);
}

void TabStrip::tabsChanged()
{
    invalidateLayout();
    ensureLayout();
    if (m_hover >= count())
        m_hover = -1;
    makeCurrentVisible();
    updateScrollButtons();
    refreshHover();
    updateGeometry();
    update();
}

} // namespace vl
