#pragma once

#include <QString>

// The settings file "ぽむ.ini" in the program's directory: the only
// persistent state of the program.
namespace ini {

// The program's directory with exactly one trailing '/'.
QString IniDir();

// The value under [section] key, or "" when there is none.
QString ReadIni(const QString& section, const QString& key);

// Stores one value; non-zero on success.
long WriteIni(const QString& section, const QString& key, const QString& value);

// Stores the password and the picture path together, or neither.
long WriteIniPair(const QString& section1, const QString& key1, const QString& value1,
                  const QString& section2, const QString& key2, const QString& value2);

} // namespace ini
