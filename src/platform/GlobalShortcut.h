#pragma once

#include <QAbstractNativeEventFilter>
#include <QKeySequence>
#include <QObject>

#include <cstdint>

namespace vl {

// A key that reaches the program whatever window has the focus: it calls
// the window from anywhere. On X11 the key is grabbed on the root window
// (with and without Caps Lock and Num Lock, which would otherwise make it a
// different key). Elsewhere there is no grab a program may make; the user
// binds `vorlane --toggle` in the desktop's own keyboard settings instead.
class GlobalShortcut : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    enum class Support {
        Bound,       // the key calls the window
        Off,         // no key asked for
        Taken,       // another program holds the key
        Unsupported, // not a key this platform can grab; or no X11
    };

    explicit GlobalShortcut(QObject *parent = nullptr);
    ~GlobalShortcut() override;

    // Grabs key, letting go of the one held before; an empty key only lets
    // go. One key of one chord, with Ctrl, Alt, Shift and Meta.
    Support bind(const QKeySequence &key);
    Support support() const { return support_; }

    // The key asked for when the user has chosen none.
    static QKeySequence defaultKey() { return QKeySequence(QStringLiteral("Ctrl+Alt+Space")); }
    // Where the user's choice lives: a value of the current user's key in
    // the registry store, the key's portable text, empty for none.
    static inline const QString RegistryKey = QStringLiteral("Software\\Quendry\\Vorlane");
    static inline const QString RegistryValue = QStringLiteral("ToggleShortcut");

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // Whether the keyboard focus is in the window with that id (or a window
    // inside it). While a grabbed key is down the toolkit counts its window
    // as inactive, though the focus never left it; the server knows better.
    static bool focusIsIn(quintptr window);

signals:
    void activated();

private:
    void release();

    Support support_ = Support::Off;
    std::uint8_t keycode_ = 0;
    std::uint16_t modifiers_ = 0;
    bool filtering_ = false;
};

} // namespace vl
