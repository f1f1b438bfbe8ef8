#include "platform/x11.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

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

} // namespace

bool Available() {
    return connection() != nullptr;
}

bool GrabKeyboard() {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const auto cookie = xcb_grab_keyboard(c, /*owner_events=*/1, rootWindow(c), XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(c, cookie, nullptr);
    const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return ok;
}

bool GrabPointer() {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const uint16_t mask =
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
    const auto cookie =
        xcb_grab_pointer(c, /*owner_events=*/1, rootWindow(c), mask, XCB_GRAB_MODE_ASYNC,
                         XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
    xcb_grab_pointer_reply_t* reply = xcb_grab_pointer_reply(c, cookie, nullptr);
    const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return ok;
}

void UngrabKeyboardAndPointer() {
    xcb_connection_t* c = connection();
    if (!c) return;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

namespace {
// The child of the root window that holds `window` (a window manager frame, or
// the window itself), or XCB_NONE.
xcb_window_t topLevelAncestor(xcb_connection_t* c, xcb_window_t window, xcb_window_t root) {
    for (int depth = 0; depth < 16 && window != XCB_NONE; ++depth) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (!tree) return XCB_NONE;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root) return window;
        window = parent;
    }
    return XCB_NONE;
}

bool isViewable(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(a);
    return viewable;
}
} // namespace

bool OnTopOfStack(const QList<unsigned long>& ours) {
    xcb_connection_t* c = connection();
    if (!c) return true;
    const xcb_window_t root = rootWindow(c);
    QList<xcb_window_t> ourTops;
    for (unsigned long w : ours)
        ourTops << topLevelAncestor(c, xcb_window_t(w), root);
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree) return true;
    const xcb_window_t* children = xcb_query_tree_children(tree); // bottom to top
    bool onTop = true;
    for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0; --i) {
        if (!isViewable(c, children[i])) continue;
        onTop = ourTops.contains(children[i]);
        break;
    }
    std::free(tree);
    return onTop;
}

} // namespace platform::x11
