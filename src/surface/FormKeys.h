#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <unordered_map>

class QKeyEvent;

namespace vl {

// The keys of the main window that act on the current shortcut or the page.
enum class KeyCommand { Rename, Copy, Cut, Delete, Repaint, Help, Open, Cancel, NextDesktop, PreviousDesktop };

// The command a key event of the main window stands for. Letters want their
// modifier alone (Ctrl+Shift+C is no copy); F5, F1 and Del act when the key
// is let go, whatever the modifiers; Enter, of either keyboard, acts as the
// character it types, so with Shift too but never with Ctrl, Alt or the
// logo key. Escape gives up a drag or a rubber band under way.
// Ctrl+Tab and Ctrl+Page Down go to the next desktop, Ctrl+Shift+Tab and
// Ctrl+Page Up to the previous one.
std::optional<KeyCommand> keyCommandFor(const QKeyEvent &event);

// Sees the keys of one window before whichever of its widgets has the focus
// and hands the ones that are commands on. Other windows (menus, dialogs)
// keep their keys.
//
// A command runs once per press of its key: a key held down repeats its
// press, and the repeats are the focused widget's (a note being edited
// wants its many new lines), never commands again. The toolkit marks most
// repeats, but not all of them (a display server that repeats a key
// without letting it go between), so the keys held down are tracked here.
class FormKeys : public QObject {
public:
    // run answers whether it took the command; a key not taken goes on to
    // the focused widget as usual.
    FormKeys(QWidget *window, std::function<bool(KeyCommand)> run);
    ~FormKeys() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Whether a press of the key repeats one whose release has not come.
    bool repeats(const QKeyEvent &press);

    QWidget *window_;
    std::function<bool(KeyCommand)> run_;
    // Keys pressed and not yet let go, and when each was last let go: a
    // press stamped with the time of the release before it is the display
    // server's own repeat.
    std::unordered_map<int, bool> held_;
    std::unordered_map<int, unsigned long> releasedAt_;
    // The press seen last and where it was seen first.
    const QEvent *lastPress_ = nullptr;
    unsigned long lastPressTime_ = 0;
    QPointer<QWidget> lastPressTarget_;
    bool lastPressRepeats_ = false;
};

} // namespace vl
