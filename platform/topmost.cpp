#include "platform/topmost.h"

#include "platform/covers.h"
#include "platform/x11.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include <QWidget>
#include <QWindow>

namespace platform {
namespace {

// Keeps a form in the topmost band really on top: whatever another program
// stacks above it (an always-on-top window, one that raises itself or grabs
// the focus) is pushed back below within a tick.
class TopMostKeeper : public QObject {
public:
    explicit TopMostKeeper(QWidget& form) : QObject(&form), form_(form) {
        setObjectName(QStringLiteral("TopMostKeeper"));
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, &TopMostKeeper::check);
    }
    void setOn(bool on) { on ? timer_.start() : timer_.stop(); }

private:
    void check() {
        if (!form_.isVisible()) return;
        // Unmapped or iconified by another client: back on screen.
        if (form_.windowHandle() && !form_.windowHandle()->isExposed()) {
            if (++unexposedTicks_ < 3) // give a normal map a moment to arrive
                return;
            unexposedTicks_ = 0;
            // Hidden and shown again through Qt, so the window manager gets a
            // fresh map with the full-screen and above states. If that did not
            // bring it back, its X window is gone (another client destroyed
            // it): a new one is made.
            form_.hide();
            if (++remaps_ > 1) {
                form_.windowHandle()->destroy();
                remaps_ = 0;
            }
            form_.show();
            form_.raise();
            form_.activateWindow();
            return;
        }
        unexposedTicks_ = 0;
        remaps_ = 0;
        if (QApplication::activeModalWidget()) return;
        QList<unsigned long> ours;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->internalWinId()) ours << w->internalWinId();
        if (x11::OnTopOfStack(ours)) return;
        form_.raise();
        form_.activateWindow();
    }

    QWidget& form_;
    QTimer timer_;
    int unexposedTicks_ = 0;
    int remaps_ = 0;
};

TopMostKeeper& keeperOf(QWidget& form) {
    auto* keeper =
        form.findChild<TopMostKeeper*>(QStringLiteral("TopMostKeeper"), Qt::FindDirectChildrenOnly);
    return keeper ? *keeper : *new TopMostKeeper(form);
}

} // namespace

bool SetWindowTopMost(QWidget& form, bool on) {
    if (!form.isWindow()) return false;
    // Change the flag on the existing QWindow: QWidget::setWindowFlags would
    // recreate the native window and so drop any grab it holds.
    form.winId();
    QWindow* window = form.windowHandle();
    if (!window) return false;
    Qt::WindowFlags flags = form.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    form.overrideWindowFlags(flags); // keeps QWidget's view in step, no recreation
    window->setFlag(Qt::WindowStaysOnTopHint, on);
    form.show();
    form.raise();
    form.activateWindow();
    keeperOf(form).setOn(on && x11::Available());
    // The form's screen covers go with it.
    for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!IsCoverWindow(child) || !child->windowHandle()) continue;
        child->windowHandle()->setFlag(Qt::WindowStaysOnTopHint, on);
        child->overrideWindowFlags(child->windowHandle()->flags());
        child->show();
        child->raise();
    }
    return true;
}

bool WaitUntilOnScreen(QWidget& form, int maxMs) {
    QWindow* window = form.windowHandle();
    if (!window || !form.isVisible()) return false;
    if (!window->isExposed()) {
        QEventLoop loop;
        QTimer::singleShot(maxMs, &loop, &QEventLoop::quit);
        QTimer poll; // exposure arrives as an event; look after each batch
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (window->isExposed()) loop.quit();
        });
        poll.start(1);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!window->isExposed()) return false;
    form.repaint();
    return true;
}

} // namespace platform
