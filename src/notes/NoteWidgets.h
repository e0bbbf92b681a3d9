#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRect>
#include <QStringList>
#include <QTextLayout>
#include <QWidget>

#include <functional>
#include <compare>
#include <memory>
#include <utility>
#include <vector>

namespace vl {

// The widgets a note is made of. They know nothing of notes: each reports
// what the pointer and the keys do through its hooks, and the controller
// (TResizer) decides. Every one of them is a child of the desktop page.

// The memo while reading. A note may hold many thousands of lines and a
// desktop many notes, so this lays out and paints only the lines that fit
// its box, starting at the first visible one; it never builds a document.
// The lines belong to the note's record and are read where they lie.
//
// Its text can be selected as in any read-only text: dragging, Shift+click,
// a double click for a word, Ctrl+A; Ctrl+C copies the selection (and on X11
// a selection is also offered to a middle click elsewhere). A selection is
// two places in the lines, so selecting all of a huge note costs nothing
// until it is copied.
class TNoteView : public QWidget {
public:
    explicit TNoteView(QWidget *page);

    // The lines to show; must outlive the view or be replaced first.
    void setLines(const QStringList *lines);
    const QStringList *lines() const { return lines_; }
    void setLook(const QFont &font, const QColor &text, const QColor &back);
    void scrollToTop();
    // Scrolls by visual (wrapped) lines, down for positive counts; stops at
    // the top and once the rest of the text fits the box. Returns the
    // number of lines actually scrolled.
    int scrollBy(int lines);
    // The first visible line: the line of the text and the wrapped line
    // within it.
    int firstLine() const { return firstLine_; }
    int firstSubLine() const { return firstSub_; }

    // A place in the text: a line and a character within it.
    struct Spot {
        int line = 0;
        int pos = 0;
        auto operator<=>(const Spot &) const = default;
    };
    bool hasSelection() const;
    // The selected text, lines joined by '\n'.
    QString selectedText() const;
    void selectAll();
    void clearSelection();
    // The place under a point of the view, as a press there would take it.
    Spot spotAt(QPoint point) const;

    // Shared with the editor so that both break lines alike.
    static constexpr int Margin = 2;

    std::function<void(Qt::MouseButton button, QPoint globalPos)> onPress;
    std::function<void(QPoint globalPos)> onMenuKey;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The selection in text order, each end inside the lines as they are
    // now (the record may have lost lines or characters since).
    Spot clamped(Spot s) const;
    std::pair<Spot, Spot> ordered() const;
    // Offers the selection to a middle click in other programs (X11).
    void offerSelection() const;
    // One line of the text laid out at the view's width, kept while it shows
    // (shaping text is most of a paint). Valid until the next call.
    const QTextLayout &laidOut(int line) const;
    // Its number of wrapped lines (at least one, an empty line too).
    int wrappedCount(int line) const;
    // Whether everything from the first visible line on fits the box.
    bool restFits() const;
    // Keeps the first visible line inside the text after the text or the
    // width changed.
    void clampTop();

    struct Laid {
        int line;
        QString text; // as laid out: a changed line is laid out again
        std::unique_ptr<QTextLayout> layout;
    };
    static constexpr std::size_t LaidLimit = 512;
    mutable std::vector<Laid> laid_;
    mutable int laidWidth_ = -1;

    // The note as last painted, with what it showed.
    void drawText(QPainter &p) const;
    QPixmap shot_;
    QStringList shotLines_;
    int shotFirst_ = 0;
    int shotSub_ = 0;
    Spot shotAnchor_;
    Spot shotCursor_;
    bool shotFocus_ = false;

    Spot anchor_; // the selection runs from anchor_ to cursor_
    Spot cursor_;
    bool selecting_ = false; // the left button is held since a press here

    const QStringList *lines_ = nullptr;
    QColor text_;
    QColor back_;
    int firstLine_ = 0;
    int firstSub_ = 0;
    int wheelRest_ = 0; // eighths of a degree not yet turned into lines
};

// The memo while editing: a plain text editor without frame and scroll
// bars whose own context menu stays shut; the note's menu is opened by the
// controller instead.
class TNoteEdit : public QPlainTextEdit {
public:
    explicit TNoteEdit(QWidget *page);
    void setLook(const QFont &font, const QColor &text, const QColor &back);
    // The text split at every line break; an empty text has no lines.
    QStringList lines() const;

    std::function<void(Qt::MouseButton button, QPoint globalPos)> onPress;
    std::function<void(QPoint globalPos)> onMenuKey;
    std::function<void()> onFocusLost;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

// Pointer hooks of a handle, in global coordinates: a handle may not move
// under the pointer, but its owner may move it.
struct HandleHooks {
    std::function<void(QPoint globalPos)> press;
    std::function<void(QPoint globalPos)> move;
    std::function<void(QPoint globalPos)> release;
};

// The move handle: there but not seen. It lies over the memo while the
// handles show, so the pointer there moves the note instead of reaching
// the text, and it takes the arrow keys while it has the focus.
class TMover : public QWidget {
public:
    explicit TMover(QWidget *page);
    HandleHooks hooks;
    // Returns whether the key was used.
    std::function<bool(int key, Qt::KeyboardModifiers modifiers)> onKey;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

// One of the eight size handles: a small black square framed in white.
// While its own drag runs it is "ghosted" instead of hidden: it stays the
// widget the pointer was pressed on, without relying on a hidden widget
// keeping the pointer on every platform, but paints nothing.
class TSizer : public QWidget {
public:
    static constexpr int Side = 6;
    TSizer(QWidget *page, int index);
    int index() const { return index_; }
    void setGhost(bool ghost);
    bool ghost() const { return ghost_; }
    HandleHooks hooks;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int index_;
    bool ghost_ = false;
};

// The outline of a note being dragged, drawn over everything on the page
// (the notes included) in black and white, so that it shows on any
// background. It takes no input.
class TNoteOutline : public QWidget {
public:
    static constexpr int Pen = 2;
    explicit TNoteOutline(QWidget *page);
    // The rectangle in page coordinates; a null one draws nothing.
    void setRect(const QRect &rect);
    QRect outlineRect() const { return rect_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static QRegion ring(const QRect &r);
    QRect rect_;
};

} // namespace vl
