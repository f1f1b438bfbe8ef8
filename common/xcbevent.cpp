// What the X server reports, read into one plain Event: the layer's other
// half (common/xcb.cpp makes the requests).
#include "common/xcb.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace xcb {
namespace {

template <class T> const T* as(const void* raw) {
    return static_cast<const T*>(raw);
}

// Keys, buttons and motion: the same layout for all five.
void decodeInput(uint8_t type, const void* raw, Event& e) {
    const auto* x = as<xcb_key_press_event_t>(raw);
    e.kind = type == XCB_KEY_PRESS        ? Kind::KeyPress
             : type == XCB_KEY_RELEASE    ? Kind::KeyRelease
             : type == XCB_BUTTON_PRESS   ? Kind::ButtonPress
             : type == XCB_BUTTON_RELEASE ? Kind::ButtonRelease
                                          : Kind::Motion;
    e.event = e.window = x->event;
}

void decodeCrossing(uint8_t type, const void* raw, Event& e) {
    const auto* x = as<xcb_enter_notify_event_t>(raw);
    e.kind = type == XCB_ENTER_NOTIFY ? Kind::Enter : Kind::Leave;
    e.event = e.window = x->event;
    e.ungrab = x->mode == XCB_NOTIFY_MODE_UNGRAB;
    e.grab = x->mode == XCB_NOTIFY_MODE_GRAB;
    e.inferior = x->detail == XCB_NOTIFY_DETAIL_INFERIOR;
}

void decodeFocus(uint8_t type, const void* raw, Event& e) {
    const auto* x = as<xcb_focus_in_event_t>(raw);
    e.kind = type == XCB_FOCUS_IN ? Kind::FocusIn : Kind::FocusOut;
    e.event = e.window = x->event;
    e.ungrab = x->mode == XCB_NOTIFY_MODE_UNGRAB;
    e.grab = x->mode == XCB_NOTIFY_MODE_GRAB;
    e.inferior = x->detail == XCB_NOTIFY_DETAIL_INFERIOR || x->detail == XCB_NOTIFY_DETAIL_POINTER;
}

// A window made, destroyed, mapped, unmapped or reparented. False: none of these.
bool decodeLifetime(uint8_t type, const void* raw, Event& e) {
    switch (type) {
    case XCB_CREATE_NOTIFY: {
        const auto* x = as<xcb_create_notify_event_t>(raw);
        e.kind = Kind::Create;
        e.event = e.parent = x->parent;
        e.window = x->window;
        e.rect = {x->x, x->y, x->width, x->height};
        return true;
    }
    case XCB_DESTROY_NOTIFY:
        e.kind = Kind::Destroy;
        e.event = as<xcb_destroy_notify_event_t>(raw)->event;
        e.window = as<xcb_destroy_notify_event_t>(raw)->window;
        return true;
    case XCB_MAP_NOTIFY:
        e.kind = Kind::Map;
        e.event = as<xcb_map_notify_event_t>(raw)->event;
        e.window = as<xcb_map_notify_event_t>(raw)->window;
        return true;
    case XCB_UNMAP_NOTIFY:
        e.kind = Kind::Unmap;
        e.event = as<xcb_unmap_notify_event_t>(raw)->event;
        e.window = as<xcb_unmap_notify_event_t>(raw)->window;
        return true;
    case XCB_REPARENT_NOTIFY: {
        const auto* x = as<xcb_reparent_notify_event_t>(raw);
        e.kind = Kind::Reparent;
        e.event = x->event;
        e.window = x->window;
        e.parent = x->parent;
        e.rect = {x->x, x->y, 0, 0};
        return true;
    }
    default:
        return false;
    }
}

// Where a window stands and how much of it shows. False: none of these.
bool decodePlace(uint8_t type, const void* raw, uint8_t shapeBase, Event& e) {
    switch (type) {
    case XCB_CONFIGURE_NOTIFY: {
        const auto* x = as<xcb_configure_notify_event_t>(raw);
        e.kind = Kind::Configure;
        e.event = x->event;
        e.window = x->window;
        e.above = x->above_sibling;
        e.rect = {x->x, x->y, x->width, x->height};
        return true;
    }
    case XCB_CIRCULATE_NOTIFY: {
        const auto* x = as<xcb_circulate_notify_event_t>(raw);
        e.kind = Kind::Circulate;
        e.event = x->event;
        e.window = x->window;
        e.onTop = x->place == XCB_PLACE_ON_TOP;
        return true;
    }
    case XCB_VISIBILITY_NOTIFY: {
        const auto* x = as<xcb_visibility_notify_event_t>(raw);
        e.kind = Kind::Visibility;
        e.event = e.window = x->window;
        e.obscured = x->state != XCB_VISIBILITY_UNOBSCURED;
        return true;
    }
    case XCB_EXPOSE: {
        const auto* x = as<xcb_expose_event_t>(raw);
        e.kind = Kind::Expose;
        e.event = e.window = x->window;
        e.rect = {x->x, x->y, x->width, x->height};
        return true;
    }
    default:
        if (!shapeBase || type != shapeBase + XCB_SHAPE_NOTIFY) return false;
        const auto* x = as<xcb_shape_notify_event_t>(raw);
        e.kind = Kind::Shape;
        e.event = e.window = x->affected_window;
        e.shaped = x->shaped;
        return true;
    }
}

// Errors, client messages and selection requests. False: none of these.
bool decodeMessage(uint8_t type, const void* raw, Event& e) {
    switch (type) {
    case 0: {
        const auto* x = as<xcb_generic_error_t>(raw);
        e.kind = Kind::Error;
        e.errorCode = x->error_code;
        e.resource = x->resource_id;
        return true;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto* x = as<xcb_client_message_event_t>(raw);
        e.kind = Kind::ClientMessage;
        e.event = e.window = x->window;
        e.type = x->type;
        e.value = x->format == 32 ? x->data.data32[0] : 0;
        return true;
    }
    case XCB_SELECTION_REQUEST:
        e.kind = Kind::SelectionRequest;
        e.event = e.window = as<xcb_selection_request_event_t>(raw)->owner;
        return true;
    default:
        return false;
    }
}

} // namespace

Event Decode(const void* raw, uint8_t shapeBase) {
    const auto* g = as<xcb_generic_event_t>(raw);
    Event e;
    e.synthetic = g->response_type & 0x80;
    e.sequence = g->full_sequence;
    const uint8_t type = g->response_type & ~0x80;
    switch (type) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
        decodeInput(type, raw, e);
        break;
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
        decodeCrossing(type, raw, e);
        break;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
        decodeFocus(type, raw, e);
        break;
    default:
        // Anything else stays Kind::Other.
        decodeLifetime(type, raw, e) || decodePlace(type, raw, shapeBase, e) ||
            decodeMessage(type, raw, e);
        break;
    }
    return e;
}

bool NextEvent(Connection* c, uint8_t shapeBase, Event* event) {
    xcb_generic_event_t* raw = xcb_poll_for_event(c);
    if (!raw) return false;
    *event = Decode(raw, shapeBase);
    std::free(raw);
    return true;
}

void Retarget(void* raw, Window window) {
    auto* e = static_cast<xcb_key_press_event_t*>(raw);
    e->event = window;
    e->child = XCB_NONE;
}

void RefuseSelection(Connection* c, const void* raw) {
    const auto* r = as<xcb_selection_request_event_t>(raw);
    xcb_selection_notify_event_t n{};
    n.response_type = XCB_SELECTION_NOTIFY;
    n.time = r->time;
    n.requestor = r->requestor;
    n.selection = r->selection;
    n.target = r->target;
    n.property = XCB_NONE; // nothing to hand out
    xcb_send_event(c, 0, r->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&n));
    xcb_flush(c);
}

} // namespace xcb
