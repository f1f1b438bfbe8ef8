#include "forms/qttexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace forms {

bool UseJapaneseQtTexts() {
    static QTranslator* translator = nullptr;
    if (translator) return true;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                 QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

} // namespace forms
