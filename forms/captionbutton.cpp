#include "forms/captionbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace forms {

CaptionButton::CaptionButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {}

QRect CaptionButton::captionRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    // A button's 3-D edge and focus frame take 4 pixels on either side; the
    // caption gets what is left.
    constexpr int kEdge = 4;
    return style()
        ->subElementRect(QStyle::SE_PushButtonContents, &option, this)
        .intersected(rect().adjusted(kEdge, 0, -kEdge, 0));
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear(); // the bevel and the focus frame only
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.drawItemText(captionRect(), kCaptionFlags, palette(), isEnabled(), caption,
                         QPalette::ButtonText);
}

} // namespace forms
