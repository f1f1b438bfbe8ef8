#include "platform/topmost.h"

#include "platform/covers.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace platform {

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
    // The form's screen covers go with it.
    if (auto* covers = form.findChild<ScreenCovers*>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QWidget* cover : covers->covers()) {
            if (!cover->windowHandle()) continue;
            cover->windowHandle()->setFlag(Qt::WindowStaysOnTopHint, on);
            cover->overrideWindowFlags(cover->windowHandle()->flags());
        }
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
