#include "guard/screenguard.h"

#include "forms/stacking.h"
#include "guard/covers.h"
#include "guard/x11.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace guard {
namespace {
// Another client that takes the focus back at once gets it back from us no
// more often than this, so the two of us never spin.
constexpr int kFocusRetryMs = 5;

bool isPopup(const QWidget* w) {
    return w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip;
}

// Qt rounds when it scales: a pixel either way is its own doing.
bool near(const xcb::Rect& a, const xcb::Rect& b) {
    return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1 &&
           std::abs(a.width - b.width) <= 1 && std::abs(a.height - b.height) <= 1;
}

std::vector<xcb::Window> idsOf(const QList<QWidget*>& widgets) {
    std::vector<xcb::Window> ids;
    for (const QWidget* w : widgets)
        if (const xcb::Window id = x11::Id(w)) ids.push_back(id);
    return ids;
}
} // namespace

ScreenGuard::ScreenGuard(xcb::Connection* c, const xcb::Screen& screen) : c_(c), screen_(screen) {
    focusRetry_.setSingleShot(true);
    focusRetry_.setInterval(kFocusRetryMs);
    connect(&focusRetry_, &QTimer::timeout, this, [this] { focus(false); });
}

void ScreenGuard::guard(const forms::LockSurface& surface, Covers* covers) {
    surface_ = surface;
    form_ = surface.form;
    covers_ = covers;
    if (!c_) return;
    seed();
}

void ScreenGuard::seed() {
    // Told first, asked after: whatever changes in between is in the answer
    // or comes as an event after it.
    xcb::WatchRoot(c_, screen_.root);
    xcb::Stack stack;
    if (xcb::QueryStack(c_, screen_.root, &stack)) {
        model_.reset(stack);
        seeded_ = stack.sequence;
    }
}

void ScreenGuard::stop() {
    focusRetry_.stop();
    form_ = nullptr;
}

bool ScreenGuard::isLocked() const {
    return form_ && surface_.panel && !surface_.panel->isVisibleTo(form_);
}

void ScreenGuard::setFriend(xcb::Window window) {
    friend_ = window;
    restack(); // a new one opens on top: beneath ours with it
}

void ScreenGuard::watchChild(QWidget* child) {
    if (!children_.contains(child)) children_ << child;
}

ScreenGuard::Wanted ScreenGuard::wanted() const {
    Wanted w;
    if (!form_ || !form_->isVisible()) return w;
    const QList<QWidget*> order = forms::StackingOrder();
    const qsizetype lock = order.indexOf(form_.data());
    if (lock < 0) return w;
    w.hidden = order.mid(0, lock);
    if (covers_)
        for (QWidget* c : covers_->covers())
            if (c->isVisible()) w.shown << c;
    w.shown << order.mid(lock);
    // Popups and tooltips of ours (a list that drops down) stay on top.
    for (QWidget* p : QApplication::topLevelWidgets())
        if (p->isVisible() && isPopup(p)) w.shown << p;
    return w;
}

QWidget* ScreenGuard::focusTarget() const {
    const QList<QWidget*> shown = wanted().shown;
    for (auto it = shown.rbegin(); it != shown.rend(); ++it)
        if (!isPopup(*it) && !(covers_ && covers_->covers().contains(*it))) return *it;
    return form_;
}

xcb::Window ScreenGuard::keyTarget() const {
    return x11::Id(focusTarget());
}

void ScreenGuard::restack() {
    if (!c_ || !form_) return;
    const Wanted w = wanted();
    std::vector<xcb::Window> shown = idsOf(w.shown);
    if (shown.empty()) return;
    // Ours beneath the lock stand right beneath its covers, so that one the
    // X server is about to map shows nothing.
    xcb::PlaceBeneath(c_, idsOf(w.hidden), shown.front());
    if (friend_) shown.insert(shown.begin(), friend_);
    xcb::RaiseToTop(c_, shown);
    focus(true);
    xcb::Flush(c_);
    checkSoon();
}

// Another client's window came, moved or was raised: looked at at once, in
// the middle of the batch, so that a client flooding the server with its
// windows never keeps ours waiting. Ours (our own restacking) wait for the
// end of the batch.
void ScreenGuard::react(const xcb::Event& e) {
    model(e);
    if (c_ && form_ && !xcb::IsOurs(c_, e.window) && e.window != friend_)
        check();
    else
        checkSoon();
}

void ScreenGuard::checkSoon() {
    // One look after each batch of events from the X server, however many
    // windows it moved.
    if (checkPending_ || !c_ || !form_) return;
    checkPending_ = true;
    QMetaObject::invokeMethod(this, &ScreenGuard::check, Qt::QueuedConnection);
}

// Told of the next change to each one's shape as it happens; made whole at
// once, in case another client was quicker.
void ScreenGuard::watch(const std::vector<xcb::Window>& windows) {
    for (const xcb::Window id : windows) {
        if (!watched_.insert(id).second) continue;
        xcb::WatchShape(c_, id);
        xcb::MakeWhole(c_, id);
    }
}

void ScreenGuard::check() {
    checkPending_ = false;
    if (!form_ || !c_) return;
    const Wanted w = wanted();
    QList<QWidget*> guarded;
    for (QWidget* s : w.shown)
        if (!isPopup(s)) guarded << s;
    for (const auto& child : children_)
        if (child) guarded << child;
    watch(idsOf(guarded));
    for (const xcb::Window id : idsOf(w.shown))
        if (model_.contains(id) && !model_.isMapped(id)) xcb::Map(c_, id);
    for (const xcb::Window id : idsOf(w.hidden))
        if (model_.isMapped(id)) xcb::Unmap(c_, id);
    std::vector<xcb::Window> shown = idsOf(w.shown);
    if (friend_) shown.insert(shown.begin(), friend_);
    std::unordered_set<xcb::Window> ours;
    for (const xcb::Window id : model_.bottomToTop())
        if (xcb::IsOurs(c_, id)) ours.insert(id);
    if (!InOrder(model_, shown, ours)) {
        pushBack(Intruders(model_, shown, ours));
        xcb::RaiseToTop(c_, shown);
    }
    focus(false);
    xcb::Flush(c_);
}

// A window of another client that comes back above a locked screen again and
// again, faster than anything but a client fighting the lock would, is
// unmapped: the lock would otherwise lose most of the screen to a client
// that raises its windows in a loop, the X server serving it first.
void ScreenGuard::pushBack(const std::vector<xcb::Window>& intruders) {
    constexpr int kTimes = 3;
    constexpr qint64 kWithinMs = 1000;
    if (!clock_.isValid()) clock_.start();
    const qint64 now = clock_.elapsed();
    for (const xcb::Window w : intruders) {
        std::vector<qint64>& times = intrusions_[w];
        times.erase(std::remove_if(times.begin(), times.end(),
                                   [now](qint64 t) { return now - t > kWithinMs; }),
                    times.end());
        times.push_back(now);
        if (isLocked() && int(times.size()) >= kTimes) xcb::Unmap(c_, w);
    }
    if (intrusions_.size() > 256) intrusions_.clear(); // windows that went long ago
}

void ScreenGuard::focus(bool force) {
    const xcb::Window target = keyTarget();
    if (!c_ || !target || (target == focused_ && !force)) return;
    if (target == asked_ && lastAsked_.isValid() && lastAsked_.elapsed() < kFocusRetryMs) {
        if (!focusRetry_.isActive()) focusRetry_.start();
        return;
    }
    asked_ = target;
    lastAsked_.start();
    xcb::Focus(c_, target);
    xcb::Flush(c_);
}

void ScreenGuard::model(const xcb::Event& e) {
    if (int32_t(e.sequence - seeded_) >= 0) model_.apply(e, screen_.root);
}

QWidget* ScreenGuard::topLevelOf(xcb::Window window) const {
    if (!window) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (x11::Id(w) == window) return w;
    return nullptr;
}

QWidget* ScreenGuard::childOf(xcb::Window window) const {
    for (const auto& child : children_)
        if (child && x11::Id(child) == window) return child;
    return nullptr;
}

xcb::Rect ScreenGuard::placeOf(const QWidget* w) const {
    const QScreen* screen = w == form_                        ? QGuiApplication::primaryScreen()
                            : covers_ && covers_->screenOf(w) ? covers_->screenOf(w)
                                                              : w->screen();
    if (!screen) return {};
    const qreal scale = screen->devicePixelRatio();
    const QPoint origin = screen->geometry().topLeft(); // Qt scales sizes, keeps the origin
    QRect logical = w->geometry();
    if (w == form_ || (covers_ && covers_->screenOf(w))) logical = screen->geometry();
    if (!w->isWindow()) {
        const QWidget* parent = w->nativeParentWidget();
        const QPoint at = parent ? w->mapTo(parent, QPoint()) : w->pos();
        return {qRound(at.x() * scale), qRound(at.y() * scale), qRound(w->width() * scale),
                qRound(w->height() * scale)};
    }
    const QPointF at = QPointF(origin) + QPointF(logical.topLeft() - origin) * scale;
    return {qRound(at.x()), qRound(at.y()), qRound(logical.width() * scale),
            qRound(logical.height() * scale)};
}

void ScreenGuard::onCreate(const xcb::Event& e) {
    react(e);
}

bool ScreenGuard::onDestroy(const xcb::Event& e) {
    model(e);
    checkSoon();
    QWidget* w = topLevelOf(e.window);
    if (!w)
        if (QWidget* child = childOf(e.window)) w = child->window();
    // Ours, and the toolkit still has it: someone else destroyed it.
    if (!w || !form_) return false;
    if (!remaking_.contains(w)) {
        remaking_ << w;
        // Not from within the toolkit's handling of events.
        QMetaObject::invokeMethod(
            this, [this, p = QPointer<QWidget>(w)] { remake(p); }, Qt::QueuedConnection);
    }
    return true; // the toolkit would take it for a close request
}

void ScreenGuard::remake(QPointer<QWidget> window) {
    remaking_.removeAll(window);
    remaking_.removeAll(nullptr);
    if (!window || !form_ || !window->isVisible()) return;
    // A new X window for the same widget, with all it holds. A modal dialog
    // runs again (forms::ExecModal); the covers stay while the lock's own
    // window is replaced.
    const bool isForm = window == form_;
    if (isForm && covers_) covers_->setFrozen(true);
    forms::MarkRemade(*window);
    window->hide();
    window->windowHandle()->destroy();
    window->show();
    if (isForm && covers_) covers_->setFrozen(false);
    emit remade(window);
    restack();
}

void ScreenGuard::onMap(const xcb::Event& e) {
    react(e);
}

void ScreenGuard::onUnmap(const xcb::Event& e) {
    model(e);
    if (QWidget* child = e.event == e.window ? childOf(e.window) : nullptr;
        child && form_ && child->isVisible())
        xcb::Map(c_, e.window); // a child of the lock's, unmapped by someone else
    checkSoon();
}

bool ScreenGuard::onReparent(const xcb::Event& e) {
    model(e);
    checkSoon();
    if (!form_) return false;
    if (e.event == screen_.root && e.parent != screen_.root) {
        if (QWidget* w = topLevelOf(e.window)) {
            const xcb::Rect place = placeOf(w);
            xcb::Reparent(c_, e.window, screen_.root, place.x, place.y);
            xcb::Flush(c_);
            return true;
        }
    }
    if (e.event == e.window) {
        QWidget* child = childOf(e.window);
        const QWidget* parent = child ? child->nativeParentWidget() : nullptr;
        if (parent && e.parent != x11::Id(parent)) {
            const xcb::Rect place = placeOf(child);
            xcb::Reparent(c_, e.window, x11::Id(parent), place.x, place.y);
            xcb::Flush(c_);
            return true;
        }
        return topLevelOf(e.window) && e.parent != screen_.root;
    }
    return false;
}

bool ScreenGuard::onConfigure(const xcb::Event& e) {
    if (e.event == screen_.root)
        react(e);
    else
        model(e);
    if (!form_ || e.window == screen_.root) return false;
    QWidget* w = nullptr;
    if (e.event == screen_.root || e.event == e.window) w = topLevelOf(e.window);
    if (!w && e.event == e.window) w = childOf(e.window);
    if (!w || !w->isVisible()) return false;
    const xcb::Rect place = placeOf(w);
    if (near(e.rect, place)) return false;
    // Moved or resized by someone else: back where the toolkit has it, which
    // is not told of the change.
    xcb::Place(c_, e.window, place);
    xcb::Flush(c_);
    return true;
}

void ScreenGuard::onCirculate(const xcb::Event& e) {
    react(e);
}

void ScreenGuard::onShape(const xcb::Event& e) {
    if (!form_ || !e.shaped || !(topLevelOf(e.window) || childOf(e.window))) return;
    xcb::MakeWhole(c_, e.window); // none of ours has a shape of its own
    xcb::Flush(c_);
}

void ScreenGuard::onFocusIn(const xcb::Event& e) {
    if (e.inferior || e.grab || e.ungrab) return;
    focused_ = xcb::IsOurs(c_, e.window) ? e.window : 0;
    if (!focused_) checkSoon();
}

void ScreenGuard::onFocusOut(const xcb::Event& e) {
    if (e.inferior || e.grab || e.ungrab || e.window != focused_) return;
    focused_ = 0; // elsewhere, unless one of ours reports it has it now
    checkSoon();
}

} // namespace guard
