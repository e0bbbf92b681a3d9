#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

namespace vl {

// The button that rolls the main window up into the compact strip and back.
// The window manager owns the title bar here, so the button sits at the end
// of the desktop tabs instead. Its face tells the toggle state, never a
// press: up in the normal form, down while rolled up.
class TTitlebutn : public QWidget {
    Q_OBJECT
public:
    enum TState { stUp, stDown };

    // The form is the window the button belongs to; the button itself may
    // sit anywhere inside it.
    explicit TTitlebutn(QWidget *form, QWidget *parent = nullptr);
    ~TTitlebutn() override;

    // Runs on every acted-upon click, before the state flips.
    std::function<void()> Action;

    bool Enabled() const { return enabled_; }
    // A disabled button still takes its clicks; it only does nothing with them.
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    // Installs or removes the button. A form holds one at most: with two,
    // neither changes; a form without a frame, or a tool window, never gets
    // one.
    void SetVisible(bool visible);
    TState State() const { return state_; }

    // Pictures stretched over the whole face; the symbol is laid over them.
    void setGlyphUp(const QImage &glyph) { glyphUp_ = glyph; }
    void setGlyphDown(const QImage &glyph) { glyphDown_ = glyph; }
    // Builds both faces from the palette and the glyphs; run it after the
    // glyphs are set and when the palette changes. At a fractional device
    // pixel ratio they are built in device pixels.
    void BuildFaces();
    // A face of the given size: the bevel of the state, a small square
    // symbol near the bottom centre, which sits one pixel lower and further
    // right when down.
    static QImage buildFace(TState state, QSize size, const QPalette &palette, const QImage &glyph = {});

    // Action, then Toggle.
    void ButtonClick();
    void Toggle();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showForm();
    bool installable() const;

    QWidget *form_;
    QImage glyphUp_, glyphDown_;
    QImage faceUp_, faceDown_;
    // What the faces were built for: they are built again when either changes.
    QSize facesSize_;
    qreal facesRatio_ = 0;
    TState state_ = stUp;
    bool enabled_ = true;
    bool visible_ = false;
    bool pressed_ = false;
};

} // namespace vl
