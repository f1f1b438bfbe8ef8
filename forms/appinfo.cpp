#include "forms/appinfo.h"

#include "forms/twips.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace forms {
namespace {
QString& overriddenPath() {
    static QString path;
    return path;
}

QRect primaryScreen() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect();
}
} // namespace

QString AppPath() {
    QString path = overriddenPath();
    if (path.isEmpty()) path = QCoreApplication::applicationDirPath();
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

void SetAppPathForTesting(const QString& dir) {
    overriddenPath() = dir;
}

QString AppTitle() {
    return QStringLiteral("ぽむ");
}

double ScreenWidthTwips() {
    return PixelsToTwips(primaryScreen().width());
}
double ScreenHeightTwips() {
    return PixelsToTwips(primaryScreen().height());
}

} // namespace forms
