#include "platform/covers.h"

#include "platform/screenguard.h"
#include "platform/topmost.h"
#include "platform/x11.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace platform {
namespace {
const char kCoverProperty[] = "pomlockCover";

// Paints a window's background black through the X server each time it is
// shown, on the X window it has then (a destroyed one is replaced): black
// from the moment it is mapped, before the toolkit has painted anything.
class BlackBackground : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QWindow* window = static_cast<QWidget*>(watched)->windowHandle();
        if (event->type() == QEvent::Show && window && window->handle())
            x11::PaintBlack(window->winId());
        return false;
    }
};

class Cover : public QWidget {
public:
    // Not a child of the form: a native child window would make Qt give the
    // form's own widgets native windows too, and those are lost whenever Qt
    // replaces the form's window.
    Cover(QWidget* form, QScreen* screen, ScreenCovers* owner)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
          owner_(owner), screen_(screen) {
        setProperty(kCoverProperty, true);
        setWindowTitle(form->windowTitle() + QStringLiteral(" cover"));
        // Painted black by the X server itself: no screenful of memory for a
        // picture of black.
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::black);
        setPalette(pal);
        setCursor(form->cursor());
        setGeometry(screen->geometry());
        KeepBlack(this);
        winId();
        windowHandle()->setScreen(screen);
        SetBandFlag(*this, form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        connect(screen, &QScreen::geometryChanged, this,
                [this](const QRect& r) { setGeometry(r); });
    }
    const QScreen* screen() const { return screen_; }

    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {}
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        event->accept();
        emit owner_->doubleClicked();
    }
    void closeEvent(QCloseEvent* event) override {
        // Like the lock window: no close request uncovers a locked screen.
        if (ScreenGuard::instance().isLocked()) event->ignore();
    }

private:
    ScreenCovers* owner_;
    QPointer<QScreen> screen_;
};
} // namespace

void KeepBlack(QWidget* window) {
    window->installEventFilter(new BlackBackground(window));
}

bool IsCoverWindow(const QWidget* w) {
    return w && w->property(kCoverProperty).toBool();
}

ScreenCovers::~ScreenCovers() {
    qDeleteAll(covers());
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

QWidget* ScreenCovers::coverOf(const QScreen* screen) const {
    for (QWidget* c : covers())
        if (static_cast<Cover*>(c)->screen() == screen) return c;
    return nullptr;
}

const QScreen* ScreenCovers::screenOf(const QWidget* cover) const {
    return covers().contains(cover) ? static_cast<const Cover*>(cover)->screen() : nullptr;
}

bool ScreenCovers::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_ && !frozen_) {
        if (event->type() == QEvent::Show)
            rebuild();
        else if (event->type() == QEvent::Hide)
            for (QWidget* c : covers())
                c->hide();
    }
    return QObject::eventFilter(watched, event);
}

void ScreenCovers::rebuild() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QWidget* c : covers()) {
        if (!screens.contains(static_cast<Cover*>(c)->screen())) {
            covers_.removeAll(c);
            c->deleteLater();
        }
    }
    if (!form_->isVisible()) return;
    bool added = false;
    for (QScreen* screen : screens) {
        QWidget* cover = coverOf(screen);
        if (!cover) {
            cover = new Cover(form_, screen, this);
            covers_ << cover;
            added = true;
        }
        cover->show();
    }
    // New windows open on top; the form stays above its covers.
    if (added) form_->raise();
}

} // namespace platform
