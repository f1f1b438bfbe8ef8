#include "forms/passwordbox.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>

namespace forms {
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

class KeysOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
            return static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste);
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
        }
    }
};
} // namespace

void SetPasswordChar(QLineEdit* box, QChar mask) {
    auto* style = new PasswordCharStyle(mask);
    style->setParent(box);
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}

void TakeKeysOnly(QLineEdit* box) {
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setAcceptDrops(false);
    box->installEventFilter(new KeysOnly(box));
}

} // namespace forms
