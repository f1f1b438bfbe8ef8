#include "forms/fonts.h"

#include <QApplication>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <future>

namespace forms {

void WarmUpFonts() {
    static std::future<void> done = std::async(std::launch::async, [] { FcInit(); });
}

QFont PGothicFont(double pointSize, bool bold) {
    static const QString family = QStringLiteral("ＭＳ Ｐゴシック");
    static const bool substituted = [] {
        QFont::insertSubstitutions(
            family, {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                     QStringLiteral("VL PGothic"), QStringLiteral("IPAGothic")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QFont FormFont() {
    static const QString family = QStringLiteral("IPAPGothic");
    static const bool substituted = [] {
        QFont::insertSubstitutions(family, {QStringLiteral("VL PGothic"),
                                            QStringLiteral("Noto Sans CJK JP"),
                                            QStringLiteral("IPAGothic")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(family);
    font.setPointSizeF(9);
    return font;
}

void UseFormFont() {
    static const bool done = [] {
        QApplication::setFont(FormFont());
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace forms
