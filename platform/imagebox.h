#pragma once

#include <QImage>
#include <QWidget>

namespace platform {

// The image control: shows its picture at natural size, unscaled, and reports
// double-clicks. With no picture it keeps its size and draws nothing.
class ImageBox : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

} // namespace platform
