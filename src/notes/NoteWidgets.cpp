#include "notes/NoteWidgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
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
    // The focus lets the keyboard's menu key reach the note.
    setFocusPolicy(Qt::ClickFocus);
    // A drop is refused here rather than passed on to the page below.
    setAcceptDrops(true);
    setVisible(false);
}

void TNoteView::setLines(const QStringList *lines)
{
    lines_ = lines;
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
        && (lines_ ? shotLines_.isSharedWith(*lines_) : shotLines_.isEmpty());
    if (!same) {
        shot_ = QPixmap(pixels);
        shot_.setDevicePixelRatio(ratio);
        QPainter p(&shot_);
        drawText(p);
        shotLines_ = lines_ ? *lines_ : QStringList();
        shotFirst_ = firstLine_;
        shotSub_ = firstSub_;
    }
    QPainter(this).drawPixmap(0, 0, shot_);
}

void TNoteView::drawText(QPainter &p) const
{
    p.fillRect(rect(), back_);
    if (!lines_)
        return;
    p.setPen(text_);
    const int count = int(lines_->size());
    qreal y = Margin;
    for (int li = firstLine_; li < count && y < height(); ++li) {
        const QTextLayout &layout = laidOut(li);
        // A narrower box since the last scroll may have fewer wrapped lines.
        for (int s = li == firstLine_ ? std::min(firstSub_, layout.lineCount() - 1) : 0;
             s < layout.lineCount() && y < height(); ++s) {
            const QTextLine line = layout.lineAt(s);
            line.draw(&p, QPointF(Margin, y - line.y()));
            y += line.height();
        }
    }
}

void TNoteView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (onPress)
        onPress(event->button(), globalOf(event));
}

// Moves and releases stay with the note: the page would take a right
// release for a click on the desktop and open its own menu.
void TNoteView::mouseMoveEvent(QMouseEvent *event) { event->accept(); }
void TNoteView::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }

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
