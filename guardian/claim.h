#pragma once

#include "common/xcb.h"

// One lock per X display. The guardian that covers a display owns an X
// selection of our own for it; a guardian that dies loses it with its
// connection, so a claim never outlives its lock. A second start finds the
// claim taken and asks the running guardian to lock instead.
namespace claim {

// Claims the display's screen for `window` (a message window of the
// caller's). True when it is ours; otherwise *holder is the window of the
// guardian that holds it.
bool Take(xcb::Connection* c, int screen, xcb::Window window, xcb::Window* holder);

// Asks the holder to lock and waits at most `ms` for its answer, which comes
// to `replyTo`. True when it answered.
bool AskToLock(xcb::Connection* c, xcb::Window holder, xcb::Window replyTo, int ms);

// A request of a second start, and the answer to it.
bool IsLockRequest(xcb::Connection* c, const xcb::Event& event, xcb::Window* requester);
void Answer(xcb::Connection* c, xcb::Window requester);

} // namespace claim
