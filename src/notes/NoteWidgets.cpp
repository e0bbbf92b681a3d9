#include "notes/NoteWidgets.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTextBlock>
#include <QTextLayout>
#include <QWheelEvent>

#include <algorithm>

namespace vl {

namespace {

QPoint globalOf(const QMouseEvent *event) { return event->globalPosition().toPoint(); }

} // namespace

// --- TNoteView ---

TNoteView::TNoteView(QWidget *page) : QWidget(page)
{
    setObjectName(QStringLiteral("noteView"));
    // Every pixel is painted here; nothing under the note needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The focus lets the keyboard's menu key and the copy keys reach the note.
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::IBeamCursor);
    // A drop is refused here rather than passed on to the page below.
    setAcceptDrops(true);
    setVisible(false);
}

void TNoteView::setLines(const QStringList *lines)
{
    lines_ = lines;
    anchor_ = cursor_ = {};
    selecting_ = false;
    laid_.clear();
    shot_ = QPixmap();
    clampTop();
    update();
}

void TNoteView::setLook(const QFont &font, const QColor &text, const QColor &back)
{
    setFont(font);
    laid_.clear();
    shot_ = QPixmap();
    text_ = text;
    back_ = back;
    update();
}

void TNoteView::scrollToTop()
{
    firstLine_ = 0;
    firstSub_ = 0;
    wheelRest_ = 0;
    update();
}

const QTextLayout &TNoteView::laidOut(int line) const
{
    // Only a new width breaks the lines anew.
    if (width() != laidWidth_) {
        laid_.clear();
        laidWidth_ = width();
    }
    const QString &text = lines_->at(line);
    for (const Laid &l : laid_) {
        if (l.line == line && l.text == text)
            return *l.layout;
    }
    auto layout = std::make_unique<QTextLayout>(text, font(), const_cast<TNoteView *>(this));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const qreal width = std::max(1, this->width() - 2 * Margin);
    qreal y = 0;
    layout->beginLayout();
    // An empty text still gets its one (empty) line.
    for (QTextLine l = layout->createLine(); l.isValid(); l = layout->createLine()) {
        l.setLeadingIncluded(true);
        l.setLineWidth(width);
        l.setPosition(QPointF(0, y));
        y += l.height();
    }
    layout->endLayout();
    // Enough for every line a box can show; the oldest go first.
    if (laid_.size() >= LaidLimit)
        laid_.erase(laid_.begin(), laid_.begin() + LaidLimit / 4);
    laid_.push_back({line, text, std::move(layout)});
    return *laid_.back().layout;
}

int TNoteView::wrappedCount(int line) const { return std::max(1, laidOut(line).lineCount()); }

bool TNoteView::restFits() const
{
    if (!lines_)
        return true;
    qreal y = Margin;
    for (int li = firstLine_; li < lines_->size(); ++li) {
        const QTextLayout &layout = laidOut(li);
        for (int s = li == firstLine_ ? firstSub_ : 0; s < layout.lineCount(); ++s) {
            y += layout.lineAt(s).height();
            if (y > height())
                return false;
        }
    }
    return true;
}

void TNoteView::clampTop()
{
    const int count = lines_ ? int(lines_->size()) : 0;
    if (firstLine_ >= count) {
        firstLine_ = std::max(0, count - 1);
        firstSub_ = 0;
    }
}

int TNoteView::scrollBy(int lines)
{
    if (!lines_ || lines_->isEmpty())
        return 0;
    clampTop();
    firstSub_ = std::min(firstSub_, wrappedCount(firstLine_) - 1);
    int done = 0;
    for (; lines > 0; --lines, ++done) {
        if (restFits())
            break;
        if (firstSub_ + 1 < wrappedCount(firstLine_)) {
            ++firstSub_;
        } else if (firstLine_ + 1 < lines_->size()) {
            ++firstLine_;
            firstSub_ = 0;
        } else {
            break;
        }
    }
    for (; lines < 0; ++lines, ++done) {
        if (firstSub_ > 0) {
            --firstSub_;
        } else if (firstLine_ > 0) {
            --firstLine_;
            firstSub_ = wrappedCount(firstLine_) - 1;
        } else {
            break;
        }
    }
    if (done)
        update();
    return done;
}

void TNoteView::paintEvent(QPaintEvent *)
{
    // The same note is painted again and again (desktop switches, whatever
    // moves over it on the page); drawing its text is what costs, so the
    // last picture is kept for as long as nothing it shows has changed. A
    // record whose lines were replaced or edited no longer shares them with
    // the copy taken here.
    clampTop(); // the record may have lost lines since
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    const bool same = shot_.size() == pixels && shotFirst_ == firstLine_ && shotSub_ == firstSub_
        && (lines_ ? shotLines_.isSharedWith(*lines_) : shotLines_.isEmpty()) && shotAnchor_ == anchor_
        && shotCursor_ == cursor_ && shotFocus_ == hasFocus();
    if (!same) {
        shot_ = QPixmap(pixels);
        shot_.setDevicePixelRatio(ratio);
        QPainter p(&shot_);
        drawText(p);
        shotLines_ = lines_ ? *lines_ : QStringList();
        shotFirst_ = firstLine_;
        shotSub_ = firstSub_;
        shotAnchor_ = anchor_;
        shotCursor_ = cursor_;
        shotFocus_ = hasFocus();
    }
    QPainter(this).drawPixmap(0, 0, shot_);
}

void TNoteView::drawText(QPainter &p) const
{
    p.fillRect(rect(), back_);
    if (!lines_)
        return;
    const auto [from, to] = ordered();
    const bool selection = from != to;
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QColor highlight = palette().color(group, QPalette::Highlight);
    const QColor highlighted = palette().color(group, QPalette::HighlightedText);
    const int count = int(lines_->size());
    qreal y = Margin;
    for (int li = firstLine_; li < count && y < height(); ++li) {
        const QTextLayout &layout = laidOut(li);
        // The part of this line's text that is selected; past its end when
        // the line break is selected too.
        int selStart = -1, selEnd = -1;
        if (selection && li >= from.line && li <= to.line) {
            selStart = li == from.line ? from.pos : 0;
            selEnd = li == to.line ? to.pos : int(lines_->at(li).size()) + 1;
        }
        // A narrower box since the last scroll may have fewer wrapped lines.
        for (int s = li == firstLine_ ? std::min(firstSub_, layout.lineCount() - 1) : 0;
             s < layout.lineCount() && y < height(); ++s) {
            const QTextLine line = layout.lineAt(s);
            const QPointF at(Margin, y - line.y());
            const int start = line.textStart();
            const int end = start + line.textLength();
            const bool last = s == layout.lineCount() - 1;
            const int a = std::max(selStart, start);
            const int b = std::min(selEnd, last ? end + 1 : end);
            if (selStart < 0 || a >= b) {
                p.setPen(text_);
                line.draw(&p, at);
            } else {
                // The selected stretch in the highlight's colours, the rest
                // as usual; a selected line break shows as a little more.
                const qreal x1 = line.cursorToX(a);
                const qreal x2 = b > end ? line.cursorToX(end) + fontMetrics().averageCharWidth() : line.cursorToX(b);
                const QRectF band(Margin + x1, y, x2 - x1, line.height());
                p.fillRect(band, highlight);
                p.save();
                p.setClipRegion(QRegion(rect()) - QRegion(band.toAlignedRect()));
                p.setPen(text_);
                line.draw(&p, at);
                p.setClipRect(band);
                p.setPen(highlighted);
                line.draw(&p, at);
                p.restore();
            }
            y += line.height();
        }
    }
}

TNoteView::Spot TNoteView::clamped(Spot s) const
{
    const int count = lines_ ? int(lines_->size()) : 0;
    if (count == 0)
        return {};
    s.line = std::clamp(s.line, 0, count - 1);
    s.pos = std::clamp(s.pos, 0, int(lines_->at(s.line).size()));
    return s;
}

std::pair<TNoteView::Spot, TNoteView::Spot> TNoteView::ordered() const
{
    const Spot a = clamped(anchor_);
    const Spot b = clamped(cursor_);
    return a < b ? std::pair{a, b} : std::pair{b, a};
}

bool TNoteView::hasSelection() const
{
    const auto [from, to] = ordered();
    return from != to;
}

QString TNoteView::selectedText() const
{
    const auto [from, to] = ordered();
    if (from == to)
        return {};
    if (from.line == to.line)
        return lines_->at(from.line).mid(from.pos, to.pos - from.pos);
    QString out = lines_->at(from.line).mid(from.pos);
    for (int li = from.line + 1; li < to.line; ++li)
        out += QLatin1Char('\n') + lines_->at(li);
    out += QLatin1Char('\n') + lines_->at(to.line).left(to.pos);
    return out;
}

void TNoteView::selectAll()
{
    if (!lines_ || lines_->isEmpty())
        return;
    anchor_ = {0, 0};
    cursor_ = {int(lines_->size()) - 1, int(lines_->last().size())};
    offerSelection();
    update();
}

void TNoteView::clearSelection()
{
    selecting_ = false;
    if (anchor_ == cursor_)
        return;
    anchor_ = cursor_ = {};
    update();
}

void TNoteView::offerSelection() const
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && hasSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

TNoteView::Spot TNoteView::spotAt(QPoint point) const
{
    if (!lines_ || lines_->isEmpty())
        return {};
    const int count = int(lines_->size());
    const int top = std::min(firstLine_, count - 1);
    qreal y = Margin;
    Spot last{top, 0};
    for (int li = top; li < count; ++li) {
        const QTextLayout &layout = laidOut(li);
        for (int s = li == top ? std::min(firstSub_, layout.lineCount() - 1) : 0; s < layout.lineCount(); ++s) {
            const QTextLine line = layout.lineAt(s);
            // Above the first line counts as on it, below the last shown as
            // on that one, as in any text box.
            if (point.y() < y + line.height())
                return {li, line.xToCursor(point.x() - Margin)};
            y += line.height();
            last = {li, line.xToCursor(point.x() - Margin)};
            if (y >= height())
                return last;
        }
    }
    return last;
}

bool TNoteView::event(QEvent *event)
{
    // Copying and selecting all are the text's while it has the focus, even
    // if a window's shortcut had the same keys.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->matches(QKeySequence::Copy) && hasSelection()) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void TNoteView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const QPointer<TNoteView> alive(this);
    // The window's part first: it may ask a question, and the note may be
    // gone once it has been answered.
    if (onPress)
        onPress(event->button(), globalOf(event));
    if (!alive || event->button() != Qt::LeftButton)
        return;
    const Spot at = spotAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        anchor_ = at;
    cursor_ = at;
    selecting_ = true;
    update();
}

void TNoteView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    const QPointer<TNoteView> alive(this);
    if (onPress)
        onPress(event->button(), globalOf(event));
    if (!alive || event->button() != Qt::LeftButton || !lines_ || lines_->isEmpty())
        return;
    // The word under the pointer: letters, digits and joiners.
    const Spot at = clamped(spotAt(event->position().toPoint()));
    const QString &text = lines_->at(at.line);
    const auto inWord = [&text](int i) {
        const QChar c = text.at(i);
        return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_');
    };
    int start = at.pos, end = at.pos;
    while (start > 0 && inWord(start - 1))
        --start;
    while (end < text.size() && inWord(end))
        ++end;
    if (start == end && end < text.size())
        ++end; // a blank or a sign on its own
    anchor_ = {at.line, start};
    cursor_ = {at.line, end};
    selecting_ = false;
    offerSelection();
    update();
}

// Moves and releases stay with the note: the page would take a right
// release for a click on the desktop and open its own menu.
void TNoteView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (!selecting_ || !(event->buttons() & Qt::LeftButton))
        return;
    // Past the top or the bottom the text scrolls along, a line a move.
    const QPoint at = event->position().toPoint();
    if (at.y() >= height())
        scrollBy(1);
    else if (at.y() < 0)
        scrollBy(-1);
    const Spot spot = spotAt(at);
    if (spot != cursor_) {
        cursor_ = spot;
        update();
    }
}

void TNoteView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        offerSelection();
    }
}

void TNoteView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy) && hasSelection()) {
        QGuiApplication::clipboard()->setText(selectedText());
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// The selection keeps its place without the focus, drawn in the quieter
// colours of an inactive selection.
void TNoteView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void TNoteView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    selecting_ = false;
    update();
}

void TNoteView::wheelEvent(QWheelEvent *event)
{
    event->accept();
    // A wheel turns in notches of 120; touch pads send parts of one.
    wheelRest_ += event->angleDelta().y();
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    if (notches)
        scrollBy(-notches * QApplication::wheelScrollLines());
}

void TNoteView::contextMenuEvent(QContextMenuEvent *event)
{
    // The pointer's menu came with the press already.
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard && onMenuKey)
        onMenuKey(event->globalPos());
}

void TNoteView::dragEnterEvent(QDragEnterEvent *event) { event->ignore(); }
void TNoteView::dragMoveEvent(QDragMoveEvent *event) { event->ignore(); }
void TNoteView::dropEvent(QDropEvent *event) { event->ignore(); }

// --- TNoteEdit ---

TNoteEdit::TNoteEdit(QWidget *page) : QPlainTextEdit(page)
{
    setObjectName(QStringLiteral("noteEdit"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(TNoteView::Margin);
    setAcceptDrops(true);
    setVisible(false);
}

void TNoteEdit::setLook(const QFont &font, const QColor &text, const QColor &back)
{
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, back);
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::Text, text);
    setPalette(pal);
}

QStringList TNoteEdit::lines() const
{
    QStringList out;
    const QTextDocument *doc = document();
    if (doc->isEmpty())
        return out;
    out.reserve(doc->blockCount());
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        // Shift+Enter breaks a line inside a block.
        const QString text = b.text();
        if (text.contains(QChar::LineSeparator))
            out += text.split(QChar::LineSeparator);
        else
            out += text;
    }
    return out;
}

void TNoteEdit::mousePressEvent(QMouseEvent *event)
{
    if (onPress)
        onPress(event->button(), globalOf(event));
    // The right button opens the note's menu (above), not the editor's, and
    // leaves the caret where it was.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QPlainTextEdit::mousePressEvent(event);
}

void TNoteEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (onPress)
        onPress(event->button(), globalOf(event));
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

void TNoteEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QPlainTextEdit::mouseReleaseEvent(event);
}

void TNoteEdit::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard && onMenuKey)
        onMenuKey(event->globalPos());
}

void TNoteEdit::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (onFocusLost)
        onFocusLost();
}

void TNoteEdit::dragEnterEvent(QDragEnterEvent *event) { event->ignore(); }
void TNoteEdit::dragMoveEvent(QDragMoveEvent *event) { event->ignore(); }
void TNoteEdit::dropEvent(QDropEvent *event) { event->ignore(); }

// --- TMover ---

TMover::TMover(QWidget *page) : QWidget(page)
{
    setObjectName(QStringLiteral("noteMover"));
    setFocusPolicy(Qt::TabFocus);
    setAcceptDrops(true);
    setVisible(false);
}

void TMover::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (hooks.press)
        hooks.press(globalOf(event));
}

void TMover::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (hooks.move)
        hooks.move(globalOf(event));
}

void TMover::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (hooks.release)
        hooks.release(globalOf(event));
}

void TMover::keyPressEvent(QKeyEvent *event)
{
    if (onKey && onKey(event->key(), event->modifiers()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TMover::dragEnterEvent(QDragEnterEvent *event) { event->ignore(); }
void TMover::dragMoveEvent(QDragMoveEvent *event) { event->ignore(); }
void TMover::dropEvent(QDropEvent *event) { event->ignore(); }

// --- TSizer ---

TSizer::TSizer(QWidget *page, int index) : QWidget(page), index_(index)
{
    setObjectName(QStringLiteral("noteSizer%1").arg(index));
    resize(Side, Side);
    static constexpr Qt::CursorShape cursors[8] = {
        Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor, Qt::SizeHorCursor,
        Qt::SizeHorCursor,   Qt::SizeBDiagCursor, Qt::SizeVerCursor, Qt::SizeFDiagCursor,
    };
    setCursor(cursors[std::clamp(index, 0, 7)]);
    setVisible(false);
}

void TSizer::setGhost(bool ghost)
{
    ghost_ = ghost;
    update();
}

void TSizer::paintEvent(QPaintEvent *)
{
    if (ghost_)
        return;
    // Black in the middle, framed in white: whatever the colour of the page
    // or the note under it, one of the two stands out.
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.fillRect(rect().adjusted(1, 1, -1, -1), Qt::black);
}

void TSizer::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (hooks.press)
        hooks.press(globalOf(event));
}

void TSizer::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (hooks.move)
        hooks.move(globalOf(event));
}

void TSizer::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (hooks.release)
        hooks.release(globalOf(event));
}

// --- TNoteOutline ---

TNoteOutline::TNoteOutline(QWidget *page) : QWidget(page)
{
    setObjectName(QStringLiteral("noteOutline"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setVisible(false);
}

QRegion TNoteOutline::ring(const QRect &r)
{
    if (r.isNull())
        return {};
    return QRegion(r) - QRegion(r.adjusted(Pen, Pen, -Pen, -Pen));
}

void TNoteOutline::setRect(const QRect &rect)
{
    const QRegion dirty = ring(rect_) + ring(rect);
    rect_ = rect;
    if (rect.isNull()) {
        hide();
        return;
    }
    if (parentWidget() && geometry() != parentWidget()->rect())
        setGeometry(parentWidget()->rect());
    if (isHidden()) {
        show();
        raise();
        update();
    } else {
        // Only the two rings: the page under a full repaint may be costly.
        update(dirty);
    }
}

void TNoteOutline::paintEvent(QPaintEvent *)
{
    if (rect_.isNull())
        return;
    // A black line outside a white one: an inverted line vanishes on a middle
    // grey (it turns #808080 into #7F7F7F), these two never both do.
    QPainter p(this);
    p.setClipRegion(ring(rect_));
    p.fillRect(rect_, Qt::black);
    p.fillRect(rect_.adjusted(1, 1, -1, -1), Qt::white);
}

} // namespace vl
