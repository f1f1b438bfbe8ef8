#include "guard/lock.h"

#include "guard/covers.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace guard {
namespace {
constexpr uint8_t kBadWindow = 3;
constexpr uint8_t kBadMatch = 8;
constexpr uint8_t kBadDrawable = 9;

xcb::Screen screenOf(xcb::Connection* c) {
    xcb::Screen screen;
    if (c) xcb::ScreenOf(c, xcb::ScreenNumber(), &screen);
    return screen;
}
} // namespace

Lock::Lock()
    : c_(x11::Connection()), screen_info_(screenOf(c_)), keys_(c_, screen_info_.root),
      screen_(c_, screen_info_), picture_(c_, screen_info_) {
    connect(&guardian_, &GuardianLink::yielded, &keys_, &KeyGuard::takeOver);
    connect(&guardian_, &GuardianLink::coverChanged, &screen_, &ScreenGuard::setFriend);
    connect(&guardian_, &GuardianLink::lockAsked, this, &Lock::lockWhenAsked);
    screen_.setFriend(guardian_.cover());
    // The lock window's new X window is the guardian's to watch.
    connect(&screen_, &ScreenGuard::remade, this, [this](QWidget* w) {
        if (w == surface_.form) handedOver_ = 0;
    });
    if (!c_) return;
    // Requests other clients send to a window manager through the root
    // window: watching the root window we get them too.
    for (const char* name :
         {"_NET_ACTIVE_WINDOW", "_NET_CLOSE_WINDOW", "_NET_WM_STATE", "WM_CHANGE_STATE",
          "_KDE_WM_CHANGE_STATE", "_NET_MOVERESIZE_WINDOW", "_NET_WM_MOVERESIZE",
          "_NET_RESTACK_WINDOW", "_NET_REQUEST_FRAME_EXTENTS", "_NET_WM_DESKTOP",
          "_NET_CURRENT_DESKTOP", "_NET_SHOWING_DESKTOP", "_NET_NUMBER_OF_DESKTOPS"})
        windowManagerRequests_.push_back(xcb::Intern(c_, name));
    x11::Listen(this);
}

Lock::~Lock() {
    x11::Listen(nullptr);
}

void Lock::coverScreen(const forms::LockSurface& surface) {
    surface_ = surface;
    QWidget* form = surface.form;
    // Above the picture the X server shows, the title box and the panel
    // need X windows of their own.
    for (QWidget* w : surface.overPicture) {
        if (!w) continue;
        w->setAttribute(Qt::WA_NativeWindow);
        screen_.watchChild(w);
    }
    KeepBlack(form, c_, screen_info_.black);
    covers_ = new Covers(
        form, [this] { return screen_.isLocked(); },
        [this] {
            if (surface_.doubleClick) surface_.doubleClick();
        });
    connect(covers_, &Covers::coverMade, this,
            [this](QWidget* cover) { KeepBlack(cover, c_, screen_info_.black); });
    keys_.setWindow(form);
    form->windowHandle()->installEventFilter(this);
    screen_.guard(surface, covers_);
}

void Lock::setScreenSaverRunning(bool on) {
    if (on) {
        giveUpSelections();
        screen_.guard(surface_, covers_);
    } else {
        screen_.stop();
    }
    keys_.setEnabled(on);
}

// Nothing of ours (the clear-text password the owner selected or copied)
// stays on a selection once the screen locks.
void Lock::giveUpSelections() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    if (clipboard->ownsSelection()) clipboard->clear(QClipboard::Selection);
    if (clipboard->ownsClipboard()) clipboard->clear(QClipboard::Clipboard);
}

bool Lock::showPicture(QWidget& box, const QRect& part, const QImage& pixels) {
    const bool shown = picture_.show(box, part, pixels);
    toolkitPaintsPicture_ = !shown;
    if (QWidget* view = picture_.view()) {
        screen_.watchChild(view);
        // Beneath the title box and the panel.
        if (view->windowHandle()) view->windowHandle()->lower();
    }
    return shown;
}

bool Lock::eventFilter(QObject* watched, QEvent* event) {
    // The lock window is on screen and painted (the toolkit paints as it is
    // exposed): the hand-over follows, once the painting is done.
    if (surface_.form && watched == surface_.form->windowHandle() &&
        event->type() == QEvent::Expose && surface_.form->windowHandle()->isExposed())
        QMetaObject::invokeMethod(this, &Lock::handOver, Qt::QueuedConnection);
    return false;
}

void Lock::handOver() {
    const xcb::Window id = x11::Id(surface_.form);
    if (!id || id == handedOver_ || !keys_.isEnabled()) return;
    handedOver_ = id;
    keys_.takeOver(guardian_.ready(id));
}

void Lock::lockWhenAsked() {
    if (!surface_.form || !keys_.isEnabled() || screen_.isLocked()) return;
    // A dialog open over the panel goes first; then the lock again.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        QTimer::singleShot(0, this, &Lock::lockWhenAsked);
        return;
    }
    if (surface_.lockAgain) surface_.lockAgain();
}

x11::Verdict Lock::onKey(const xcb::Event& e, void* raw) {
    // Ours to say where a key goes, whoever has the X focus now.
    const xcb::Window target = keys_.isEnabled() ? screen_.keyTarget() : 0;
    if (target && e.event != target) xcb::Retarget(raw, target);
    return x11::Verdict::Pass;
}

x11::Verdict Lock::onPointer(const xcb::Event& e) {
    // Reported to the grab window: over no window of ours.
    return e.event == screen_info_.root ? x11::Verdict::Drop : x11::Verdict::Pass;
}

void Lock::onCrossing(const xcb::Event& e) {
    if (e.ungrab) keys_.regrab();
}

void Lock::onFocusIn(const xcb::Event& e) {
    if (e.ungrab) keys_.regrab();
    screen_.onFocusIn(e);
}

void Lock::onFocusOut(const xcb::Event& e) {
    if (e.ungrab) keys_.regrab();
    screen_.onFocusOut(e);
}

x11::Verdict Lock::onDestroy(const xcb::Event& e) {
    return screen_.onDestroy(e) ? x11::Verdict::Drop : x11::Verdict::Pass;
}

x11::Verdict Lock::onReparent(const xcb::Event& e) {
    return screen_.onReparent(e) ? x11::Verdict::Drop : x11::Verdict::Pass;
}

x11::Verdict Lock::onConfigure(const xcb::Event& e) {
    return screen_.onConfigure(e) ? x11::Verdict::Drop : x11::Verdict::Pass;
}

x11::Verdict Lock::onExpose(const xcb::Event& e) {
    // Locked, everything the lock window shows the X server paints itself:
    // its black, the picture. Uncovered again and again (a client raising
    // windows over it as fast as it can), the toolkit has nothing to redraw,
    // and must not spend its time pushing a screenful of black each time.
    QWindow* window = surface_.form ? surface_.form->windowHandle() : nullptr;
    const bool nothingToRedraw = window && window->isExposed() && screen_.isLocked() &&
                                 !toolkitPaintsPicture_ && e.window == x11::Id(surface_.form);
    return nothingToRedraw ? x11::Verdict::Drop : x11::Verdict::Pass;
}

x11::Verdict Lock::onClientMessage(const xcb::Event& e) {
    // Delivered to the root window (or to ours) for a window manager: ours
    // have none, and none of these is the toolkit's to act on.
    const bool forTheWindowManager =
        std::find(windowManagerRequests_.begin(), windowManagerRequests_.end(), e.type) !=
        windowManagerRequests_.end();
    return forTheWindowManager ? x11::Verdict::Drop : x11::Verdict::Pass;
}

x11::Verdict Lock::onSelectionRequest(const xcb::Event&, const void* raw) {
    if (!keys_.isEnabled() || !screen_.isLocked()) return x11::Verdict::Pass;
    xcb::RefuseSelection(c_, raw);
    return x11::Verdict::Drop;
}

x11::Verdict Lock::onError(const xcb::Event& e) {
    // Windows come and go: a request about one that just went fails, as
    // expected, and is nothing to report.
    const bool expected =
        e.errorCode == kBadWindow || e.errorCode == kBadMatch || e.errorCode == kBadDrawable;
    return expected ? x11::Verdict::Drop : x11::Verdict::Pass;
}

} // namespace guard
