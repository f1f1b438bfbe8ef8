#pragma once

#include "common/xcb.h"

// The guardian's hold on the display, on two X connections of its own: one
// for its black window and its claim on the display, one for nothing but the
// keyboard and pointer grabs. A client that kills whichever connection holds
// the grabs (the XF86ClearGrab key does) takes the grabs with it, never the
// black window.
namespace guardian {

class Cover {
public:
    Cover() = default;
    ~Cover();
    Cover(const Cover&) = delete;
    Cover& operator=(const Cover&) = delete;

    // Connects to the display DISPLAY names. False when it cannot be opened.
    bool connect();
    // Claims the display; false when another guardian holds it (*holder).
    bool claim(xcb::Window* holder);
    // Asks the guardian that holds the display to lock; true when it answered.
    bool askToLock(xcb::Window holder);

    // Maps the black window over the whole screen, above everything.
    void show();
    // Drops a connection another client cut and opens a new one: a new black
    // window (shown), or new grabs. True when anything was reopened.
    bool reopen();
    // The grabs' connection brings nothing we need (keys and clicks while we
    // hold them are dropped), but it is read: that is how its end is noticed.
    void readGrabs();
    void close();

    int windowFd() const { return xcb::Fd(view_); }
    int grabsFd() const { return xcb::Fd(grabs_); }
    bool broken() const { return xcb::Broken(view_) || xcb::Broken(grabs_); }
    xcb::Window window() const { return window_; }

    // Keyboard and pointer; true once both are held.
    bool grab();
    void ungrab();
    bool holdsGrabs() const { return keyboard_ && pointer_ && !xcb::Broken(grabs_); }
    bool grabsBroken() const { return xcb::Broken(grabs_); }
    // Names the connection that holds the grabs: the lock ends it to take
    // them over with no gap (handover::Word::Yield); a new one follows. 0
    // once that connection has ended: its name may be another client's now.
    uint32_t grabToken() const { return xcb::Broken(grabs_) ? 0 : token_; }

    // What the X server reported since the last call. `lock` is the lock's
    // window while one stands above the black window, else 0; `lockRunning`
    // whether a lock is there at all (on its way up, it has no window yet).
    struct Events {
        bool lockDestroyed = false; // `lock` was destroyed (its connection may be gone)
        bool grabEnded = false;     // some grab on the display ended
        bool remade = false;        // the black window was destroyed: a new one stands
        bool askedToLock = false;   // a second start asked us to lock
        xcb::Window requester = 0;  // ... and waits for the answer here
    };
    Events poll(xcb::Window lock, bool lockRunning);
    // Tells the second start that asked that it has been heard.
    void answer(xcb::Window requester);

private:
    // What the events of one poll did to the black window.
    struct Harm {
        bool spoiled = false;    // to be put right
        bool reparented = false; // ... out of another window
        bool covered = false;    // something stands above it
    };
    void note(const xcb::Event& e, xcb::Window lock, Events* events, Harm* harm);
    void make(xcb::Window above);
    void putRight(xcb::Window lock, bool reparented);
    bool connectGrabs();

    xcb::Connection* view_ = nullptr;
    xcb::Connection* grabs_ = nullptr;
    int screenNumber_ = 0;
    xcb::Screen screen_;
    uint8_t shapeBase_ = 0;
    xcb::Window window_ = 0;
    xcb::Window messages_ = 0; // owns the claim, receives requests
    uint32_t token_ = 0;
    bool keyboard_ = false;
    bool pointer_ = false;
};

} // namespace guardian
