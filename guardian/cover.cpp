#include "guardian/cover.h"

#include "guardian/claim.h"

namespace guardian {
namespace {
constexpr int kAnswerWaitMs = 2000;
} // namespace

Cover::~Cover() {
    close();
}

bool Cover::connect() {
    view_ = xcb::Connect(&screenNumber_);
    if (!view_ || !xcb::ScreenOf(view_, screenNumber_, &screen_)) {
        close();
        return false;
    }
    shapeBase_ = xcb::ShapeEventBase(view_);
    messages_ = xcb::CreateMessageWindow(view_, screen_.root);
    // Told when a top-level window goes, when a grab ends, and when the
    // screen changes its size.
    xcb::WatchRoot(view_, screen_.root);
    xcb::Flush(view_);
    return connectGrabs();
}

bool Cover::connectGrabs() {
    int number = 0;
    grabs_ = xcb::Connect(&number);
    keyboard_ = pointer_ = false;
    token_ = grabs_ && !xcb::Broken(grabs_) ? xcb::CreateToken(grabs_, screen_.root) : 0;
    return grabs_ != nullptr;
}

bool Cover::claim(xcb::Window* holder) {
    return claim::Take(view_, screenNumber_, messages_, holder);
}

bool Cover::askToLock(xcb::Window holder) {
    return claim::AskToLock(view_, holder, messages_, kAnswerWaitMs);
}

void Cover::answer(xcb::Window requester) {
    claim::Answer(view_, requester);
}

void Cover::show() {
    if (!window_) make(0);
    xcb::Map(view_, window_);
    xcb::RaiseToTop(view_, {window_});
    xcb::Flush(view_);
}

// Black, above everything (or right beneath `above`), and nobody's to
// manage: the same as the lock's own windows, so that nothing shows while the
// lock is not there.
void Cover::make(xcb::Window above) {
    window_ = xcb::CreateCover(view_, screen_, {0, 0, screen_.width, screen_.height}, "pomlock");
    if (above) {
        xcb::PlaceBeneath(view_, {window_}, above);
        xcb::Map(view_, window_);
    }
    xcb::Flush(view_);
}

bool Cover::reopen() {
    bool reopened = false;
    if (xcb::Broken(view_)) {
        xcb::Disconnect(view_); // the server destroyed the window and ended the claim
        view_ = nullptr;
        window_ = messages_ = 0;
        view_ = xcb::Connect(&screenNumber_);
        if (!view_ || !xcb::ScreenOf(view_, screenNumber_, &screen_)) return false;
        shapeBase_ = xcb::ShapeEventBase(view_);
        messages_ = xcb::CreateMessageWindow(view_, screen_.root);
        xcb::Window holder = 0;
        claim(&holder);
        xcb::WatchRoot(view_, screen_.root);
        show();
        reopened = true;
    }
    if (xcb::Broken(grabs_)) {
        xcb::Disconnect(grabs_);
        grabs_ = nullptr;
        if (!connectGrabs()) return reopened;
        reopened = true;
    }
    return reopened;
}

void Cover::close() {
    xcb::Disconnect(grabs_);
    xcb::Disconnect(view_);
    grabs_ = view_ = nullptr;
    window_ = messages_ = token_ = 0;
    keyboard_ = pointer_ = false;
}

bool Cover::grab() {
    if (xcb::Broken(grabs_)) return false;
    keyboard_ = keyboard_ || xcb::GrabKeyboard(grabs_, screen_.root);
    pointer_ = pointer_ || xcb::GrabPointer(grabs_, screen_.root);
    return holdsGrabs();
}

void Cover::ungrab() {
    if (!xcb::Broken(grabs_)) xcb::Ungrab(grabs_);
    keyboard_ = pointer_ = false;
}

// Whole, mapped and over the whole screen, right beneath the lock (or on top
// without one), at the root: whatever another client did to it.
void Cover::putRight(xcb::Window lock, bool reparented) {
    if (!window_) {
        make(lock);
        if (!lock) show();
        return;
    }
    // (Reparenting unmaps and maps again: only when it is not the root's.)
    if (reparented) xcb::Reparent(view_, window_, screen_.root, 0, 0);
    xcb::MakeWhole(view_, window_);
    xcb::Place(view_, window_, {0, 0, screen_.width, screen_.height});
    if (lock) xcb::PlaceBeneath(view_, {window_}, lock);
    xcb::Map(view_, window_);
    if (!lock) xcb::RaiseToTop(view_, {window_});
    xcb::Flush(view_);
}

void Cover::readGrabs() {
    xcb::Event dropped;
    while (!xcb::Broken(grabs_) && xcb::NextEvent(grabs_, 0, &dropped)) {
    }
}

// One event's share in what poll() reports and puts right.
void Cover::note(const xcb::Event& e, xcb::Window lock, Events* events, Harm* harm) {
    const bool ours = window_ && e.window == window_;
    switch (e.kind) {
    case xcb::Kind::Destroy:
        events->lockDestroyed = events->lockDestroyed || (lock && e.window == lock);
        if (ours) {
            window_ = 0;
            events->remade = harm->spoiled = true;
        }
        break;
    case xcb::Kind::Unmap:
        harm->spoiled = harm->spoiled || (ours && e.event == window_);
        break;
    case xcb::Kind::Reparent:
        if (ours) harm->reparented = e.parent != screen_.root;
        harm->spoiled = harm->spoiled || harm->reparented;
        break;
    case xcb::Kind::Configure:
        if (e.window == screen_.root &&
            (e.rect.width != screen_.width || e.rect.height != screen_.height)) {
            screen_.width = e.rect.width; // a new resolution: the cover follows
            screen_.height = e.rect.height;
            harm->spoiled = true;
        }
        harm->spoiled = harm->spoiled || (ours && e.event == window_ &&
                                          e.rect != xcb::Rect{0, 0, screen_.width, screen_.height});
        break;
    case xcb::Kind::FocusIn:
    case xcb::Kind::FocusOut:
    case xcb::Kind::Leave:
        events->grabEnded = events->grabEnded || e.ungrab;
        break;
    case xcb::Kind::Visibility:
        harm->covered = harm->covered || (ours && e.obscured);
        break;
    case xcb::Kind::Shape:
        harm->spoiled = harm->spoiled || (ours && e.shaped);
        break;
    default:
        break;
    }
}

Cover::Events Cover::poll(xcb::Window lock, bool lockRunning) {
    Events events;
    if (xcb::Broken(view_)) return events;
    Harm harm;
    xcb::Event e;
    while (xcb::NextEvent(view_, shapeBase_, &e)) {
        if (claim::IsLockRequest(view_, e, &events.requester)) {
            events.askedToLock = true;
            continue;
        }
        // Only what the X server itself says counts: any client can send an
        // event that looks like one.
        if (!e.synthetic) note(e, lock, &events, &harm);
    }
    if (harm.spoiled) putRight(lock, harm.reparented);
    // With no lock, nothing may stand above the cover.
    if (harm.covered && !lockRunning && !harm.spoiled) xcb::RaiseToTop(view_, {window_});
    xcb::Flush(view_);
    return events;
}

} // namespace guardian
