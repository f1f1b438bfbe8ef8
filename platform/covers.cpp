#include "platform/covers.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace platform {
namespace {
const char kCoverProperty[] = "pomlockCover";

class Cover : public QWidget {
public:
    Cover(QWidget* form, QScreen* screen, ScreenCovers* owner)
        : QWidget(form, Qt::Window | Qt::FramelessWindowHint), owner_(owner) {
        setProperty(kCoverProperty, true);
        setWindowTitle(form->windowTitle());
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::black);
        setPalette(pal);
        setAutoFillBackground(true);
        setCursor(form->cursor());
        setGeometry(screen->geometry());
        winId();
        windowHandle()->setScreen(screen);
        windowHandle()->setFlag(Qt::WindowStaysOnTopHint,
                                form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        overrideWindowFlags(windowHandle()->flags());
        setWindowState(Qt::WindowFullScreen);
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        event->accept();
        emit owner_->doubleClicked();
    }

private:
    ScreenCovers* owner_;
};
} // namespace

bool IsCoverWindow(const QWidget* w) {
    return w && w->property(kCoverProperty).toBool();
}

ScreenCovers::ScreenCovers(QWidget* form) : QObject(form), form_(form) {
    form->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &ScreenCovers::rebuild);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenCovers::rebuild,
            Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenCovers::rebuild);
}

QList<QWidget*> ScreenCovers::covers() const {
    QList<QWidget*> result;
    for (const auto& c : covers_)
        if (c) result << c;
    return result;
}

bool ScreenCovers::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_) {
        if (event->type() == QEvent::Show)
            rebuild();
        else if (event->type() == QEvent::Hide)
            for (QWidget* c : covers())
                c->hide();
    }
    return QObject::eventFilter(watched, event);
}

void ScreenCovers::rebuild() {
    for (QWidget* c : covers())
        c->deleteLater();
    covers_.clear();
    if (!form_->isVisible()) return;
    const QScreen* own = form_->screen();
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen == own) continue;
        auto* cover = new Cover(form_, screen, this);
        cover->show();
        covers_ << cover;
    }
}

} // namespace platform
