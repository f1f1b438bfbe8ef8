#include "platform/topmost.h"

#include <QWidget>
#include <QWindow>

namespace platform {

bool SetWindowTopMost(QWidget& form, bool on) {
    if (!form.isWindow())
        return false;
    // Change the flag on the existing QWindow: QWidget::setWindowFlags would
    // recreate the native window and so drop any grab it holds.
    form.winId();
    QWindow* window = form.windowHandle();
    if (!window)
        return false;
    Qt::WindowFlags flags = form.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    form.overrideWindowFlags(flags); // keeps QWidget's view in step, no recreation
    window->setFlag(Qt::WindowStaysOnTopHint, on);
    form.show();
    form.raise();
    form.activateWindow();
    return true;
}

} // namespace platform
