#include "forms/pause.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

namespace forms {
namespace {
class DropInput : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
        }
    }
};
} // namespace

void PauseIgnoringInput(int ms) {
    DropInput drop;
    QCoreApplication::instance()->installEventFilter(&drop);
    QEventLoop loop;
    // The whole pause: a coarse timer may end it up to 5 % early.
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::instance()->removeEventFilter(&drop);
}

} // namespace forms
