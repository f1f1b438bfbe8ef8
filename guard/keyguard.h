#pragma once

#include "common/xcb.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace guard {

// The screen-saver-running switch: while on, the keyboard and pointer belong
// to this program, so no other client and no window-manager shortcut can be
// reached. The grabs are kept from what the X server reports: taken again
// when one ends (the grab-breaking keys, another client's grab let go), and
// retried on a timer only while another client still holds one.
class KeyGuard : public QObject {
    Q_OBJECT
public:
    KeyGuard(xcb::Connection* c, xcb::Window root);

    // The window that covers the screen. The grabs are taken at once, before
    // it is on screen; but if it is not on screen within a second, they are
    // let go until it is: a window manager that is still starting can wait
    // for the keyboard itself and so never map the window. Once the window
    // has shown, the grabs are kept whatever happens to it.
    void setWindow(QWidget* window);

    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }

    // A grab may have ended, or become free to take: tried at once.
    void regrab();
    // The guardian yields its grabs: its connection that `token` names is
    // ended and ours taken in one go (plain regrab without a token).
    void takeOver(uint32_t token);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void take();
    bool onScreen() const;

    xcb::Connection* c_;
    xcb::Window root_;
    QPointer<QWidget> window_;
    QTimer retry_; // only while a grab is wanted and someone else holds it
    QTimer grace_; // only while the window has yet to show
    bool enabled_ = false;
    bool keyboard_ = false;
    bool pointer_ = false;
    bool waitingToShow_ = false;
};

} // namespace guard
