#include "forms/imagebox.h"

#include "forms/desktop.h"

#include <QMouseEvent>
#include <QPainter>

namespace forms {

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {}

void ImageBox::setPicture(const Picture& picture) {
    picture_ = picture;
    if (!picture_.isNull()) {
        // The toolkit's pixels are the screen's divided by its scale.
        const qreal scale = devicePixelRatioF();
        resize(qRound(picture_.size().width() / scale), qRound(picture_.size().height() / scale));
    }
    present();
}

void ImageBox::present() {
    // Shown by the desktop, the pixels need not stay here as well.
    if (desktop().showPicture(*this, picture_.partRect(), picture_.part())) picture_.dropPixels();
    update();
}

void ImageBox::decodeFor(QSize viewport) {
    if (!picture_.isPartial() || picture_.source().isEmpty()) return;
    Picture again;
    if (LoadPicture(picture_.source(), &again, viewport) && again.size() == picture_.size()) {
        picture_ = again;
        present();
    }
}

void ImageBox::paintEvent(QPaintEvent* event) {
    if (picture_.part().isNull()) return;
    // Only the decoded part has pixels; the rest of the picture never shows.
    QImage part = picture_.part();
    const qreal scale = devicePixelRatioF();
    part.setDevicePixelRatio(scale);
    const QRectF at(QPointF(picture_.partRect().topLeft()) / scale, QSizeF(part.size()) / scale);
    if (!at.intersects(event->rect())) return;
    QPainter p(this);
    p.drawImage(at.topLeft(), part);
}

void ImageBox::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit doubleClicked();
}

} // namespace forms
