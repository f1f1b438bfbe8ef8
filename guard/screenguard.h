#pragma once

#include "common/xcb.h"
#include "forms/desktop.h"
#include "guard/stack.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <unordered_map>
#include <unordered_set>

class QWidget;

namespace guard {

class Covers;

// Keeps our windows our own. Every window of ours is nobody's to manage, so
// no window manager stacks, moves, iconifies or focuses it; this guard does,
// from what the X server reports: the covers and the lock window at the top
// of the stack, our dialogs right above the lock as the program orders them,
// and ours that stand beneath the lock unmapped (nothing of them shows, no
// key reaches them). What another client does to any of them (unmapping,
// moving, reshaping, reparenting, destroying, raising a window of its own
// above them, taking the focus) is put right in the same turn of the event
// loop. Keys go to our window that has the focus by our rules, whoever holds
// the X focus.
class ScreenGuard : public QObject {
    Q_OBJECT
public:
    ScreenGuard(xcb::Connection* c, const xcb::Screen& screen);

    void guard(const forms::LockSurface& surface, Covers* covers);
    void stop();
    bool isLocked() const;

    // A window of another process that stands with ours, beneath them (the
    // guardian's black window).
    void setFriend(xcb::Window window);
    // The lock window's own children the X server could be asked to change
    // (the native ones: the picture, the title box, the panel).
    void watchChild(QWidget* child);

    // The program's order changed, or a window was shown or hidden: every
    // window goes to its place at once, before the X server maps a new one.
    void restack();

    // Our windows that stand at the top, bottom to top, and ours kept hidden
    // beneath the lock window.
    struct Wanted {
        QList<QWidget*> shown;
        QList<QWidget*> hidden;
    };
    Wanted wanted() const;
    // Where keys go: a modal window, else our topmost window above the lock,
    // else the lock window.
    QWidget* focusTarget() const;

    // What the X server reports (each handed here by guard/lock.cpp).
    xcb::Window keyTarget() const;
    void onCreate(const xcb::Event& e);
    bool onDestroy(const xcb::Event& e); // true: the toolkit must not see it
    void onMap(const xcb::Event& e);
    void onUnmap(const xcb::Event& e);
    bool onReparent(const xcb::Event& e);
    bool onConfigure(const xcb::Event& e);
    void onCirculate(const xcb::Event& e);
    void onShape(const xcb::Event& e);
    void onFocusIn(const xcb::Event& e);
    void onFocusOut(const xcb::Event& e);

signals:
    // A window of ours was given a new X window (the old one was destroyed).
    void remade(QWidget* window);

private:
    void seed();
    void model(const xcb::Event& e);
    void react(const xcb::Event& e);
    void checkSoon();
    void check();
    void focus(bool force);
    void watch(const std::vector<xcb::Window>& windows);
    void pushBack(const std::vector<xcb::Window>& intruders);
    QWidget* topLevelOf(xcb::Window window) const;
    QWidget* childOf(xcb::Window window) const;
    xcb::Rect placeOf(const QWidget* w) const; // in the X server's pixels
    void remake(QPointer<QWidget> window);

    xcb::Connection* c_;
    xcb::Screen screen_;
    forms::LockSurface surface_;
    QPointer<QWidget> form_;
    QPointer<Covers> covers_;
    QList<QPointer<QWidget>> children_;
    xcb::Window friend_ = 0;
    StackModel model_;
    uint32_t seeded_ = 0; // events before this request are in the model already
    bool checkPending_ = false;
    QList<QPointer<QWidget>> remaking_;
    std::unordered_set<xcb::Window> watched_; // told of changes to their shapes
    // Windows of others put beneath ours lately, and when.
    std::unordered_map<xcb::Window, std::vector<qint64>> intrusions_;
    QElapsedTimer clock_;
    // The focus: where the X server says it is, and where we last asked.
    xcb::Window focused_ = 0;
    xcb::Window asked_ = 0;
    QElapsedTimer lastAsked_;
    QTimer focusRetry_; // only while another client keeps taking the focus
};

} // namespace guard
