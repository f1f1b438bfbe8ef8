#pragma once

#include <cstdint>
#include <string>

struct xcb_connection_t;

// The guardian's X11 calls, on a connection of its own and without Qt: a
// black window over the whole screen that no window manager manages, and the
// keyboard and pointer grabs. Everything here returns whether it worked.
namespace platform::x11cover {

using Window = uint32_t;

class Cover {
public:
    Cover() = default;
    ~Cover();
    Cover(const Cover&) = delete;
    Cover& operator=(const Cover&) = delete;

    // Connects to the display named by DISPLAY and maps the cover on top of
    // everything. False when the display cannot be opened.
    bool open();
    // Drops a broken connection and opens a new one, with a new cover.
    bool reopen();
    void close();

    bool isOpen() const { return c_ != nullptr; }
    bool broken() const; // the X server cut the connection, or it failed
    int fd() const;
    Window window() const { return window_; }

    // Maps the cover and puts it above every other window.
    void raise();
    // Puts the cover back as it was meant to be after another client moved,
    // resized, reshaped, unmapped or destroyed it: mapped, over the whole screen, and
    // (a new one) right beneath `above`, or on top without it. True when a
    // new window had to be made.
    bool restore(Window above);
    // Keyboard and pointer on the root window; true once both are ours.
    bool grab();
    void ungrab();
    bool holdsGrabs() const { return keyboard_ && pointer_; }

    // What the X server reported since the last call, by kind.
    struct Events {
        bool destroyed = false; // the watched window was destroyed
        bool grabEnded = false; // some grab on the display ended
        bool obscured = false;  // something was stacked above the cover
        bool disturbed = false; // another client moved, resized, reshaped, unmapped or destroyed it
    };
    // Reads whatever has arrived; `watched` is a top-level window of the lock.
    Events poll(Window watched);

    // The display name as the user gave it, for messages.
    static std::string displayName();

private:
    void createWindow(Window above);

    xcb_connection_t* c_ = nullptr;
    Window root_ = 0;
    uint16_t width_ = 0;
    uint16_t height_ = 0;
    uint32_t black_ = 0;
    uint32_t visual_ = 0;
    uint8_t shapeEvent_ = 0; // 0: the server has no shapes
    Window window_ = 0;
    bool keyboard_ = false;
    bool pointer_ = false;
};

} // namespace platform::x11cover
