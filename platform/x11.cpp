#include "platform/x11.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSet>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace platform::x11 {
namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* c) {
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    return it.rem ? it.data->root : XCB_NONE;
}

template <class T> struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

bool isViewable(xcb_get_window_attributes_reply_t* a) {
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

} // namespace

bool Available() {
    return connection() != nullptr;
}

bool DisplayOpens() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return ok;
}

bool GrabKeyboard() {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const auto cookie = xcb_grab_keyboard(c, /*owner_events=*/1, rootWindow(c), XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const Reply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(c, cookie, nullptr));
    return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
}

bool GrabPointer() {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const uint16_t mask =
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
    const auto cookie =
        xcb_grab_pointer(c, /*owner_events=*/1, rootWindow(c), mask, XCB_GRAB_MODE_ASYNC,
                         XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
    const Reply<xcb_grab_pointer_reply_t> reply(xcb_grab_pointer_reply(c, cookie, nullptr));
    return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
}

bool QueryPointer(QPoint* rootPos, bool* button1) {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const Reply<xcb_query_pointer_reply_t> r(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, rootWindow(c)), nullptr));
    if (!r) return false;
    *rootPos = QPoint(r->root_x, r->root_y);
    *button1 = r->mask & XCB_BUTTON_MASK_1;
    return true;
}

void UngrabKeyboardAndPointer() {
    xcb_connection_t* c = connection();
    if (!c) return;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

bool IsOurs(Window window) {
    xcb_connection_t* c = connection();
    if (!c || window == XCB_NONE) return false;
    const xcb_setup_t* setup = xcb_get_setup(c);
    return (window & ~setup->resource_id_mask) == setup->resource_id_base;
}

namespace {
QRegion regionOf(xcb_shape_get_rectangles_reply_t* r) {
    QRegion region;
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(r);
    for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(r); ++i)
        region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    return region;
}
} // namespace

StackState InspectStack(const QList<Window>& guarded, const QList<QRect>& places,
                        const QList<QRegion>& shapes, const QList<Window>& frames,
                        const QList<Window>& friends) {
    StackState state;
    xcb_connection_t* c = connection();
    if (!c || guarded.isEmpty()) return state;
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, rootWindow(c)), nullptr));
    if (!tree) return state;
    const xcb_window_t* children = xcb_query_tree_children(tree.get()); // bottom to top
    const int count = xcb_query_tree_children_length(tree.get());
    const auto indexOf = [&](Window w) {
        int i = count - 1;
        while (i >= 0 && children[i] != w)
            --i;
        return i;
    };

    int lowest = count, highestCover = -1;
    for (Window w : guarded) {
        const int i = indexOf(w);
        if (i < 0) {
            state.destroyed << w; // gone, or no longer a top-level window
            continue;
        }
        lowest = qMin(lowest, i);
        if (w != guarded.last()) highestCover = qMax(highestCover, i);
    }
    const int top = indexOf(guarded.last());
    for (Window w : friends)
        state.friendAbove = state.friendAbove || indexOf(w) > lowest;
    for (int i = 0; i < count; ++i)
        if (frames.contains(children[i])) {
            state.frames << children[i];
            state.framesAstray = state.framesAstray || i < highestCover || i > top;
        }

    // Ask about every window that matters at once: one round trip.
    QList<std::pair<Window, xcb_get_window_attributes_cookie_t>> asked;
    struct Placed {
        qsizetype i;
        xcb_get_geometry_cookie_t geometry;
        xcb_shape_get_rectangles_cookie_t bounding, input;
    };
    QList<Placed> placed;
    for (qsizetype i = 0; i < guarded.size(); ++i) {
        if (state.destroyed.contains(guarded[i])) continue;
        asked.append({guarded[i], xcb_get_window_attributes(c, guarded[i])});
        // A cover whose screen is going has no place to be kept in.
        if (i >= places.size() || i >= shapes.size() || places[i].isEmpty()) continue;
        // Told of the next change to its shape as it happens.
        xcb_shape_select_input(c, guarded[i], 1);
        placed.append({i, xcb_get_geometry(c, guarded[i]),
                       xcb_shape_get_rectangles(c, guarded[i], XCB_SHAPE_SK_BOUNDING),
                       xcb_shape_get_rectangles(c, guarded[i], XCB_SHAPE_SK_INPUT)});
    }
    for (int i = lowest + 1; i < count; ++i) {
        const Window w = children[i];
        if (!guarded.contains(w) && !frames.contains(w) && !friends.contains(w))
            asked.append({w, xcb_get_window_attributes(c, w)});
    }
    for (const auto& [w, cookie] : asked) {
        const Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, cookie, nullptr));
        if (guarded.contains(w)) {
            if (!isViewable(a.get())) state.unmapped << w;
        } else if (isViewable(a.get())) {
            if (IsOurs(w))
                state.others << w; // a menu or tooltip of ours
            else
                state.foreignAbove = true;
        }
    }
    for (const Placed& p : placed) {
        const Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, p.geometry, nullptr));
        const Reply<xcb_shape_get_rectangles_reply_t> bounding(
            xcb_shape_get_rectangles_reply(c, p.bounding, nullptr));
        const Reply<xcb_shape_get_rectangles_reply_t> input(
            xcb_shape_get_rectangles_reply(c, p.input, nullptr));
        const Window w = guarded[p.i];
        const QRect place = places[p.i];
        if (g && QRect(g->x, g->y, g->width, g->height) != place) state.misplaced << w;
        // An unshaped window reports its own rectangle, and takes clicks
        // wherever it is.
        const QRegion whole(QRect(QPoint(), place.size()));
        const QRegion shown = shapes[p.i].isEmpty() ? whole : shapes[p.i];
        if ((bounding && regionOf(bounding.get()) != shown) ||
            (input && regionOf(input.get()) != whole))
            state.reshaped << w;
    }
    return state;
}

void Map(Window window) {
    xcb_connection_t* c = connection();
    if (!c) return;
    xcb_map_window(c, window);
    xcb_flush(c);
}

void Place(Window window, const QRect& rect) {
    xcb_connection_t* c = connection();
    if (!c) return;
    const uint32_t values[] = {uint32_t(rect.x()), uint32_t(rect.y()), uint32_t(rect.width()),
                               uint32_t(rect.height())};
    xcb_configure_window(c, xcb_window_t(window),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(c);
}

void Reshape(Window window, const QRegion& shape) {
    xcb_connection_t* c = connection();
    if (!c) return;
    if (shape.isEmpty()) {
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, xcb_window_t(window), 0, 0,
                       XCB_NONE);
    } else {
        QList<xcb_rectangle_t> rects;
        for (const QRect& r : shape)
            rects.append(
                {int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height())});
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED,
                             xcb_window_t(window), 0, 0, uint32_t(rects.size()), rects.constData());
    }
    xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, xcb_window_t(window), 0, 0, XCB_NONE);
    xcb_flush(c);
}

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr));
    return r ? r->atom : XCB_NONE;
}
} // namespace

void SkipTaskbarAndPager(Window window) {
    xcb_connection_t* c = connection();
    if (!c) return;
    static const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    static const xcb_atom_t skip[] = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                      atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    const Reply<xcb_get_window_attributes_reply_t> a(xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr));
    if (a && a->override_redirect) {
        xcb_change_property(c, XCB_PROP_MODE_APPEND, xcb_window_t(window), state, XCB_ATOM_ATOM, 32,
                            2, skip);
    } else {
        // The window manager owns the states of a managed window: it is asked.
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = xcb_window_t(window);
        e.type = state;
        e.data.data32[0] = 1; // add
        e.data.data32[1] = skip[0];
        e.data.data32[2] = skip[1];
        e.data.data32[3] = 1; // from an application
        xcb_send_event(c, 0, rootWindow(c),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&e));
    }
    xcb_flush(c);
}

void PaintBlack(Window window) {
    xcb_connection_t* c = connection();
    if (!c) return;
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    const uint32_t black = it.rem ? it.data->black_pixel : 0;
    xcb_change_window_attributes(c, xcb_window_t(window), XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(c, 0, xcb_window_t(window), 0, 0, 0, 0);
    xcb_flush(c);
}

void RaiseToTop(const QList<Window>& bottomToTop) {
    xcb_connection_t* c = connection();
    if (!c || bottomToTop.isEmpty()) return;
    // The top one first, then each right beneath the one above it: a window
    // that already stands where it belongs is not uncovered and repainted,
    // as it would be if a lower one were raised over it for a moment.
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, xcb_window_t(bottomToTop.last()), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    PlaceBeneath(bottomToTop.mid(0, bottomToTop.size() - 1), bottomToTop.last());
}

void PlaceBeneath(const QList<Window>& bottomToTop, Window above) {
    xcb_connection_t* c = connection();
    if (!c) return;
    for (qsizetype i = bottomToTop.size() - 1; i >= 0; --i) {
        const uint32_t values[] = {uint32_t(above), XCB_STACK_MODE_BELOW};
        xcb_configure_window(c, xcb_window_t(bottomToTop[i]),
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
        above = bottomToTop[i];
    }
    xcb_flush(c);
}

void Focus(Window window) {
    xcb_connection_t* c = connection();
    if (!c) return;
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    xcb_flush(c);
}

Window FrameOf(Window window) {
    xcb_connection_t* c = connection();
    if (!c) return window;
    const xcb_window_t root = rootWindow(c);
    for (int depth = 0; depth < 16 && window != XCB_NONE; ++depth) {
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree) return XCB_NONE;
        if (tree->parent == root) return window;
        window = tree->parent;
    }
    return XCB_NONE;
}

void TakeStacking(Window window) {
    xcb_connection_t* c = connection();
    if (!c) return;
    const uint32_t on = 1;
    xcb_change_window_attributes(c, xcb_window_t(window), XCB_CW_OVERRIDE_REDIRECT, &on);
    xcb_flush(c);
}

QRect RootRect(Window window) {
    xcb_connection_t* c = connection();
    if (!c) return {};
    const auto geometryCookie = xcb_get_geometry(c, xcb_window_t(window));
    const auto originCookie =
        xcb_translate_coordinates(c, xcb_window_t(window), rootWindow(c), 0, 0);
    const Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    const Reply<xcb_translate_coordinates_reply_t> o(
        xcb_translate_coordinates_reply(c, originCookie, nullptr));
    if (!g || !o) return {};
    const int b = g->border_width;
    return QRect(o->dst_x - b, o->dst_y - b, g->width + 2 * b, g->height + 2 * b);
}

Window DeepestAt(Window top, QPoint rootPos, QPoint* local) {
    xcb_connection_t* c = connection();
    if (!c) return XCB_NONE;
    const xcb_window_t root = rootWindow(c);
    Window current = top;
    for (int depth = 0; depth < 16; ++depth) {
        const Reply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, root, current, rootPos.x(), rootPos.y()), nullptr));
        if (!t) return XCB_NONE;
        *local = QPoint(t->dst_x, t->dst_y);
        if (t->child == XCB_NONE) break;
        current = t->child;
    }
    return current;
}

void SendClick(Window window, QPoint local, QPoint rootPos, int button) {
    xcb_connection_t* c = connection();
    if (!c) return;
    for (const uint8_t type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
        xcb_button_press_event_t e{};
        e.response_type = type;
        e.detail = uint8_t(button);
        e.time = XCB_CURRENT_TIME;
        e.root = rootWindow(c);
        e.event = xcb_window_t(window);
        e.root_x = int16_t(rootPos.x());
        e.root_y = int16_t(rootPos.y());
        e.event_x = int16_t(local.x());
        e.event_y = int16_t(local.y());
        e.state = type == XCB_BUTTON_RELEASE ? uint16_t(XCB_BUTTON_MASK_1 << (button - 1)) : 0;
        e.same_screen = 1;
        const uint32_t mask =
            type == XCB_BUTTON_PRESS ? XCB_EVENT_MASK_BUTTON_PRESS : XCB_EVENT_MASK_BUTTON_RELEASE;
        xcb_send_event(c, 0, xcb_window_t(window), mask, reinterpret_cast<const char*>(&e));
    }
    xcb_flush(c);
}

namespace {

// Modifiers that change what a click means; Lock and NumLock (Mod2) do not.
constexpr uint16_t kMeaningfulModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL |
                                          XCB_MOD_MASK_1 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 |
                                          XCB_MOD_MASK_5;

// Our own events on the root window, added to whatever Qt selected there.
void selectRootEvents(xcb_connection_t* c) {
    const xcb_window_t root = rootWindow(c);
    const Reply<xcb_get_window_attributes_reply_t> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr));
    if (!a) return;
    const uint32_t mask =
        a->your_event_mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
    if (mask != a->your_event_mask) xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

bool focusIsOurs(xcb_connection_t* c) {
    const Reply<xcb_get_input_focus_reply_t> f(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return !f || IsOurs(f->focus);
}

// Requests other clients send to the window manager through the root window:
// watching the root window, we get them too, and they are not for Qt.
QSet<xcb_atom_t> windowManagerRequests(xcb_connection_t* c) {
    QSet<xcb_atom_t> atoms;
    for (const char* name :
         {"_NET_ACTIVE_WINDOW", "_NET_CLOSE_WINDOW", "_NET_WM_STATE", "WM_CHANGE_STATE",
          "_KDE_WM_CHANGE_STATE", "_NET_MOVERESIZE_WINDOW", "_NET_WM_MOVERESIZE",
          "_NET_RESTACK_WINDOW", "_NET_REQUEST_FRAME_EXTENTS", "_NET_WM_DESKTOP",
          "_NET_CURRENT_DESKTOP", "_NET_SHOWING_DESKTOP", "_NET_NUMBER_OF_DESKTOPS"})
        atoms.insert(atom(c, name));
    return atoms;
}

class EventWatch : public QAbstractNativeEventFilter {
public:
    Listener* listener = nullptr;
    QSet<xcb_atom_t> requests;
    uint8_t shapeEvent = 0; // 0: the server has no shapes

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        xcb_connection_t* c = connection();
        if (!listener || !c || type != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const xcb_window_t root = rootWindow(c);
        switch (event->response_type & ~0x80) {
        case 0: { // an error: the ones about windows we adopted are expected
            auto* error = reinterpret_cast<xcb_generic_error_t*>(event);
            return error->error_code == XCB_WINDOW && dead_.contains(error->resource_id);
        }
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE: {
            // Reported to the grab window because the focus is elsewhere:
            // hand it to our window that should have it, or Qt drops it.
            auto* e = reinterpret_cast<xcb_key_press_event_t*>(event);
            if (e->event == root)
                if (const Window target = listener->keyTarget()) e->event = xcb_window_t(target);
            return false;
        }
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE:
        case XCB_MOTION_NOTIFY: {
            auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
            if (e->event != root) return false;
            const auto what =
                (event->response_type & ~0x80) == XCB_BUTTON_PRESS     ? Listener::Pointer::Press
                : (event->response_type & ~0x80) == XCB_BUTTON_RELEASE ? Listener::Pointer::Release
                                                                       : Listener::Pointer::Motion;
            const int button = what == Listener::Pointer::Motion
                                   ? ((e->state & XCB_BUTTON_MASK_1) ? 1 : 0)
                                   : e->detail;
            listener->pointerOnForeign(what, e->child, QPoint(e->root_x, e->root_y), button,
                                       (e->state & kMeaningfulModifiers) == 0);
            return true;
        }
        case XCB_FOCUS_IN:
        case XCB_FOCUS_OUT: {
            auto* e = reinterpret_cast<xcb_focus_in_event_t*>(event);
            if (e->mode == XCB_NOTIFY_MODE_UNGRAB) listener->grabEnded();
            const bool left =
                (event->response_type & ~0x80) == XCB_FOCUS_OUT && e->event != root &&
                IsOurs(e->event) &&
                (e->mode == XCB_NOTIFY_MODE_NORMAL || e->mode == XCB_NOTIFY_MODE_WHILE_GRABBED) &&
                e->detail != XCB_NOTIFY_DETAIL_INFERIOR && e->detail != XCB_NOTIFY_DETAIL_POINTER;
            if (left && !focusIsOurs(c)) listener->focusTaken();
            return false;
        }
        case XCB_CLIENT_MESSAGE:
            return requests.contains(reinterpret_cast<xcb_client_message_event_t*>(event)->type);
        case XCB_DESTROY_NOTIFY: {
            auto* e = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
            if (e->event == e->window && listener->adoptDestroyed(e->window)) {
                dead_.insert(e->window);
                return true; // Qt would take it for a close request
            }
            if (e->event == root) listener->stackChanged();
            return false;
        }
        case XCB_MAP_NOTIFY:
        case XCB_UNMAP_NOTIFY:
        case XCB_CONFIGURE_NOTIFY:
        case XCB_CIRCULATE_NOTIFY:
        case XCB_REPARENT_NOTIFY: {
            // All of these carry the window they are reported to first.
            auto* e = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (e->event == root) listener->stackChanged();
            return false;
        }
        default:
            if (shapeEvent && (event->response_type & ~0x80) == shapeEvent)
                listener->stackChanged(); // one of ours reshaped: looked at like a move
            return false;
        }
    }

private:
    QSet<uint32_t> dead_;
};

EventWatch& watch() {
    static EventWatch w;
    return w;
}

} // namespace

void Listen(Listener* listener) {
    xcb_connection_t* c = connection();
    if (!c) return;
    static bool installed = false;
    if (!installed) {
        watch().requests = windowManagerRequests(c);
        const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
        if (shape && shape->present)
            watch().shapeEvent = uint8_t(shape->first_event + XCB_SHAPE_NOTIFY);
        QCoreApplication::instance()->installNativeEventFilter(&watch());
        installed = true;
    }
    watch().listener = listener;
    if (listener) selectRootEvents(c);
}

} // namespace platform::x11
