#pragma once

#include <QPushButton>

namespace forms {

// A command button as the forms have it: a caption too wide for one line
// wraps onto further lines, centred, instead of being cut off.
class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    CaptionButton(const QString& caption, QWidget* parent);

    // Where the caption is drawn, and the flags it is drawn with.
    QRect captionRect() const;
    static constexpr int kCaptionFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace forms
