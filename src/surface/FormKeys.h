#pragma once

#include <QObject>

#include <functional>
#include <optional>

class QKeyEvent;
class QWidget;

namespace vl {

// The keys of the main window that act on the current shortcut or the page.
enum class KeyCommand { Rename, Copy, Cut, Delete, Repaint, Help, Open, Cancel };

// The command a key event of the main window stands for. Letters want their
// modifier alone (Ctrl+Shift+C is no copy); F5, F1 and Del act when the key
// is let go, whatever the modifiers; Enter, of either keyboard, acts as the
// character it types. Escape gives up a drag or a rubber band under way.
std::optional<KeyCommand> keyCommandFor(const QKeyEvent &event);

// Sees the keys of one window before whichever of its widgets has the focus
// and hands the ones that are commands on. Other windows (menus, dialogs)
// keep their keys.
class FormKeys : public QObject {
public:
    // run answers whether it took the command; a key not taken goes on to
    // the focused widget as usual.
    FormKeys(QWidget *window, std::function<bool(KeyCommand)> run);
    ~FormKeys() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window_;
    std::function<bool(KeyCommand)> run_;
};

} // namespace vl
