#include "platform/topmost.h"

#include "platform/covers.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace platform {
namespace {
// Ends the loop as soon as the window is exposed.
class ExposeWatch : public QObject {
public:
    ExposeWatch(QWindow* window, QEventLoop* loop) : window_(window), loop_(loop) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Expose)
            QTimer::singleShot(0, loop_, [this] {
                if (window_->isExposed()) loop_->quit();
            });
        return false;
    }

private:
    QWindow* window_;
    QEventLoop* loop_;
};
} // namespace

void SetBandFlag(QWidget& window, bool on) {
    Qt::WindowFlags flags = window.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    window.overrideWindowFlags(flags); // QWidget::setWindowFlags would make a new window
}

bool SetWindowTopMost(QWidget& form, bool on) {
    if (!form.isWindow()) return false;
    form.winId();
    QWindow* window = form.windowHandle();
    if (!window) return false;
    // The band of a window nobody manages is ours to keep (see ScreenGuard):
    // only the widget's flag changes. Told to the X window, the flag would
    // make Qt replace that window when it is next shown, with nothing painted.
    SetBandFlag(form, on);
    if (!form.windowFlags().testFlag(Qt::X11BypassWindowManagerHint))
        window->setFlag(Qt::WindowStaysOnTopHint, on); // the window manager's band
    form.show();
    form.raise();
    form.activateWindow();
    // The form's screen covers go with it.
    if (auto* covers = form.findChild<ScreenCovers*>(QString(), Qt::FindDirectChildrenOnly))
        for (QWidget* cover : covers->covers())
            SetBandFlag(*cover, on);
    return true;
}

bool WaitUntilOnScreen(QWidget& form, int maxMs) {
    QWindow* window = form.windowHandle();
    if (!window || !form.isVisible()) return false;
    if (!window->isExposed()) {
        // Qt paints a window when it is first exposed, so once exposed it is
        // on screen and painted.
        QEventLoop loop;
        ExposeWatch watch(window, &loop);
        QTimer::singleShot(maxMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return window->isExposed();
}

} // namespace platform
