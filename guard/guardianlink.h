#pragma once

#include "common/handover.h"
#include "common/xcb.h"

#include <QObject>

class QSocketNotifier;

namespace guard {

// The lock's side of the talk with the guardian that started it (see
// common/handover.h). Started on its own, there is no guardian and all of
// this does nothing: the lock works as it always did.
class GuardianLink : public QObject {
    Q_OBJECT
public:
    // Takes descriptor 3 if, and only if, it is the socket our parent made
    // for us, tells the guardian the toolkit has started, and reads what it
    // said before we started.
    GuardianLink();
    bool present() const { return fd_ >= 0; }

    // The guardian's black window, kept beneath ours.
    xcb::Window cover() const { return cover_; }
    // True once, for the first lock sequence, when the stored picture made
    // the locks before this one die: it is not loaded.
    bool skipStoredPicture();

    // The lock window is on screen and painted: the guardian yields the
    // keyboard and pointer. Waits a moment for its answer and returns the
    // token to take them over with (KeyGuard::takeOver), or 0.
    uint32_t ready(xcb::Window window);
    void settled();
    void quitting();

signals:
    void yielded(uint32_t token); // an answer that came after ready() stopped waiting
    void coverChanged(xcb::Window window);
    void lockAsked();

private:
    void send(handover::Word word, xcb::Window window = 0);
    void receive();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    xcb::Window cover_ = 0;
    bool plain_ = false;
    uint32_t token_ = 0;
    bool answered_ = false;
    bool waiting_ = false;
};

} // namespace guard
