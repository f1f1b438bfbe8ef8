#include "guard/covers.h"

#include "forms/stacking.h"
#include "guard/x11.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace guard {
namespace {

class BlackBackground : public QObject {
public:
    BlackBackground(QWidget* window, xcb::Connection* c, uint32_t black)
        : QObject(window), c_(c), black_(black) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (const xcb::Window id = x11::Id(static_cast<QWidget*>(watched))) {
                xcb::PaintBlack(c_, id, black_);
                xcb::Flush(c_);
            }
        }
        return false;
    }

private:
    xcb::Connection* c_;
    uint32_t black_;
};

class Cover : public QWidget {
public:
    // Not a child of the form: a native child window would make Qt give the
    // form's own widgets native windows too, and those are lost whenever Qt
    // replaces the form's window.
    Cover(QWidget* form, QScreen* screen, std::function<bool()> locked,
          std::function<void()> doubleClick)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
          screen_(screen), locked_(std::move(locked)), doubleClick_(std::move(doubleClick)) {
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
        forms::StackedElsewhere(*this); // right beneath the lock window, always
        winId();
        windowHandle()->setScreen(screen);
        connect(screen, &QScreen::geometryChanged, this,
                [this](const QRect& r) { setGeometry(r); });
    }
    const QScreen* screen() const { return screen_; }

    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {}
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        event->accept();
        doubleClick_();
    }
    void closeEvent(QCloseEvent* event) override {
        // Like the lock window: no close request uncovers a locked screen.
        if (locked_()) event->ignore();
    }

private:
    QPointer<QScreen> screen_;
    std::function<bool()> locked_;
    std::function<void()> doubleClick_;
};
} // namespace

void KeepBlack(QWidget* window, xcb::Connection* c, uint32_t black) {
    if (c) window->installEventFilter(new BlackBackground(window, c, black));
}

Covers::Covers(QWidget* form, std::function<bool()> locked, std::function<void()> doubleClick)
    : QObject(form), form_(form), locked_(std::move(locked)), doubleClick_(std::move(doubleClick)) {
    form->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &Covers::rebuild);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Covers::rebuild, Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Covers::rebuild);
}

Covers::~Covers() {
    qDeleteAll(covers());
}

QList<QWidget*> Covers::covers() const {
    QList<QWidget*> result;
    for (const auto& c : covers_)
        if (c) result << c;
    return result;
}

QWidget* Covers::coverOf(const QScreen* screen) const {
    for (QWidget* c : covers())
        if (static_cast<Cover*>(c)->screen() == screen) return c;
    return nullptr;
}

const QScreen* Covers::screenOf(const QWidget* cover) const {
    return covers().contains(cover) ? static_cast<const Cover*>(cover)->screen() : nullptr;
}

bool Covers::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_ && !frozen_) {
        if (event->type() == QEvent::Show)
            rebuild();
        else if (event->type() == QEvent::Hide)
            for (QWidget* c : covers())
                c->hide();
    }
    return QObject::eventFilter(watched, event);
}

void Covers::rebuild() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QWidget* c : covers()) {
        if (!screens.contains(static_cast<Cover*>(c)->screen())) {
            covers_.removeAll(c);
            c->deleteLater();
        }
    }
    if (!form_->isVisible()) return;
    for (QScreen* screen : screens) {
        if (coverOf(screen)) {
            coverOf(screen)->show();
            continue;
        }
        auto* cover = new Cover(form_, screen, locked_, doubleClick_);
        emit coverMade(cover);
        covers_ << cover;
        cover->show();
    }
}

} // namespace guard
