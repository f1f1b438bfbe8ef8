#pragma once

#include "forms/picture.h"

#include <QWidget>

namespace forms {

// The image control: shows its picture at natural size, one picture pixel to
// one pixel of the screen whatever the toolkit's scale, and reports
// double-clicks. With no picture it keeps its size and draws nothing.
class ImageBox : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    void setPicture(const Picture& picture);
    const Picture& picture() const { return picture_; }

    // A picture decoded only where it showed is decoded again for a screen
    // of this size (in its pixels); its size and place stay as they are.
    void decodeFor(QSize viewport);

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void present();

    Picture picture_;
};

} // namespace forms
