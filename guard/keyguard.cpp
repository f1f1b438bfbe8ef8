#include "guard/keyguard.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace guard {
namespace {
constexpr int kRetryMs = 50;
constexpr int kShowGraceMs = 1000;
} // namespace

KeyGuard::KeyGuard(xcb::Connection* c, xcb::Window root) : c_(c), root_(root) {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &KeyGuard::take);
    grace_.setSingleShot(true);
    grace_.setInterval(kShowGraceMs);
    connect(&grace_, &QTimer::timeout, this, [this] {
        if (onScreen() || !c_) return;
        // Not on screen yet: let go until it is.
        waitingToShow_ = true;
        retry_.stop();
        xcb::Ungrab(c_);
        keyboard_ = pointer_ = false;
    });
}

void KeyGuard::setWindow(QWidget* window) {
    window_ = window;
    window->winId();
    window->windowHandle()->installEventFilter(this);
}

bool KeyGuard::onScreen() const {
    return window_ && window_->isVisible() && window_->windowHandle() &&
           window_->windowHandle()->isExposed();
}

bool KeyGuard::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Expose && waitingToShow_ && onScreen()) {
        waitingToShow_ = false;
        take();
    }
    return false;
}

void KeyGuard::setEnabled(bool on) {
    if (on == enabled_) {
        if (on) regrab(); // the lock sequence again: make sure
        return;
    }
    enabled_ = on;
    if (on) {
        waitingToShow_ = false;
        take();
        if (!onScreen()) grace_.start();
        return;
    }
    retry_.stop();
    grace_.stop();
    waitingToShow_ = false;
    keyboard_ = pointer_ = false;
    if (c_) xcb::Ungrab(c_);
}

void KeyGuard::regrab() {
    if (!enabled_ || waitingToShow_) return;
    keyboard_ = pointer_ = false; // which one ended, the X server does not say
    take();
}

void KeyGuard::takeOver(uint32_t token) {
    if (!token || !enabled_ || waitingToShow_ || !c_) {
        regrab();
        return;
    }
    xcb::TakeGrabsFrom(c_, root_, token, &keyboard_, &pointer_);
    if (!keyboard_ || !pointer_) take(); // someone else's grab: retried
}

void KeyGuard::take() {
    if (!enabled_ || waitingToShow_ || !c_) return;
    keyboard_ = keyboard_ || xcb::GrabKeyboard(c_, root_);
    pointer_ = pointer_ || xcb::GrabPointer(c_, root_);
    if (keyboard_ && pointer_)
        retry_.stop();
    else if (!retry_.isActive())
        retry_.start();
}

} // namespace guard
