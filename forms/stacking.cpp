#include "forms/stacking.h"

#include "forms/desktop.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace forms {
namespace {
const char kElsewhere[] = "pomlockStackedElsewhere";
const char kRemade[] = "pomlockRemade";

// Oldest first: the last one was brought up last.
QList<QPointer<QWidget>>& broughtUp() {
    static QList<QPointer<QWidget>> list;
    return list;
}

bool isStacked(const QWidget* w) {
    const Qt::WindowType type = w->windowType();
    return w->isWindow() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::Desktop &&
           !w->property(kElsewhere).toBool();
}

// A window shown comes up on top of its band; shown or hidden, the desktop
// puts our windows in place before the X server maps it.
class ShowWatch : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
            watched->isWidgetType() && isStacked(static_cast<QWidget*>(watched))) {
            if (event->type() == QEvent::Show) BringToTop(*static_cast<QWidget*>(watched));
            desktop().restack();
        }
        return false;
    }
};

void watchShows() {
    static ShowWatch* watch = [] {
        auto* w = new ShowWatch;
        QCoreApplication::instance()->installEventFilter(w);
        return w;
    }();
    Q_UNUSED(watch);
}

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

bool InBand(const QWidget& window) {
    return window.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void BringToTop(QWidget& window) {
    watchShows();
    QList<QPointer<QWidget>>& list = broughtUp();
    list.removeAll(nullptr);
    list.removeAll(&window);
    list.append(&window);
}

QList<QWidget*> StackingOrder() {
    watchShows();
    const QList<QPointer<QWidget>>& list = broughtUp();
    QList<QWidget*> order;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && isStacked(w)) order << w;
    const auto rank = [&list](const QWidget* w) {
        const int layer = w->isModal() ? 2 : InBand(*w) ? 1 : 0;
        return std::make_pair(layer, list.indexOf(const_cast<QWidget*>(w)));
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](const QWidget* a, const QWidget* b) { return rank(a) < rank(b); });
    return order;
}

void StackedElsewhere(QWidget& window) {
    window.setProperty(kElsewhere, true);
}

bool SetWindowTopMost(QWidget& form, bool on) {
    if (!form.isWindow()) return false;
    form.winId();
    if (!form.windowHandle()) return false;
    SetBandFlag(form, on);
    BringToTop(form);
    form.show();
    desktop().restack(); // also when it was shown already
    return true;
}

int ExecModal(QDialog& dialog) {
    for (;;) {
        dialog.setProperty(kRemade, false);
        const int result = dialog.exec();
        if (!dialog.property(kRemade).toBool()) return result;
    }
}

void MarkRemade(QWidget& window) {
    window.setProperty(kRemade, true);
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

} // namespace forms
