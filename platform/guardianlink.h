#pragma once

#include "platform/x11.h"

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace platform {

// The lock's side of the talk with the guardian that started it (see
// handover.h). Started on its own, there is no guardian and all of this does
// nothing: the lock works as it always did.
class GuardianLink : public QObject {
    Q_OBJECT
public:
    static GuardianLink& instance();

    // Takes descriptor 3 if, and only if, it is the socket our parent made
    // for us, tells the guardian the toolkit has started, and reads what it
    // said before we started.
    void attach();
    bool present() const { return fd_ >= 0; }

    // The guardian's black window, kept beneath ours.
    x11::Window cover() const { return cover_; }
    // True once, for the first lock sequence, when the stored picture made
    // the locks before this one die: it is not loaded.
    bool skipStoredPicture();
    bool startsWithoutPicture() const { return plain_; }

    void settled();
    void quitting();

signals:
    void released();
    void coverChanged(x11::Window window);

private:
    friend void HandOver(QWidget& form);
    GuardianLink() = default;
    void send(const QByteArray& message);
    void receive();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    x11::Window cover_ = 0;
    bool plain_ = false;
    bool released_ = false;
};

// The form covers the screen, painted: the guardian may let go, and the
// keyboard and pointer are taken at once (or as soon as it has let go).
void HandOver(QWidget& form);

} // namespace platform
