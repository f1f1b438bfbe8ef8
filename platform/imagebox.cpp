#include "platform/imagebox.h"

#include <QMouseEvent>
#include <QPainter>

namespace platform {

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {}

void ImageBox::setPicture(const QImage& picture) {
    picture_ = picture;
    if (!picture_.isNull())
        resize(picture_.size());
    update();
}

void ImageBox::paintEvent(QPaintEvent* event) {
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.drawImage(event->rect(), picture_, event->rect());
}

void ImageBox::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit doubleClicked();
}

} // namespace platform
