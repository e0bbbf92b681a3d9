#include "surface/FormKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace vl {

std::optional<KeyCommand> keyCommandFor(const QKeyEvent &event)
{
    if (event.isAutoRepeat())
        return std::nullopt;
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    if (event.type() == QEvent::KeyPress) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return KeyCommand::Open;
        if (key == Qt::Key_Escape)
            return KeyCommand::Cancel;
        if (mods != Qt::ControlModifier)
            return std::nullopt;
        switch (key) {
        case Qt::Key_R: return KeyCommand::Rename;
        case Qt::Key_C: return KeyCommand::Copy;
        case Qt::Key_X: return KeyCommand::Cut;
        default: return std::nullopt;
        }
    }
    if (event.type() == QEvent::KeyRelease) {
        switch (key) {
        case Qt::Key_F5: return KeyCommand::Repaint;
        case Qt::Key_F1: return KeyCommand::Help;
        case Qt::Key_Delete: return KeyCommand::Delete;
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

FormKeys::FormKeys(QWidget *window, std::function<bool(KeyCommand)> run)
    : QObject(window), window_(window), run_(std::move(run))
{
    // On the application: a key goes to the focused widget first, and the
    // window must see it before that widget does.
    qApp->installEventFilter(this);
}

FormKeys::~FormKeys() { qApp->removeEventFilter(this); }

bool FormKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != window_)
        return false;
    const std::optional<KeyCommand> command = keyCommandFor(*static_cast<QKeyEvent *>(event));
    if (!command)
        return false;
    // Taken here, so that its way on through the parent widgets does not
    // bring it back.
    return run_(*command);
}

} // namespace vl
