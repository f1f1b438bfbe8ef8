#include "platform/x11cover.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace platform::x11cover {

Cover::~Cover() {
    close();
}

std::string Cover::displayName() {
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

bool Cover::open() {
    int screenNumber = 0;
    c_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c_)) {
        xcb_disconnect(c_);
        c_ = nullptr;
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        close();
        return false;
    }
    const xcb_screen_t* screen = it.data;
    root_ = screen->root;
    width_ = screen->width_in_pixels;
    height_ = screen->height_in_pixels;
    black_ = screen->black_pixel;
    visual_ = screen->root_visual;
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c_, &xcb_shape_id);
    shapeEvent_ = shape && shape->present ? uint8_t(shape->first_event + XCB_SHAPE_NOTIFY) : 0;
    createWindow(0);

    // Told when a top-level window goes, when a grab ends, and when the
    // screen changes its size.
    const uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &rootEvents);
    xcb_flush(c_);
    return !broken();
}

// Black, above everything (or right beneath `above`), and nobody's to
// manage: the same as the lock's own windows, so that nothing shows while the
// lock is not there.
void Cover::createWindow(Window above) {
    window_ = xcb_generate_id(c_);
    const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
    const uint32_t values[] = {black_, 1, XCB_EVENT_MASK_VISIBILITY_CHANGE};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, width_, height_, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, visual_, mask, values);
    const char name[] = "pomlock";
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof name - 1, name);
    if (shapeEvent_) xcb_shape_select_input(c_, window_, 1);
    if (above) {
        const uint32_t beneath[] = {above, XCB_STACK_MODE_BELOW};
        xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                             beneath);
        xcb_map_window(c_, window_);
        xcb_flush(c_);
    } else {
        raise();
    }
}

bool Cover::restore(Window above) {
    if (!c_) return false;
    if (!window_) { // destroyed
        createWindow(above);
        return true;
    }
    if (shapeEvent_)
        for (const xcb_shape_kind_t kind : {XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT})
            xcb_shape_mask(c_, XCB_SHAPE_SO_SET, kind, window_, 0, 0, XCB_NONE);
    const uint32_t whole[] = {0, 0, width_, height_};
    xcb_configure_window(c_, window_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         whole);
    if (above)
        xcb_map_window(c_, window_); // where it stood, beneath the lock
    else
        raise();
    xcb_flush(c_);
    return false;
}

bool Cover::reopen() {
    close();
    return open();
}

void Cover::close() {
    if (!c_) return;
    xcb_disconnect(c_); // the server destroys the cover and ends the grabs
    c_ = nullptr;
    window_ = 0;
    keyboard_ = pointer_ = false;
}

bool Cover::broken() const {
    return !c_ || xcb_connection_has_error(c_);
}

int Cover::fd() const {
    return c_ ? xcb_get_file_descriptor(c_) : -1;
}

void Cover::raise() {
    if (!c_ || !window_) return;
    xcb_map_window(c_, window_);
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c_);
}

bool Cover::grab() {
    if (!c_) return false;
    // Both asked at once: one round trip.
    const auto kc = keyboard_ ? xcb_grab_keyboard_cookie_t{}
                              : xcb_grab_keyboard(c_, 1, root_, XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const uint16_t events =
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
    const auto pc =
        pointer_ ? xcb_grab_pointer_cookie_t{}
                 : xcb_grab_pointer(c_, 1, root_, events, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                    XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
    if (!keyboard_) {
        xcb_grab_keyboard_reply_t* r = xcb_grab_keyboard_reply(c_, kc, nullptr);
        keyboard_ = r && r->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(r);
    }
    if (!pointer_) {
        xcb_grab_pointer_reply_t* r = xcb_grab_pointer_reply(c_, pc, nullptr);
        pointer_ = r && r->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(r);
    }
    return holdsGrabs();
}

void Cover::ungrab() {
    if (!c_) return;
    xcb_ungrab_keyboard(c_, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(c_, XCB_CURRENT_TIME);
    xcb_flush(c_);
    keyboard_ = pointer_ = false;
}

Cover::Events Cover::poll(Window watched) {
    Events events;
    if (!c_) return events;
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
        switch (e->response_type & ~0x80) {
        case XCB_DESTROY_NOTIFY: {
            const auto* d = reinterpret_cast<xcb_destroy_notify_event_t*>(e);
            events.destroyed = events.destroyed || (watched && d->window == watched);
            if (window_ && d->window == window_) {
                window_ = 0; // a new one is made
                events.disturbed = true;
            }
            break;
        }
        case XCB_UNMAP_NOTIFY:
            events.disturbed =
                events.disturbed ||
                (window_ && reinterpret_cast<xcb_unmap_notify_event_t*>(e)->window == window_);
            break;
        case XCB_CONFIGURE_NOTIFY: {
            const auto* g = reinterpret_cast<xcb_configure_notify_event_t*>(e);
            if (g->window == root_ && (g->width != width_ || g->height != height_)) {
                width_ = g->width; // a new resolution: the cover follows
                height_ = g->height;
                events.disturbed = true;
            }
            events.disturbed =
                events.disturbed ||
                (window_ && g->window == window_ &&
                 (g->x != 0 || g->y != 0 || g->width != width_ || g->height != height_));
            break;
        }
        case XCB_FOCUS_IN:
        case XCB_FOCUS_OUT:
            events.grabEnded =
                events.grabEnded ||
                reinterpret_cast<xcb_focus_in_event_t*>(e)->mode == XCB_NOTIFY_MODE_UNGRAB;
            break;
        case XCB_VISIBILITY_NOTIFY:
            events.obscured =
                events.obscured || reinterpret_cast<xcb_visibility_notify_event_t*>(e)->state !=
                                       XCB_VISIBILITY_UNOBSCURED;
            break;
        default:
            if (shapeEvent_ && (e->response_type & ~0x80) == shapeEvent_) {
                const auto* n = reinterpret_cast<xcb_shape_notify_event_t*>(e);
                events.disturbed = events.disturbed || (n->affected_window == window_ && n->shaped);
            }
            break;
        }
        std::free(e);
    }
    return events;
}

} // namespace platform::x11cover
