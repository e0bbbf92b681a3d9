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
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Only Enter alone types the character that starts a shortcut.
            if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
                return std::nullopt;
            return KeyCommand::Open;
        }
        if (key == Qt::Key_Escape)
            return KeyCommand::Cancel;
        // Shift+Tab arrives as Backtab, with or without Shift itself.
        if (key == Qt::Key_Backtab && (mods & ~Qt::ShiftModifier) == Qt::ControlModifier)
            return KeyCommand::PreviousDesktop;
        if (key == Qt::Key_Tab && mods == (Qt::ControlModifier | Qt::ShiftModifier))
            return KeyCommand::PreviousDesktop;
        if (mods != Qt::ControlModifier)
            return std::nullopt;
        switch (key) {
        case Qt::Key_R: return KeyCommand::Rename;
        case Qt::Key_C: return KeyCommand::Copy;
        case Qt::Key_X: return KeyCommand::Cut;
        case Qt::Key_Tab:
        case Qt::Key_PageDown: return KeyCommand::NextDesktop;
        case Qt::Key_PageUp: return KeyCommand::PreviousDesktop;
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

bool FormKeys::repeats(const QKeyEvent &press)
{
    const int key = press.key();
    bool &held = held_[key];
    const auto released = releasedAt_.find(key);
    const bool again = press.isAutoRepeat() || held
        || (released != releasedAt_.end() && press.timestamp() != 0 && released->second == press.timestamp());
    held = true;
    return again;
}

bool FormKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowDeactivate && watched == window_) {
        // Whatever is let go meanwhile is let go elsewhere.
        held_.clear();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    // Releases count wherever they go: a key pressed here may be let go
    // over a question this window opened.
    if (type == QEvent::KeyRelease && !key->isAutoRepeat()) {
        held_.erase(key->key());
        releasedAt_[key->key()] = key->timestamp();
    }
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != window_)
        return false;
    if (type == QEvent::KeyPress) {
        // A key nobody takes travels on from the focused widget to its
        // parents, and the filter sees every step: only the first is a
        // press of the key. (The next press may well come in an event at
        // the same address, to the same widget.)
        const bool onItsWay = event == lastPress_ && key->timestamp() == lastPressTime_ && lastPressTarget_
            && widget != lastPressTarget_ && widget->isAncestorOf(lastPressTarget_);
        if (!onItsWay) {
            lastPress_ = event;
            lastPressTime_ = key->timestamp();
            lastPressTarget_ = widget;
            lastPressRepeats_ = repeats(*key);
        }
        if (lastPressRepeats_)
            return false;
    }
    const std::optional<KeyCommand> command = keyCommandFor(*key);
    if (!command)
        return false;
    // Taken here, so that its way on through the parent widgets does not
    // bring it back.
    return run_(*command);
}

} // namespace vl
