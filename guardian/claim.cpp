#include "guardian/claim.h"

#include <algorithm>
#include <ctime>
#include <poll.h>
#include <string>

namespace claim {
namespace {
constexpr char kRequest[] = "_POMLOCK_LOCK";
constexpr char kAnswer[] = "_POMLOCK_LOCKING";

long long nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}
} // namespace

bool Take(xcb::Connection* c, int screen, xcb::Window window, xcb::Window* holder) {
    const std::string name = "_POMLOCK_S" + std::to_string(screen);
    const xcb::Atom selection = xcb::Intern(c, name.c_str());
    return selection && xcb::Claim(c, selection, window, holder);
}

bool AskToLock(xcb::Connection* c, xcb::Window holder, xcb::Window replyTo, int ms) {
    const xcb::Atom answer = xcb::Intern(c, kAnswer);
    xcb::SendMessage(c, holder, xcb::Intern(c, kRequest), replyTo);
    for (const long long end = nowMs() + ms; nowMs() < end && !xcb::Broken(c);) {
        xcb::Event e;
        while (xcb::NextEvent(c, 0, &e))
            if (e.kind == xcb::Kind::ClientMessage && e.window == replyTo && e.type == answer)
                return true;
        pollfd p{xcb::Fd(c), POLLIN, 0};
        poll(&p, 1, int(std::max(0LL, end - nowMs())));
    }
    return false;
}

bool IsLockRequest(xcb::Connection* c, const xcb::Event& event, xcb::Window* requester) {
    static const xcb::Atom request = xcb::Intern(c, kRequest);
    if (event.kind != xcb::Kind::ClientMessage || event.type != request) return false;
    *requester = event.value;
    return true;
}

void Answer(xcb::Connection* c, xcb::Window requester) {
    static const xcb::Atom answer = xcb::Intern(c, kAnswer);
    if (requester) xcb::SendMessage(c, requester, answer, 0);
}

} // namespace claim
