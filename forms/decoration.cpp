#include "forms/decoration.h"

#include "forms/fonts.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace forms {
namespace {
constexpr int kBorder = 1;
constexpr int kPad = 3;
constexpr int kIcon = 16;
constexpr int kCloseWidth = 16;
constexpr int kCloseHeight = 14;
constexpr int kCaptionFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
const char kTitleBarName[] = "pomlockTitleBar";

QFont captionFont() {
    QFont font = FormFont();
    font.setBold(true);
    return font;
}

class TitleBar : public QWidget {
public:
    explicit TitleBar(QWidget* window) : QWidget(window) {
        setObjectName(kTitleBarName);
        setFont(captionFont());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // Tall enough for the whole caption at the window's width.
    int heightFor(int windowWidth) const {
        const QRect text =
            fontMetrics().boundingRect(QRect(0, 0, captionWidth(windowWidth - 2 * kBorder), 1000),
                                       kCaptionFlags, window()->windowTitle());
        return std::max({kIcon, kCloseHeight, text.height()}) + 2 * kPad;
    }
    QRect captionRect() const {
        return QRect(kPad + kIcon + kPad, 0, captionWidth(width()), height());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const bool active = window()->isActiveWindow();
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, active ? QColor(0x00, 0x00, 0x80) : QColor(0x80, 0x80, 0x80));
        g.setColorAt(1, active ? QColor(0x10, 0x84, 0xd0) : QColor(0xc0, 0xc0, 0xc0));
        p.fillRect(rect(), g);
        const QIcon icon = window()->windowIcon();
        icon.paint(&p, QRect(kPad, (height() - kIcon) / 2, kIcon, kIcon));
        p.setPen(Qt::white);
        p.drawText(captionRect(), kCaptionFlags, window()->windowTitle());
        // The close box: a raised button with a cross.
        const QRect box = closeBox();
        p.fillRect(box, QColor(0xc0, 0xc0, 0xc0));
        p.setPen(pressed_ ? Qt::black : Qt::white);
        p.drawLine(box.topLeft(), box.topRight());
        p.drawLine(box.topLeft(), box.bottomLeft());
        p.setPen(pressed_ ? Qt::white : Qt::black);
        p.drawLine(box.bottomLeft(), box.bottomRight());
        p.drawLine(box.topRight(), box.bottomRight());
        p.setPen(QPen(Qt::black, 1.6));
        const QRect cross =
            box.adjusted(4, 3, -4, -3).translated(pressed_ ? 1 : 0, pressed_ ? 1 : 0);
        p.drawLine(cross.topLeft(), cross.bottomRight());
        p.drawLine(cross.topRight(), cross.bottomLeft());
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        pressed_ = closeBox().contains(e->position().toPoint());
        grabOffset_ = e->globalPosition().toPoint() - window()->pos();
        dragging_ = !pressed_;
        update();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (dragging_ && (e->buttons() & Qt::LeftButton))
            window()->move(e->globalPosition().toPoint() - grabOffset_);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const bool close = pressed_ && closeBox().contains(e->position().toPoint());
        pressed_ = dragging_ = false;
        update();
        if (close) window()->close();
    }

private:
    static int captionWidth(int barWidth) {
        return std::max(1, barWidth - kIcon - kCloseWidth - 4 * kPad);
    }
    QRect closeBox() const {
        return QRect(width() - kPad - kCloseWidth, (height() - kCloseHeight) / 2, kCloseWidth,
                     kCloseHeight);
    }

    QPoint grabOffset_;
    bool pressed_ = false;
    bool dragging_ = false;
};

// Keeps the title bar across the top and the border drawn, as the window
// changes its size, its caption or whether it is active.
class Frame : public QObject {
public:
    Frame(QWidget* window, TitleBar* bar) : QObject(window), window_(window), bar_(bar) {
        window->installEventFilter(this);
        fit();
    }
    void fit() {
        const int h = bar_->heightFor(window_->width());
        if (window_->contentsMargins() != QMargins(kBorder, kBorder + h, kBorder, kBorder))
            window_->setContentsMargins(kBorder, kBorder + h, kBorder, kBorder);
        bar_->setGeometry(kBorder, kBorder, window_->width() - 2 * kBorder, h);
        bar_->raise();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::WindowTitleChange:
            fit();
            bar_->update();
            break;
        case QEvent::ActivationChange:
        case QEvent::WindowIconChange:
            bar_->update();
            break;
        case QEvent::Paint: {
            // Beneath the window's own painting, which leaves its margins alone.
            QPainter p(window_);
            p.setPen(QColor(0xa0, 0xa0, 0xa0));
            p.drawRect(window_->rect().adjusted(0, 0, -1, -1));
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    QWidget* window_;
    TitleBar* bar_;
};

void makeUnmanaged(QWidget& window) {
    const Qt::WindowFlags flags =
        window.windowFlags() | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint;
    window.overrideWindowFlags(flags);
    // Already created: the X window becomes nobody's to manage before it is
    // mapped (changing this flag does not make the toolkit replace it).
    if (QWindow* handle = window.windowHandle())
        handle->setFlags(handle->flags() | Qt::FramelessWindowHint |
                         Qt::X11BypassWindowManagerHint);
}

// Every top-level dialog or window as it is first shown, unless it is nobody's
// to manage already (the lock window, its covers, popups and tooltips).
class DialogWatch : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(watched);
        const Qt::WindowType type = w->windowType();
        if (!w->isWindow() || (type != Qt::Window && type != Qt::Dialog) ||
            w->windowFlags().testFlag(Qt::X11BypassWindowManagerHint))
            return false;
        const bool framed = CaptionRect(*w).isValid();
        const QSize before = w->size();
        Decorate(*w);
        if (!framed) w->resize(before.grownBy(w->contentsMargins()));
        return false;
    }
};
} // namespace

void Decorate(QWidget& window) {
    makeUnmanaged(window); // again, if the window was given its flags anew
    if (!window.findChild<TitleBar*>(kTitleBarName, Qt::FindDirectChildrenOnly))
        new Frame(&window, new TitleBar(&window));
}

QWidget* ClientArea(QWidget& window, QSize size) {
    Decorate(window);
    window.resize(size.width() + 2 * kBorder, window.height());
    auto* bar = window.findChild<TitleBar*>(kTitleBarName, Qt::FindDirectChildrenOnly);
    const int h = bar->heightFor(size.width() + 2 * kBorder);
    window.setFixedSize(size.width() + 2 * kBorder, size.height() + h + 2 * kBorder);
    auto* client = new QWidget(&window);
    client->setGeometry(window.contentsRect().topLeft().x(), kBorder + h, size.width(),
                        size.height());
    return client;
}

QRect CaptionRect(const QWidget& window) {
    const auto* bar = window.findChild<TitleBar*>(kTitleBarName, Qt::FindDirectChildrenOnly);
    return bar ? bar->captionRect() : QRect();
}

int CaptionFlags() {
    return kCaptionFlags;
}

void DecorateEveryDialog() {
    static DialogWatch* watch = [] {
        auto* w = new DialogWatch;
        QCoreApplication::instance()->installEventFilter(w);
        return w;
    }();
    Q_UNUSED(watch);
}

} // namespace forms
