#include "shell/Titlebutn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace vl {

namespace {

// The symbol is drawn on a large template and stretched to the face, so it
// keeps its proportions at every button size.
constexpr int TemplateW = 120;
constexpr int TemplateH = 100;
const QRect SymbolSquare(50, 70, 20, 20);

QImage symbolTemplate()
{
    QImage t(TemplateW, TemplateH, QImage::Format_RGB32);
    t.fill(Qt::white);
    QPainter(&t).fillRect(SymbolSquare, Qt::black);
    return t;
}

QImage symbolImage(const QColor &text)
{
    QImage t(TemplateW, TemplateH, QImage::Format_RGB32);
    t.fill(Qt::black);
    QPainter(&t).fillRect(SymbolSquare, text);
    return t;
}

// (left, top, right, bottom) with right and bottom excluded.
QRect ltrb(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

void hline(QPainter &p, const QColor &c, int x0, int x1, int y)
{
    p.setPen(c);
    p.drawLine(x0, y, x1, y);
}

void vline(QPainter &p, const QColor &c, int x, int y0, int y1)
{
    p.setPen(c);
    p.drawLine(x, y0, x, y1);
}

} // namespace

TTitlebutn::TTitlebutn(QWidget *form, QWidget *parent) : QWidget(parent), form_(form)
{
    setObjectName(QStringLiteral("Titlebutn"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    hide();
}

TTitlebutn::~TTitlebutn() = default;

QSize TTitlebutn::sizeHint() const
{
    // The size of a title-bar button of the style, less its frame.
    const int side = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    return {std::max(12, side - 2), std::max(10, side - 4)};
}

bool TTitlebutn::installable() const
{
    if (!form_)
        return false;
    const Qt::WindowFlags flags = form_->windowFlags();
    if (flags.testFlag(Qt::FramelessWindowHint))
        return false;
    if ((flags & Qt::WindowType_Mask) == Qt::Tool)
        return false;
    return form_->findChildren<TTitlebutn *>().size() < 2;
}

void TTitlebutn::SetVisible(bool visible)
{
    if (!installable() || visible == visible_)
        return;
    visible_ = visible;
    pressed_ = false;
    if (visible_ && faceUp_.isNull())
        BuildFaces();
    setVisible(visible_);
}

void TTitlebutn::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    pressed_ = false;
    update();
}

void TTitlebutn::BuildFaces()
{
    const QSize s = size().isEmpty() ? sizeHint() : size();
    // A face built in logical pixels is stretched by the device pixel ratio
    // without smoothing. At a whole ratio every pixel repeats evenly; at 1.5
    // some bevel lines would come out one device pixel wide and others two,
    // so there the face is built in device pixels.
    const qreal ratio = devicePixelRatioF();
    const qreal faceRatio = std::abs(ratio - std::round(ratio)) > 0.01 ? ratio : 1.0;
    const QSize pixels = (QSizeF(s) * faceRatio).toSize();
    faceUp_ = buildFace(stUp, pixels, palette(), glyphUp_);
    faceDown_ = buildFace(stDown, pixels, palette(), glyphDown_);
    faceUp_.setDevicePixelRatio(faceRatio);
    faceDown_.setDevicePixelRatio(faceRatio);
    facesSize_ = size();
    facesRatio_ = ratio;
    update();
}

QImage TTitlebutn::buildFace(TState state, QSize size, const QPalette &pal, const QImage &glyph)
{
    const int w = size.width();
    const int h = size.height();
    QImage face(size, QImage::Format_RGB32);
    const QColor faceColour = pal.color(QPalette::Button);
    const QColor darkShadow = pal.color(QPalette::Shadow);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor highlight = pal.color(QPalette::Light);
    const QColor light = pal.color(QPalette::Midlight);
    face.fill(faceColour);
    QPainter p(&face);
    QRect symbol;
    if (state == stUp) {
        vline(p, darkShadow, w - 1, 0, h - 1);
        hline(p, darkShadow, 0, w - 1, h - 1);
        vline(p, shadow, w - 2, 1, h - 2);
        hline(p, shadow, 1, w - 2, h - 2);
        hline(p, highlight, 0, w - 2, 0);
        vline(p, highlight, 0, 0, h - 2);
        hline(p, light, 1, w - 3, 1);
        vline(p, light, 1, 1, h - 3);
        symbol = ltrb(2, 2, w - 2, h - 2);
    } else {
        hline(p, darkShadow, 0, w - 1, 0);
        vline(p, darkShadow, 0, 0, h - 1);
        hline(p, shadow, 1, w - 2, 1);
        vline(p, shadow, 1, 1, h - 2);
        vline(p, light, w - 2, 1, h - 2);
        hline(p, light, 1, w - 2, h - 2);
        vline(p, highlight, w - 1, 0, h - 1);
        hline(p, highlight, 0, w - 1, h - 1);
        symbol = ltrb(3, 3, w - 1, h - 1);
    }
    if (symbol.isEmpty())
        return face;
    // Template and symbol are stretched pixel for pixel, never smoothed:
    // a blended edge would tint the bevel under the AND and OR.
    p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    p.drawImage(symbol, symbolTemplate());
    if (!glyph.isNull()) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QRect(0, 0, w, h), glyph);
    }
    p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    p.drawImage(symbol, symbolImage(pal.color(QPalette::ButtonText)));
    return face;
}

void TTitlebutn::ButtonClick()
{
    if (Action)
        Action();
    Toggle();
}

void TTitlebutn::Toggle()
{
    state_ = state_ == stUp ? stDown : stUp;
    update();
}

void TTitlebutn::showForm()
{
    if (!form_)
        return;
    if (form_->isMinimized())
        form_->showNormal();
    form_->raise();
    form_->activateWindow();
}

void TTitlebutn::paintEvent(QPaintEvent *)
{
    if (facesSize_ != size() || facesRatio_ != devicePixelRatioF())
        BuildFaces();
    QPainter(this).drawImage(0, 0, state_ == stUp ? faceUp_ : faceDown_);
}

void TTitlebutn::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton) {
        showForm();
        if (enabled_)
            pressed_ = true;
    } else if (event->button() == Qt::RightButton) {
        showForm();
    }
}

void TTitlebutn::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasPressed = pressed_;
    pressed_ = false;
    // A release that did not start on the button (the one after a double
    // click) is no click.
    if (wasPressed && rect().contains(event->position().toPoint()) && enabled_)
        ButtonClick();
}

void TTitlebutn::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    pressed_ = false;
    showForm();
}

void TTitlebutn::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        BuildFaces();
}

} // namespace vl
