#include "platform/XdndData.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScopeGuard>

#include <poll.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace vl {

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> reply(T *r) { return Reply<T>(r, &std::free); }

xcb_atom_t internAtom(xcb_connection_t *c, const QByteArray &name)
{
    const auto r = reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootWindow(xcb_connection_t *c, int screen)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen && it.rem; ++i)
        xcb_screen_next(&it);
    return it.rem ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

// The SelectionNotify for window w, or nothing by the deadline.
std::optional<xcb_atom_t> awaitNotify(xcb_connection_t *c, xcb_window_t w, QDeadlineTimer deadline)
{
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const auto e = reply(event);
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                continue;
            const auto *n = reinterpret_cast<const xcb_selection_notify_event_t *>(e.get());
            if (n->requestor == w)
                return n->property;
        }
        if (xcb_connection_has_error(c))
            return std::nullopt;
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return std::nullopt;
        pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(left < 0 ? 100 : left));
    }
}

} // namespace

std::optional<QByteArray> readDragTarget(const QByteArray &target, int timeoutMs, int maxBytes)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    // A connection of its own: the answer must not land in Qt's event
    // queue, and nothing of Qt's may be read here.
    int screen = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screen);
    const auto disconnect = qScopeGuard([c] { xcb_disconnect(c); });
    if (xcb_connection_has_error(c))
        return std::nullopt;
    const xcb_window_t root = rootWindow(c, screen);
    const xcb_atom_t selection = internAtom(c, "XdndSelection");
    const xcb_atom_t targetAtom = internAtom(c, target);
    const xcb_atom_t property = internAtom(c, "VORLANE_DROP_DATA");
    const xcb_atom_t incr = internAtom(c, "INCR");
    if (root == XCB_WINDOW_NONE || !selection || !targetAtom || !property)
        return std::nullopt;
    const auto owner =
        reply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    if (!owner || owner->owner == XCB_WINDOW_NONE)
        return std::nullopt;

    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_convert_selection(c, w, selection, targetAtom, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    const std::optional<xcb_atom_t> answered = awaitNotify(c, w, QDeadlineTimer(timeoutMs));
    if (!answered || *answered == XCB_ATOM_NONE)
        return std::nullopt;
    const auto value = reply(xcb_get_property_reply(
        c, xcb_get_property(c, 1, w, *answered, XCB_GET_PROPERTY_TYPE_ANY, 0, static_cast<uint32_t>(maxBytes / 4 + 1)),
        nullptr));
    // Data sent in pieces (INCR) or cut short is more than a link's text.
    if (!value || value->type == incr || value->bytes_after > 0)
        return std::nullopt;
    const int length = xcb_get_property_value_length(value.get());
    if (length > maxBytes)
        return std::nullopt;
    return QByteArray(static_cast<const char *>(xcb_get_property_value(value.get())), length);
}

} // namespace vl
