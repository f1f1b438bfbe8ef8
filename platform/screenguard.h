#pragma once

#include "platform/x11.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

namespace platform {

class ScreenCovers;

// Keeps a locked screen locked. The lock window and its covers are windows the
// window manager does not manage, so it never stacks a managed window above
// them; this guard answers everything else another program may do, as the X
// server reports it: a window of its own raised above ours, our windows
// unmapped or destroyed, the input focus taken. Our own dialogs and message
// boxes, which the window manager does frame, are stacked by us right beneath
// the lock window and show through holes cut in it; their title bars work
// although our grab holds the pointer.
//
// The screen counts as locked while the settings panel is hidden; our windows
// are kept mapped in every state.
class ScreenGuard : public QObject, private x11::Listener {
    Q_OBJECT
public:
    static ScreenGuard& instance();

    // `form` covers the primary screen above `covers`; locked while `panel`
    // is hidden.
    void guard(QWidget* form, ScreenCovers* covers, QWidget* panel);
    void stop();
    bool isLocked() const;

    // A window of another process that stands with ours, beneath them (the
    // guardian's cover).
    void setFriend(x11::Window window);

private:
    ScreenGuard();

    QList<QWidget*> guarded() const; // the form's covers, then the form: bottom to top
    QList<x11::Window> friends() const;
    QRect placeOf(const QWidget* window) const;                       // the screen it covers
    QRegion shapeOf(const QWidget* window, const QRect& place) const; // empty: all of it
    void check();
    void enforce();
    void recreate(QPointer<QWidget> window);
    bool showsAboveLock(QWidget* window) const;
    void findFrames();
    QWidget* focusTarget() const;
    void reclaimFocus();
    void followDrag(QPoint rootPos);
    void endDrag(QPoint rootPos, bool released);
    void pollDrag();

    // x11::Listener
    void stackChanged() override;
    bool adoptDestroyed(x11::Window window) override;
    void focusTaken() override;
    void grabEnded() override;
    x11::Window keyTarget() override;
    void pointerOnForeign(Pointer what, x11::Window top, QPoint rootPos, int button,
                          bool plain) override;

    QPointer<QWidget> form_;
    QPointer<ScreenCovers> covers_;
    QPointer<QWidget> panel_;
    x11::Window friend_ = 0;
    QTimer backstop_;
    QTimer focusRetry_;
    QTimer dragPoll_;
    QElapsedTimer lastReclaim_;
    // Our framed windows that show above the lock, bottom to top, by frame,
    // and the holes cut for them.
    QList<std::pair<QPointer<QWidget>, x11::Window>> frames_;
    QRegion holes_;
    QList<QPointer<QWidget>> recreating_; // destroyed, a new window on its way
    bool busy_ = false;                   // guards against our own reactions' events
    bool checkPending_ = false;

    struct Drag {
        QPointer<QWidget> window;
        QPoint start;           // pointer, root coordinates
        QPoint origin;          // window position at the press
        x11::Window target = 0; // the decoration under the press
        QPoint local;
        bool moved = false;
    } drag_;
};

} // namespace platform
