#pragma once

#include <QList>
#include <QString>

// Our stand-ins for the Windows private-profile (INI) routines. They keep the
// reading rules of the Windows reader, and unlike it they never write a value
// that would read back altered: a password that comes back changed locks its
// owner out.
namespace forms {

// The reader hands back at most this many bytes of a value (255-byte buffer).
constexpr int kProfileValueMaxBytes = 254;

struct ProfileEntry {
    QString section;
    QString key;
    QString value;
};

// The value under [section] key in the file at path, or "" when there is none.
QString GetPrivateProfileString(const QString& section, const QString& key, const QString& path);

// Stores one value; non-zero on success, 0 when nothing was written.
long WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path);

// Stores several values in one atomic replacement of the file: either all of
// them land or the file is left as it was.
long WritePrivateProfileStrings(const QList<ProfileEntry>& entries, const QString& path);

} // namespace forms
