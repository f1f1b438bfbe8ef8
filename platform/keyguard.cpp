#include "platform/keyguard.h"

#include "platform/x11.h"

#include <QWindow>

namespace platform {
namespace {
// Only a backstop: a grab that ends is taken again as soon as the X server
// reports it (see ScreenGuard). A tick costs two round trips.
constexpr int kRegrabIntervalMs = 100;
constexpr int kShowGraceMs = 1000;
} // namespace

KeyGuard& KeyGuard::instance() {
    static KeyGuard guard;
    return guard;
}

KeyGuard::KeyGuard() {
    timer_.setInterval(kRegrabIntervalMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &KeyGuard::regrab);
}

void KeyGuard::setEnabled(bool on) {
    enabled_ = on;
    if (!x11::Available()) return;
    if (on) {
        if (!timer_.isActive()) {
            offScreenTicks_ = 0;
            shownOnce_ = false;
        }
        regrab();
        timer_.start();
    } else {
        timer_.stop();
        x11::UngrabKeyboardAndPointer();
    }
}

void KeyGuard::regrab() {
    const QWindow* window = cover_ ? cover_->windowHandle() : nullptr;
    const bool onScreen = cover_ && cover_->isVisible() && window && window->isExposed();
    shownOnce_ = shownOnce_ || onScreen;
    offScreenTicks_ = onScreen ? 0 : offScreenTicks_ + 1;
    // Only a window that never showed lets go; one that another client keeps
    // unmapping does not win the keyboard that way. A grab that fails (another
    // client holds it) is simply tried again on the next tick.
    if (shownOnce_ || offScreenTicks_ * kRegrabIntervalMs <= kShowGraceMs) {
        x11::GrabKeyboard();
        x11::GrabPointer();
    } else {
        x11::UngrabKeyboardAndPointer();
    }
}

void SetScreenSaverRunning(bool on) {
    KeyGuard::instance().setEnabled(on);
}

} // namespace platform
