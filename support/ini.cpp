#include "support/ini.h"

#include "forms/appinfo.h"
#include "forms/profile.h"

namespace ini {
namespace {
QString iniPath() {
    return IniDir() + QStringLiteral("ぽむ.ini");
}
} // namespace

QString IniDir() {
    QString dir = forms::AppPath();
    if (!dir.endsWith(u'/')) dir += u'/';
    return dir;
}

QString ReadIni(const QString& section, const QString& key) {
    return forms::GetPrivateProfileString(section, key, iniPath());
}

long WriteIni(const QString& section, const QString& key, const QString& value) {
    return forms::WritePrivateProfileString(section, key, value, iniPath());
}

long WriteIniPair(const QString& section1, const QString& key1, const QString& value1,
                  const QString& section2, const QString& key2, const QString& value2) {
    return forms::WritePrivateProfileStrings({{section1, key1, value1}, {section2, key2, value2}},
                                             iniPath());
}

} // namespace ini
