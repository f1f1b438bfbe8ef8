#include "common/xcb.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace xcb {
namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;

uint32_t u32(int v) {
    return uint32_t(v);
}

} // namespace

// --- connections

Connection* Connect(int* screen) {
    Connection* c = xcb_connect(nullptr, screen);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return nullptr;
    }
    return c;
}

void Disconnect(Connection* c) {
    if (c) xcb_disconnect(c); // the server ends its grabs and destroys its windows
}

bool Broken(Connection* c) {
    return !c || xcb_connection_has_error(c);
}

int Fd(Connection* c) {
    return c ? xcb_get_file_descriptor(c) : -1;
}

void Flush(Connection* c) {
    xcb_flush(c);
}

std::string DisplayName() {
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

int ScreenNumber() {
    char* host = nullptr;
    int display = 0, screen = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screen)) return 0;
    std::free(host);
    return screen;
}

bool ScreenOf(Connection* c, int number, Screen* screen) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < number && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) return false;
    screen->root = it.data->root;
    screen->width = it.data->width_in_pixels;
    screen->height = it.data->height_in_pixels;
    screen->black = it.data->black_pixel;
    screen->visual = it.data->root_visual;
    screen->depth = it.data->root_depth;
    return true;
}

uint8_t ShapeEventBase(Connection* c) {
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    return shape && shape->present ? uint8_t(shape->first_event) : 0;
}

bool IsOurs(Connection* c, Window window) {
    if (window == XCB_NONE) return false;
    const xcb_setup_t* setup = xcb_get_setup(c);
    return (window & ~setup->resource_id_mask) == setup->resource_id_base;
}

// --- the keyboard and the pointer

namespace {
xcb_grab_keyboard_cookie_t askKeyboard(Connection* c, Window root) {
    return xcb_grab_keyboard(c, /*owner_events=*/1, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                             XCB_GRAB_MODE_ASYNC);
}
xcb_grab_pointer_cookie_t askPointer(Connection* c, Window root) {
    const uint16_t mask =
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
    return xcb_grab_pointer(c, /*owner_events=*/1, root, mask, XCB_GRAB_MODE_ASYNC,
                            XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
}
bool keyboardTaken(Connection* c, xcb_grab_keyboard_cookie_t cookie) {
    const Reply<xcb_grab_keyboard_reply_t> r(xcb_grab_keyboard_reply(c, cookie, nullptr));
    return r && r->status == XCB_GRAB_STATUS_SUCCESS;
}
bool pointerTaken(Connection* c, xcb_grab_pointer_cookie_t cookie) {
    const Reply<xcb_grab_pointer_reply_t> r(xcb_grab_pointer_reply(c, cookie, nullptr));
    return r && r->status == XCB_GRAB_STATUS_SUCCESS;
}
} // namespace

bool GrabKeyboard(Connection* c, Window root) {
    return keyboardTaken(c, askKeyboard(c, root));
}

bool GrabPointer(Connection* c, Window root) {
    return pointerTaken(c, askPointer(c, root));
}

uint32_t CreateToken(Connection* c, Window root) {
    const uint32_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, 1, pixmap, root, 1, 1);
    xcb_flush(c);
    return pixmap;
}

void TakeGrabsFrom(Connection* c, Window root, uint32_t token, bool* keyboard, bool* pointer) {
    xcb_grab_server(c);
    if (token && !IsOurs(c, token)) {
        xcb_generic_error_t* gone = nullptr; // taken here: nobody else need hear of it
        const Reply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, token), &gone));
        std::free(gone);
        if (g && g->depth == 1 && g->width == 1 && g->height == 1) xcb_kill_client(c, token);
    }
    const auto k = askKeyboard(c, root);
    const auto p = askPointer(c, root);
    xcb_ungrab_server(c);
    *keyboard = keyboardTaken(c, k);
    *pointer = pointerTaken(c, p);
}

void Ungrab(Connection* c) {
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

// --- windows

Window CreateCover(Connection* c, const Screen& screen, const Rect& rect, const char* name) {
    const Window w = xcb_generate_id(c);
    const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
    const uint32_t values[] = {screen.black, 1,
                               XCB_EVENT_MASK_VISIBILITY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen.root, int16_t(rect.x), int16_t(rect.y),
                      uint16_t(rect.width), uint16_t(rect.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen.visual, mask, values);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(std::strlen(name)), name);
    WatchShape(c, w);
    return w;
}

Window CreateMessageWindow(Connection* c, Window root) {
    const Window w = xcb_generate_id(c);
    const uint32_t values[] = {1};
    xcb_create_window(c, 0, w, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
    return w;
}

void Destroy(Connection* c, Window window) {
    xcb_destroy_window(c, window);
}

void WatchRoot(Connection* c, Window root) {
    const Reply<xcb_get_window_attributes_reply_t> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr));
    // Windows come, go and move; the focus changes and grabs end (reported as
    // focus and crossing events in the "ungrab" mode).
    const uint32_t wanted = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                            XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_LEAVE_WINDOW;
    const uint32_t mask = (a ? a->your_event_mask : 0) | wanted;
    if (!a || mask != a->your_event_mask)
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
}

void WatchShape(Connection* c, Window window) {
    if (ShapeEventBase(c)) xcb_shape_select_input(c, window, 1);
}

void Map(Connection* c, Window window) {
    xcb_map_window(c, window);
}

void Unmap(Connection* c, Window window) {
    xcb_unmap_window(c, window);
}

void Place(Connection* c, Window window, const Rect& rect) {
    const uint32_t values[] = {u32(rect.x), u32(rect.y), u32(rect.width), u32(rect.height)};
    xcb_configure_window(c, window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
}

void Reparent(Connection* c, Window window, Window parent, int x, int y) {
    xcb_reparent_window(c, window, parent, int16_t(x), int16_t(y));
}

void MakeWhole(Connection* c, Window window) {
    if (!ShapeEventBase(c)) return;
    for (const xcb_shape_kind_t kind : {XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT})
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, kind, window, 0, 0, XCB_NONE);
}

void PaintBlack(Connection* c, Window window, uint32_t black) {
    xcb_change_window_attributes(c, window, XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(c, 0, window, 0, 0, 0, 0);
}

void RaiseToTop(Connection* c, const std::vector<Window>& bottomToTop) {
    if (bottomToTop.empty()) return;
    // The top one first, then each right beneath the one above it: a window
    // that already stands where it belongs is never uncovered for a moment.
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, bottomToTop.back(), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    PlaceBeneath(c, std::vector<Window>(bottomToTop.begin(), bottomToTop.end() - 1),
                 bottomToTop.back());
}

void PlaceBeneath(Connection* c, const std::vector<Window>& bottomToTop, Window above) {
    for (auto it = bottomToTop.rbegin(); it != bottomToTop.rend(); ++it) {
        const uint32_t values[] = {above, XCB_STACK_MODE_BELOW};
        xcb_configure_window(c, *it, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                             values);
        above = *it;
    }
}

void Focus(Connection* c, Window window) {
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
}

bool QueryStack(Connection* c, Window root, Stack* stack) {
    const auto treeCookie = xcb_query_tree(c, root);
    const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, treeCookie, nullptr));
    if (!tree) return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> asked; // all at once: one round trip
    for (int i = 0; i < count; ++i)
        asked.push_back(xcb_get_window_attributes(c, children[i]));
    stack->bottomToTop.assign(children, children + count);
    stack->mapped.assign(size_t(count), false);
    for (int i = 0; i < count; ++i) {
        const Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, asked[size_t(i)], nullptr));
        stack->mapped[size_t(i)] = a && a->map_state != XCB_MAP_STATE_UNMAPPED;
    }
    stack->sequence = treeCookie.sequence;
    return true;
}

// --- pictures kept by the X server

uint32_t StorePicture(Connection* c, Window drawable, const Screen& screen, int width, int height,
                      const uint8_t* pixels, int pictureWidth, int pictureHeight,
                      int bytesPerLine) {
    if (width <= 0 || height <= 0 || screen.depth != 24) return 0;
    const uint32_t pixmap = xcb_generate_id(c);
    const xcb_void_cookie_t made = xcb_create_pixmap_checked(c, screen.depth, pixmap, drawable,
                                                             uint16_t(width), uint16_t(height));
    if (xcb_generic_error_t* e = xcb_request_check(c, made)) {
        std::free(e);
        return 0;
    }
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t black[] = {screen.black};
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, black);
    const xcb_rectangle_t all{0, 0, uint16_t(width), uint16_t(height)};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
    // In bands well under the largest request the server takes.
    const int w = std::min(width, pictureWidth);
    const int h = std::min(height, pictureHeight);
    const uint32_t limit = std::min<uint32_t>(xcb_get_maximum_request_length(c) * 4, 1u << 20);
    const int rows = std::max(1, int((limit - 64) / uint32_t(w * 4)));
    // Rows that lie side by side go as they are; others are copied together.
    const size_t row = size_t(w) * 4;
    const bool packed = size_t(bytesPerLine) == row;
    std::vector<uint8_t> band;
    for (int y = 0; y < h; y += rows) {
        const int n = std::min(rows, h - y);
        const uint8_t* first = pixels + size_t(y) * size_t(bytesPerLine);
        if (!packed) {
            band.resize(row * size_t(n));
            for (int i = 0; i < n; ++i)
                std::memcpy(&band[size_t(i) * row], first + size_t(i) * size_t(bytesPerLine), row);
            first = band.data();
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(w), uint16_t(n), 0,
                      int16_t(y), 0, screen.depth, uint32_t(row * size_t(n)), first);
    }
    xcb_free_gc(c, gc);
    return pixmap;
}

void ShowBackground(Connection* c, Window window, uint32_t pixmap) {
    xcb_change_window_attributes(c, window, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c, 0, window, 0, 0, 0, 0);
}

void FreePixmap(Connection* c, uint32_t pixmap) {
    if (pixmap) xcb_free_pixmap(c, pixmap);
}

// --- the claim on the display, and messages

Atom Intern(Connection* c, const char* name) {
    const Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : XCB_NONE;
}

bool Claim(Connection* c, Atom selection, Window owner, Window* holder) {
    xcb_grab_server(c);
    const Reply<xcb_get_selection_owner_reply_t> before(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    if (before && before->owner == XCB_NONE)
        xcb_set_selection_owner(c, owner, selection, XCB_CURRENT_TIME);
    const Reply<xcb_get_selection_owner_reply_t> after(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    xcb_ungrab_server(c);
    xcb_flush(c);
    *holder = after ? after->owner : XCB_NONE;
    return after && after->owner == owner;
}

void SendMessage(Connection* c, Window to, Atom type, uint32_t value) {
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = to;
    e.type = type;
    e.data.data32[0] = value;
    xcb_send_event(c, 0, to, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    xcb_flush(c);
}

} // namespace xcb
