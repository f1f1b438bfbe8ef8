#include "platform/screenguard.h"

#include "platform/covers.h"
#include "platform/guardianlink.h"
#include "platform/keyguard.h"

#include <QApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace platform {
namespace {
// Only a backstop: the X server tells us of every change as it happens.
constexpr int kBackstopMs = 250;
// Another client that takes the focus back at once gets it back from us no
// more often than this, so the two of us never spin.
constexpr int kFocusRetryMs = 5;
// A title bar being dragged follows the pointer this often.
constexpr int kDragPollMs = 10;

// The X window a widget has now (QWidget::internalWinId can be stale after
// Qt replaces a window), or 0 without creating one.
x11::Window xid(const QWidget* w) {
    const QWindow* window = w ? w->windowHandle() : nullptr;
    return window && window->handle() ? x11::Window(window->winId()) : 0;
}

bool inBand(const QWidget* w) {
    return w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

// Our windows that the window manager frames: dialogs and message boxes.
bool isManaged(const QWidget* w) {
    const Qt::WindowType type = w->windowType();
    return w->isWindow() && type != Qt::Popup && type != Qt::ToolTip &&
           !w->windowFlags().testFlag(Qt::X11BypassWindowManagerHint) && !IsCoverWindow(w);
}
} // namespace

ScreenGuard& ScreenGuard::instance() {
    static ScreenGuard guard;
    return guard;
}

ScreenGuard::ScreenGuard() {
    backstop_.setInterval(kBackstopMs);
    connect(&backstop_, &QTimer::timeout, this, [this] {
        x11::Listen(this); // Qt may have reset what we asked of the root window
        check();
    });
    dragPoll_.setInterval(kDragPollMs);
    connect(&dragPoll_, &QTimer::timeout, this, &ScreenGuard::pollDrag);
    focusRetry_.setSingleShot(true);
    focusRetry_.setInterval(kFocusRetryMs);
    connect(&focusRetry_, &QTimer::timeout, this, &ScreenGuard::reclaimFocus);
}

void ScreenGuard::guard(QWidget* form, ScreenCovers* covers, QWidget* panel) {
    form_ = form;
    covers_ = covers;
    panel_ = panel;
    if (!x11::Available()) return;
    x11::Listen(this);
    backstop_.start();
}

void ScreenGuard::stop() {
    backstop_.stop();
    focusRetry_.stop();
    endDrag(QPoint(), false);
    x11::Listen(nullptr);
    form_ = nullptr;
}

void ScreenGuard::setFriend(x11::Window window) {
    friend_ = window;
    if (!window || !form_) return;
    // A new one opens on top: beneath ours with it.
    QList<x11::Window> order{window};
    for (QWidget* w : guarded())
        order << xid(w);
    for (const auto& frame : frames_)
        order << frame.second;
    x11::RaiseToTop(order);
}

bool ScreenGuard::isLocked() const {
    return form_ && panel_ && !panel_->isVisibleTo(form_);
}

QList<QWidget*> ScreenGuard::guarded() const {
    QList<QWidget*> windows;
    if (!form_ || !form_->isVisible()) return windows;
    if (covers_)
        for (QWidget* c : covers_->covers())
            if (c->isVisible() && xid(c)) windows << c;
    if (xid(form_)) windows << form_;
    return windows;
}

QList<x11::Window> ScreenGuard::friends() const {
    return friend_ ? QList<x11::Window>{friend_} : QList<x11::Window>{};
}

void ScreenGuard::stackChanged() {
    // One look after each batch of events from the X server, however many
    // windows it moved (our own start maps a dozen).
    if (checkPending_ || !form_) return;
    checkPending_ = true;
    QMetaObject::invokeMethod(this, &ScreenGuard::check, Qt::QueuedConnection);
}

void ScreenGuard::check() {
    checkPending_ = false;
    if (busy_ || !form_) return;
    busy_ = true;
    findFrames();
    enforce();
    busy_ = false;
}

QRect ScreenGuard::placeOf(const QWidget* w) const {
    // The whole screen it covers, in X's pixels: Qt keeps a screen's origin
    // and scales only its size.
    const QScreen* screen =
        w == form_ ? QGuiApplication::primaryScreen() : (covers_ ? covers_->screenOf(w) : nullptr);
    if (!screen) return {};
    const QRect g = screen->geometry();
    return QRect(g.topLeft(), (QSizeF(g.size()) * screen->devicePixelRatio()).toSize());
}

QRegion ScreenGuard::shapeOf(const QWidget* w, const QRect& place) const {
    // The form has holes where our dialogs stand; everything else is whole.
    if (w != form_ || holes_.isEmpty()) return QRegion();
    return QRegion(QRect(QPoint(), place.size())) - holes_.translated(-place.topLeft());
}

void ScreenGuard::enforce() {
    QList<x11::Window> ids, frames;
    QList<QRect> places;
    QList<QRegion> shapes;
    for (QWidget* w : guarded()) {
        ids << xid(w);
        places << placeOf(w);
        shapes << shapeOf(w, places.last());
    }
    if (ids.isEmpty()) return;
    for (const auto& frame : frames_)
        frames << frame.second;
    const x11::StackState state = x11::InspectStack(ids, places, shapes, frames, friends());
    // Unmapped (or iconified: for a window nobody manages that is the same),
    // moved, resized or reshaped by another client: put back at once, in
    // every state.
    for (x11::Window w : state.unmapped)
        x11::Map(w);
    for (x11::Window w : state.misplaced)
        x11::Place(w, places[ids.indexOf(w)]);
    for (x11::Window w : state.reshaped)
        x11::Reshape(w, shapes[ids.indexOf(w)]);
    for (x11::Window w : state.destroyed)
        adoptDestroyed(w);
    // Locked: nothing of another program above ours. Our dialogs stand right
    // beneath the lock window and show through holes in it: the window manager
    // puts whatever it stacks beneath one of them, or beneath its own windows
    // far below, never above the lock. The guardian's cover above ours would
    // hide the lock in any state; unlocked, only our dialogs are put in place.
    const QList<x11::Window> covers = ids.mid(0, ids.size() - 1);
    if (state.friendAbove ||
        (isLocked() && (state.foreignAbove || state.framesAstray || !state.unmapped.isEmpty())))
        x11::RaiseToTop(friends() + covers + state.frames + QList<x11::Window>{ids.last()} +
                        state.others);
    else if (state.framesAstray)
        x11::PlaceBeneath(state.frames, ids.last());
}

bool ScreenGuard::adoptDestroyed(x11::Window window) {
    for (QWidget* w : guarded()) {
        if (xid(w) != window) continue;
        if (recreating_.contains(w)) return true;
        recreating_ << w;
        // Not from within event processing: Qt is still handling the event.
        QMetaObject::invokeMethod(
            this, [this, p = QPointer<QWidget>(w)] { recreate(p); }, Qt::QueuedConnection);
        return true;
    }
    return false;
}

void ScreenGuard::recreate(QPointer<QWidget> window) {
    recreating_.removeAll(window);
    recreating_.removeAll(nullptr);
    if (!window || !form_) return;
    // A new X window for the same widget; the covers stay where they are
    // while the form's own window is replaced.
    const bool isForm = window == form_;
    if (isForm && covers_) covers_->setFrozen(true);
    window->hide();
    window->windowHandle()->destroy();
    window->show();
    if (isForm && covers_) covers_->setFrozen(false);
    holes_ = QRegion(); // the new window has none yet
    check();
    if (isLocked()) reclaimFocus();
    if (isForm) HandOver(*window); // its new window, for the guardian to watch
}

bool ScreenGuard::showsAboveLock(QWidget* w) const {
    // The topmost band orders our own windows: while the lock window is in it,
    // only what is in it too (or modal) stands above the lock.
    return !inBand(form_) || inBand(w) || w->isModal();
}

void ScreenGuard::findFrames() {
    QList<std::pair<QPointer<QWidget>, x11::Window>> frames;
    QRegion holes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == form_ || !w->isVisible() || !isManaged(w) || !xid(w) || !showsAboveLock(w))
            continue;
        // Not yet framed by the window manager (or none runs): the window
        // itself is never made one we stack, or the manager would not get it.
        const x11::Window frame = x11::FrameOf(xid(w));
        if (!frame || frame == xid(w)) continue;
        const bool known = std::any_of(frames_.cbegin(), frames_.cend(),
                                       [frame](const auto& f) { return f.second == frame; });
        if (!known) x11::TakeStacking(frame);
        frames.append({w, frame});
        holes += x11::RootRect(frame);
    }
    frames_ = frames;
    // Where a dialog stands, the lock has a hole: beneath the dialog are the
    // black covers, so a dialog that moves or goes leaves black behind.
    if (holes != holes_) {
        holes_ = holes;
        if (holes.isEmpty())
            form_->clearMask();
        else
            form_->setMask(QRegion(form_->rect()) - holes.translated(-form_->pos()));
    }
}

QWidget* ScreenGuard::focusTarget() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (!form_ || inBand(form_)) return form_;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != form_ && w->isVisible() && isManaged(w) && inBand(w)) return w;
    return form_;
}

x11::Window ScreenGuard::keyTarget() {
    QWidget* target = focusTarget();
    return target ? xid(target) : 0;
}

void ScreenGuard::focusTaken() {
    if (!isLocked()) return;
    if (!lastReclaim_.isValid() || lastReclaim_.elapsed() >= kFocusRetryMs)
        reclaimFocus();
    else if (!focusRetry_.isActive())
        focusRetry_.start();
}

void ScreenGuard::reclaimFocus() {
    lastReclaim_.start();
    if (QWidget* target = focusTarget(); target && xid(target)) x11::Focus(xid(target));
}

void ScreenGuard::grabEnded() {
    KeyGuard::instance().regrabNow();
}

void ScreenGuard::pointerOnForeign(Pointer what, x11::Window top, QPoint rootPos, int button,
                                   bool plain) {
    // The window manager's frame of one of our dialogs: our grab keeps every
    // click from it, so we move the dialog ourselves and pass a plain click
    // on to the decoration under it (the close box).
    if (what == Pointer::Press) {
        endDrag(rootPos, false);
        if (button != 1 || !plain) return;
        for (const auto& [w, frame] : frames_) {
            if (frame != top || !w) continue;
            drag_.window = w;
            drag_.start = rootPos;
            drag_.origin = w->pos();
            drag_.target = x11::DeepestAt(frame, rootPos, &drag_.local);
            // Over our own windows the pointer's moves go to Qt, not here:
            // where it is is asked until the button is let go.
            dragPoll_.start();
            return;
        }
        return;
    }
    if (what == Pointer::Motion && button == 1)
        followDrag(rootPos);
    else if (what == Pointer::Release && button == 1)
        endDrag(rootPos, true);
}

void ScreenGuard::followDrag(QPoint rootPos) {
    if (!drag_.window) return;
    const QPoint delta = rootPos - drag_.start;
    if (!drag_.moved && delta.manhattanLength() < QApplication::startDragDistance()) return;
    drag_.moved = true;
    drag_.window->move(drag_.origin + delta);
}

void ScreenGuard::endDrag(QPoint rootPos, bool released) {
    dragPoll_.stop();
    if (drag_.window && released) {
        followDrag(rootPos);
        if (!drag_.moved) x11::SendClick(drag_.target, drag_.local, drag_.start, 1);
    }
    drag_ = {};
}

void ScreenGuard::pollDrag() {
    QPoint pos;
    bool held = false;
    if (!x11::QueryPointer(&pos, &held)) return endDrag(drag_.start, false);
    if (held)
        followDrag(pos);
    else
        endDrag(pos, true);
}

} // namespace platform
