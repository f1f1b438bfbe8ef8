#include "platform/passwordchar.h"

#include <QLineEdit>
#include <QProxyStyle>

namespace platform {
namespace {
class PasswordCharStyle : public QProxyStyle {
public:
    explicit PasswordCharStyle(QChar mask) : mask_(mask) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return mask_.unicode();
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

private:
    QChar mask_;
};
} // namespace

void SetPasswordChar(QLineEdit* box, QChar mask) {
    auto* style = new PasswordCharStyle(mask);
    style->setParent(box);
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}

} // namespace platform
