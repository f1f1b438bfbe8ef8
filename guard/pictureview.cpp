#include "guard/pictureview.h"

#include "guard/x11.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace guard {
namespace {

class View : public QWidget {
public:
    View(QWidget* box, std::function<void()> windowChanged)
        : QWidget(box), windowChanged_(std::move(windowChanged)) {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_DontCreateNativeAncestors);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents); // double-clicks go to the control
    }
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {}
    bool event(QEvent* e) override {
        // A new X window (another client destroyed the lock's): the pixmap
        // stays with the server, the new window is given it again.
        if (e->type() == QEvent::WinIdChange) windowChanged_();
        return QWidget::event(e);
    }

private:
    std::function<void()> windowChanged_;
};

// 32-bit pixels the X server takes as they are; a picture with transparency
// is shown over the lock's black.
QImage opaque(const QImage& pixels) {
    if (pixels.format() == QImage::Format_RGB32) return pixels;
    QImage rgb(pixels.size(), QImage::Format_RGB32);
    rgb.fill(Qt::black);
    QPainter p(&rgb);
    p.drawImage(0, 0, pixels);
    return rgb;
}
} // namespace

PictureView::PictureView(xcb::Connection* c, const xcb::Screen& screen) : c_(c), screen_(screen) {}

PictureView::~PictureView() {
    if (c_) xcb::FreePixmap(c_, pixmap_);
}

bool PictureView::show(QWidget& box, const QRect& part, const QImage& pixels) {
    if (!c_ || screen_.depth != 24) return false;
    if (pixels.isNull()) {
        // No picture: nothing shows. Pixels dropped already: still shown.
        if (part.isEmpty() && view_) view_->hide();
        return true;
    }
    if (!view_)
        view_ = new View(&box, [this] {
            if (const xcb::Window id = x11::Id(view_); id && pixmap_) {
                xcb::ShowBackground(c_, id, pixmap_);
                xcb::Flush(c_);
            }
        });
    const qreal scale = box.devicePixelRatioF();
    view_->setGeometry(
        QRect((QPointF(part.topLeft()) / scale).toPoint(), (QSizeF(part.size()) / scale).toSize()));
    view_->show();
    const xcb::Window id = x11::Id(view_);
    const QSize device = (QSizeF(view_->size()) * scale).toSize();
    const QImage rgb = opaque(pixels);
    const uint32_t pixmap =
        id ? xcb::StorePicture(c_, id, screen_, device.width(), device.height(), rgb.constBits(),
                               rgb.width(), rgb.height(), int(rgb.bytesPerLine()))
           : 0;
    if (!pixmap) {
        view_->hide();
        return false;
    }
    xcb::ShowBackground(c_, id, pixmap);
    xcb::FreePixmap(c_, pixmap_); // the window holds the new one
    pixmap_ = pixmap;
    xcb::Flush(c_);
    return true;
}

} // namespace guard
