#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QPainter;
class QStyleOptionTab;
class QToolButton;

namespace vl {

// The row of desktop tabs above (or below) the desktop pages. Unlike QTabBar it can wrap its
// tabs onto several rows. It only shows captions and reports clicks; the window owns the pages.
//
// Index rules: currentChanged fires only when a different tab becomes current (or the strip
// becomes empty, with -1). Inserting or removing a tab before the current one shifts the current
// index silently, because the same tab stays current.
class TabStrip : public QWidget
{
    Q_OBJECT

public:
    // Top: tabs above the page, joined at their bottom edge. Bottom: below it, joined at the top.
    enum Shape { Top, Bottom };
    Q_ENUM(Shape)

    explicit TabStrip(QWidget *parent = nullptr);
    ~TabStrip() override;

    int count() const { return int(m_tabs.size()); }
    // The first tab added to an empty strip becomes current (and currentChanged fires).
    int addTab(const QString &text);
    int insertTab(int index, const QString &text);
    // Removing the current tab makes its successor current, or its predecessor when it was the
    // last; notify = false does so without currentChanged.
    void removeTab(int index, bool notify = true);
    void setTabText(int index, const QString &text);
    QString tabText(int index) const;

    int currentIndex() const { return m_current; }

    Shape shape() const { return m_shape; }
    void setShape(Shape shape);
    bool isMultiline() const { return m_multiline; }
    void setMultiline(bool multiline);

    // Both in widget coordinates. tabRect() of a tab scrolled out of view lies outside the visible
    // tab area; tabAt() answers -1 there and over the scroll buttons.
    int tabAt(const QPoint &pos) const;
    QRect tabRect(int index) const;
    // The tab under the pointer, -1 when none.
    int hoverIndex() const { return m_hover; }
    int rowCount() const;

    // Rectangles of tabs of the given widths, in tab order, with the first row at y = 0 and rows
    // rowHeight apart. Single row: tabs side by side from x = 0, running past availableWidth when
    // they do not fit (the caller scrolls). Multiline: tabs flow onto rows left to right; when
    // there are several rows each row is stretched to the full width, and the rows are rotated so
    // that the row holding currentIndex lies next to the page (last row for Top, first for
    // Bottom). A tab is never wider than availableWidth. availableWidth <= 0 means "no width
    // known yet": one unbounded row.
    static QList<QRect> layoutTabs(const QList<int> &tabWidths, int rowHeight, int availableWidth,
                                   bool multiline, int currentIndex, Shape shape);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

    // A tab pressed by assistive technology. Such a request arrives over the bus at any moment,
    // a modal question included, so the owner decides when it runs; unset, the tab becomes
    // current on a later turn of the event loop, as a click would make it.
    std::function<void(int index)> onAccessiblePress;
    void accessiblePress(int index);

public slots:
    void setCurrentIndex(int index);

public:
    void setCurrentIndex(int index, bool notify);

signals:
    void currentChanged(int index);
    // On every press over the tab area; index is -1 when the press missed all tabs.
    void tabBarClicked(int index, Qt::MouseButton button);
    // On every release over the strip, scroll buttons included.
    void released(Qt::MouseButton button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Tab
    {
        QString text;
        mutable int width = -1; // natural width of the whole tab; -1 until measured with the current font
    };

    void invalidateMetrics();
    void invalidateLayout();
    void ensureMetrics() const;
    void ensureLayout() const;
    QList<int> naturalWidths() const;
    int contentHeight(int rows) const;
    int scrollButtonWidth() const;
    QRect visibleTabArea() const;
    QPoint contentOffset() const;
    void initTabOption(QStyleOptionTab *option, int index) const;
    void paintTab(QPainter *painter, int index) const;
    bool styleShowsHover() const;
    void makeCurrentVisible();
    void clampScroll();
    void scrollLeft();
    void scrollRight();
    void updateScrollButtons();
    void setHover(int index);
    void refreshHover();
    void tabsChanged();

    QList<Tab> m_tabs;
    int m_current = -1;
    int m_hover = -1;
    // Last pointer position over the strip; hover is recomputed from it when tabs move under a
    // resting pointer (scrolling, row rotation).
    QPoint m_pointer;
    bool m_pointerInside = false;
    Shape m_shape = Top;
    bool m_multiline = false;
    QToolButton *m_leftButton = nullptr;
    QToolButton *m_rightButton = nullptr;
    int m_scroll = 0; // single-row mode: pixels scrolled past the left end

    // Derived from font and style; reset by invalidateMetrics().
    mutable bool m_metricsValid = false;
    mutable int m_rowHeight = 0;
    mutable int m_tabPadding = 0; // tab width minus text width
    mutable int m_minTabWidth = 0;
    mutable int m_hoverProbe = -1; // whether the style draws hover on tabs: -1 unknown, 0, 1

    // Derived from metrics, texts, width and (when multiline) the current index.
    mutable bool m_layoutValid = false;
    mutable QList<QRect> m_rects;
    mutable int m_rows = 1;
    mutable bool m_overflow = false; // single row wider than the widget: scroll buttons shown
    mutable int m_contentWidth = 0;
    mutable int m_layoutWidth = -1;

    mutable int m_hfwWidth = -1; // heightForWidth() cache
    mutable int m_hfwHeight = 0;
};

} // namespace vl
