#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace platform {

// Our stand-in for the screen-saver-running switch: while on, the keyboard and
// pointer belong to this program, so no other client and no window-manager
// shortcut can be reached. X drops a grab silently (a popup closing, a window
// being re-created), and another client may hold one when we start, so the
// grabs are taken again on the event loop for as long as the guard is on.
class KeyGuard : public QObject {
    Q_OBJECT
public:
    static KeyGuard& instance();

    // The window that covers the screen. The grabs are taken at once, before
    // it is on screen; but if it is not on screen within a second, they are
    // let go until it is: a window manager that is still starting can wait
    // for the keyboard itself and so never map the window. Once the window
    // has shown, the grabs are kept whatever happens to it.
    void setCoverWindow(QWidget* window) { cover_ = window; }

    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }

    // Tries the grabs at once instead of on the next tick.
    void regrabNow() {
        if (enabled_ && timer_.isActive()) regrab();
    }

private:
    KeyGuard();
    void regrab();

    QTimer timer_;
    QPointer<QWidget> cover_;
    int offScreenTicks_ = 0;
    bool shownOnce_ = false;
    bool enabled_ = false;
};

// The screen-saver-running switch the lock sequence and Unload use.
void SetScreenSaverRunning(bool on);

} // namespace platform
