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

bool Available() { return connection() != nullptr; }

bool GrabKeyboard() {
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    const auto cookie = xcb_grab_keyboard(c, /*owner_events=*/1, rootWindow(c), XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(c, cookie, nullptr);
    const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return ok;
}

bool GrabPointer() {
    xcb_connection_t* c = connection();
    if (!c)
        return false;
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
    if (!c)
        return;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

} // namespace platform::x11
