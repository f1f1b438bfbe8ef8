#pragma once

#include <QColor>
#include <QWidget>
#include <QtMath>

// The forms are laid out in twips (15 to the pixel) and coloured with
// &HBBGGRR values; these turn them into what Qt takes.
namespace forms {

constexpr double kTwipsPerPixel = 15.0;

inline int TwipsToPixels(double twips) {
    return qRound(twips / kTwipsPerPixel);
}
inline double PixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

inline void SetTwipsGeometry(QWidget* w, double left, double top, double width, double height) {
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                   TwipsToPixels(height));
}

inline QColor BgrColor(unsigned bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace forms
