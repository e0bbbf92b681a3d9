#include "platform/GlobalShortcut.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace vl {

namespace {

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

// The X keysym of a Qt key, for the keys a user would pick: letters,
// digits, punctuation, the function keys and the named keys around them.
std::uint32_t keysymOf(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::uint32_t('a' + (key - Qt::Key_A)); // keysyms of letters are the lower case ones
    if (key >= 0x20 && key <= 0x7e)
        return std::uint32_t(key); // Latin-1: keysym and Qt key agree
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return std::uint32_t(0xffbe + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Escape: return 0xff1b;
    case Qt::Key_Tab: return 0xff09;
    case Qt::Key_Backspace: return 0xff08;
    case Qt::Key_Return: return 0xff0d;
    case Qt::Key_Enter: return 0xff8d;
    case Qt::Key_Insert: return 0xff63;
    case Qt::Key_Delete: return 0xffff;
    case Qt::Key_Pause: return 0xff13;
    case Qt::Key_Print: return 0xff61;
    case Qt::Key_Home: return 0xff50;
    case Qt::Key_End: return 0xff57;
    case Qt::Key_Left: return 0xff51;
    case Qt::Key_Up: return 0xff52;
    case Qt::Key_Right: return 0xff53;
    case Qt::Key_Down: return 0xff54;
    case Qt::Key_PageUp: return 0xff55;
    case Qt::Key_PageDown: return 0xff56;
    default: return 0;
    }
}

std::uint8_t keycodeOf(xcb_connection_t *c, std::uint32_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> map(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, xcb_keycode_t(first), std::uint8_t(count)), nullptr),
        &std::free);
    if (!map)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int per = map->keysyms_per_keycode;
    for (int k = 0; k < count; ++k) {
        for (int i = 0; i < per; ++i) {
            if (syms[k * per + i] == keysym)
                return std::uint8_t(first + k);
        }
    }
    return 0;
}

// The states that leave a key the same key to the user: Caps Lock and Num
// Lock (Mod2 on every common layout) on or off.
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr std::uint16_t kChordMask = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

} // namespace

GlobalShortcut::GlobalShortcut(QObject *parent) : QObject(parent) {}

GlobalShortcut::~GlobalShortcut() { release(); }

void GlobalShortcut::release()
{
    xcb_connection_t *c = x11Connection();
    if (c && keycode_) {
        const xcb_window_t root = rootWindow(c);
        for (std::uint16_t lock : kLockVariants)
            xcb_ungrab_key(c, keycode_, root, std::uint16_t(modifiers_ | lock));
        xcb_flush(c);
    }
    keycode_ = 0;
    modifiers_ = 0;
    support_ = Support::Off;
}

GlobalShortcut::Support GlobalShortcut::bind(const QKeySequence &key)
{
    release();
    if (key.isEmpty())
        return support_ = Support::Off;
    xcb_connection_t *c = x11Connection();
    const QKeyCombination combination = key[0];
    const std::uint32_t keysym = keysymOf(combination.key());
    const std::uint8_t keycode = c && key.count() == 1 ? keycodeOf(c, keysym) : 0;
    if (!c || !keysym || !keycode)
        return support_ = Support::Unsupported;

    std::uint16_t modifiers = 0;
    const Qt::KeyboardModifiers m = combination.keyboardModifiers();
    if (m & Qt::ShiftModifier)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (m & Qt::ControlModifier)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (m & Qt::AltModifier)
        modifiers |= XCB_MOD_MASK_1;
    if (m & Qt::MetaModifier)
        modifiers |= XCB_MOD_MASK_4;

    const xcb_window_t root = rootWindow(c);
    bool taken = false;
    for (std::uint16_t lock : kLockVariants) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 1, root, std::uint16_t(modifiers | lock), keycode,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            taken = true; // BadAccess: somebody else grabbed it first
            std::free(error);
        }
    }
    keycode_ = keycode;
    modifiers_ = modifiers;
    if (taken) {
        release();
        return support_ = Support::Taken;
    }
    if (!filtering_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;
    }
    return support_ = Support::Bound;
}

bool GlobalShortcut::focusIsIn(quintptr window)
{
    xcb_connection_t *c = x11Connection();
    if (!c || !window)
        return false;
    using Reply = std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)>;
    const Reply focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
    if (!focus)
        return false;
    const xcb_window_t root = rootWindow(c);
    xcb_window_t w = focus->focus;
    // Up from the focus to the root: a child of ours counts as ours.
    for (int depth = 0; depth < 64 && w != XCB_WINDOW_NONE && w != root; ++depth) {
        if (w == window)
            return true;
        using TreeReply = std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)>;
        const TreeReply tree(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr), &std::free);
        if (!tree)
            return false;
        w = tree->parent;
    }
    return false;
}

bool GlobalShortcut::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!keycode_ || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto *press = static_cast<xcb_key_press_event_t *>(message);
    if (press->detail != keycode_ || (press->state & kChordMask) != modifiers_)
        return false;
    emit activated();
    return true;
}

} // namespace vl
