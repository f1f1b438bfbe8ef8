#include "platform/imagebox.h"

#include <QMouseEvent>
#include <QPainter>

namespace platform {

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {}

void ImageBox::setPicture(const Picture& picture) {
    picture_ = picture;
    if (!picture_.isNull()) resize(picture_.size());
    update();
}

void ImageBox::decodeFor(QSize viewport) {
    if (!picture_.isPartial() || picture_.source().isEmpty()) return;
    Picture again;
    if (LoadPicture(picture_.source(), &again, viewport) && again.size() == picture_.size()) {
        picture_ = again;
        update();
    }
}

void ImageBox::paintEvent(QPaintEvent* event) {
    if (picture_.isNull()) return;
    // Only the decoded part has pixels; the rest of the picture never shows.
    const QRect part(picture_.partOffset(), picture_.part().size());
    const QRect area = event->rect().intersected(part);
    if (area.isEmpty()) return;
    QPainter p(this);
    p.drawImage(area, picture_.part(), area.translated(-picture_.partOffset()));
}

void ImageBox::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit doubleClicked();
}

} // namespace platform
