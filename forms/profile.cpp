#include "forms/profile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <unistd.h>

namespace forms {
namespace {

// Code page 932, the "ANSI" code page of the Japanese systems the settings
// file may come from.
constexpr char kShiftJis[] = "windows-31j";
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

enum class Encoding { Utf8, ShiftJis };

struct Line {
    QByteArray raw; // the line's bytes, kept as they are unless the line is rewritten
    QByteArray eol; // "\n", "\r\n", "\r", or empty for a last line without one
    QString text;   // raw decoded
    bool badBytes = false;
};

struct Profile {
    Encoding encoding = Encoding::Utf8;
    bool bom = false;
    QList<Line> lines;
};

// The blanks the Windows reader trims around names and values: ASCII white
// space within a line.
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

QString trimBlanks(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b).toString();
}

char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

bool sameName(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i].unicode()) != asciiLower(b[i].unicode())) return false;
    return true;
}

QString decode(const QByteArray& bytes, Encoding enc, bool* bad) {
    // Stateless: a character cut off at the end is an error, not pending input.
    const auto flags = QStringDecoder::Flag::Stateless;
    QStringDecoder dec = enc == Encoding::Utf8 ? QStringDecoder(QStringDecoder::Utf8, flags)
                                               : QStringDecoder(kShiftJis, flags);
    QString text = dec(bytes);
    if (bad) *bad = dec.hasError();
    return text;
}

// Encodes text so that it decodes back to exactly the same text.
bool encodeExactly(const QString& text, Encoding enc, QByteArray* out) {
    if (enc == Encoding::Utf8) {
        *out = text.toUtf8();
        return true;
    }
    QStringEncoder encoder(kShiftJis);
    QByteArray bytes = encoder(text);
    bool bad = false;
    if (encoder.hasError() || decode(bytes, enc, &bad) != text || bad) return false;
    *out = bytes;
    return true;
}

bool isValidUtf8(const QByteArray& bytes) {
    bool bad = false;
    decode(bytes, Encoding::Utf8, &bad);
    return !bad;
}

Profile parse(QByteArray data) {
    Profile p;
    if (data.startsWith(kUtf8Bom)) {
        p.bom = true;
        data.remove(0, kUtf8Bom.size());
    } else if (!isValidUtf8(data)) {
        p.encoding = Encoding::ShiftJis;
    }
    // CR and LF never occur inside a Shift-JIS character (trail bytes are >= 0x40),
    // so splitting on bytes is safe in both encodings.
    const qsizetype n = data.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype i = start;
        while (i < n && data[i] != '\n' && data[i] != '\r')
            ++i;
        Line line;
        line.raw = data.mid(start, i - start);
        if (i < n) {
            const bool crlf = data[i] == '\r' && i + 1 < n && data[i + 1] == '\n';
            line.eol = data.mid(i, crlf ? 2 : 1);
        }
        line.text = decode(line.raw, p.encoding, &line.badBytes);
        p.lines.append(line);
        start = i + line.eol.size();
    }
    return p;
}

struct Parsed {
    enum Kind { Other, Section, Key } kind = Other;
    QString name;
    QString value; // as written, blanks trimmed, quotes still on
};

Parsed classify(const QString& text) {
    Parsed r;
    const QString t = trimBlanks(text);
    if (t.startsWith(u'[')) {
        const qsizetype close = t.lastIndexOf(u']');
        if (close > 0) {
            r.kind = Parsed::Section;
            r.name = trimBlanks(QStringView(t).mid(1, close - 1));
            return r;
        }
    }
    const qsizetype eq = t.indexOf(u'=');
    if (eq >= 0) {
        r.kind = Parsed::Key;
        r.name = trimBlanks(QStringView(t).left(eq));
        r.value = trimBlanks(QStringView(t).mid(eq + 1));
    }
    return r;
}

QString unquote(const QString& v) {
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

// Values the reader would alter are stored in quotes, so they come back whole.
QString quoteIfNeeded(const QString& v) {
    const bool blankEnds = !v.isEmpty() && (isBlank(v.front()) || isBlank(v.back()));
    if (blankEnds || unquote(v) != v) return u'"' + v + u'"';
    return v;
}

qsizetype encodedSize(const QString& text, Encoding enc) {
    QByteArray bytes;
    if (!encodeExactly(text, enc, &bytes))
        return enc == Encoding::Utf8 ? text.toUtf8().size() : text.size() * 2;
    return bytes.size();
}

// The first `max` bytes of the value, cut between characters.
QString truncateToBytes(const QString& v, Encoding enc, qsizetype max) {
    if (encodedSize(v, enc) <= max) return v;
    qsizetype used = 0, i = 0;
    while (i < v.size()) {
        const qsizetype len = (v[i].isHighSurrogate() && i + 1 < v.size()) ? 2 : 1;
        const qsizetype bytes = encodedSize(v.mid(i, len), enc);
        if (used + bytes > max) break;
        used += bytes;
        i += len;
    }
    return v.left(i);
}

// Index of the header of the first section called `section`, or -1. The keys
// before the first header form a section of their own with the empty name,
// which comes first: a header "[]" is never found by that name.
qsizetype findSection(const Profile& p, const QString& section) {
    if (section.isEmpty()) return -1;
    for (qsizetype i = 0; i < p.lines.size(); ++i) {
        const Parsed parsed = classify(p.lines[i].text);
        if (parsed.kind == Parsed::Section && sameName(parsed.name, section)) return i;
    }
    return -1;
}

bool readFile(const QString& path, QByteArray* data) {
    const QFileInfo info(path);
    if (!info.isFile()) // missing, a directory, a dangling link or a device
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    *data = f.readAll();
    return f.error() == QFileDevice::NoError;
}

QByteArray eolStyle(const Profile& p) {
    for (const Line& l : p.lines)
        if (!l.eol.isEmpty()) return l.eol;
    return "\n";
}

bool validName(const QString& name, QChar forbidden) {
    return !name.isEmpty() && trimBlanks(name) == name && !name.contains(forbidden) &&
           !name.contains(u'\n') && !name.contains(u'\r') && !name.contains(QChar(0));
}

bool storable(const QString& value, Encoding enc) {
    if (value.contains(u'\n') || value.contains(u'\r') || value.contains(QChar(0))) return false;
    QByteArray bytes;
    return encodeExactly(value, enc, &bytes) && bytes.size() <= kProfileValueMaxBytes;
}

bool appendLine(Profile& p, qsizetype at, const QString& text) {
    Line line;
    line.text = text;
    if (!encodeExactly(text, p.encoding, &line.raw)) return false;
    line.eol = eolStyle(p);
    if (at > 0 && p.lines[at - 1].eol.isEmpty()) p.lines[at - 1].eol = line.eol;
    p.lines.insert(at, line);
    return true;
}

bool apply(Profile& p, const ProfileEntry& e) {
    if (!storable(e.value, p.encoding)) return false;
    const QString stored = quoteIfNeeded(e.value);
    const qsizetype header = findSection(p, e.section);
    if (header < 0) {
        const qsizetype end = p.lines.size();
        return appendLine(p, end, u'[' + e.section + u']') &&
               appendLine(p, end + 1, e.key + u'=' + stored);
    }
    qsizetype lastKey = header;
    for (qsizetype i = header + 1; i < p.lines.size(); ++i) {
        const Parsed parsed = classify(p.lines[i].text);
        if (parsed.kind == Parsed::Section) break;
        if (parsed.kind != Parsed::Key) continue;
        lastKey = i;
        if (!sameName(parsed.name, e.key)) continue;
        // Replace only what follows the '=': key spelling and spacing stay.
        Line& line = p.lines[i];
        QByteArray value;
        if (!encodeExactly(stored, p.encoding, &value)) return false;
        line.raw = line.raw.left(line.raw.indexOf('=') + 1) + value;
        line.text = decode(line.raw, p.encoding, &line.badBytes);
        return true;
    }
    return appendLine(p, lastKey + 1, e.key + u'=' + stored);
}

// Rewrites a Shift-JIS profile as UTF-8; fails if any line is not clean Shift-JIS.
bool convertToUtf8(Profile& p) {
    for (Line& l : p.lines) {
        if (l.badBytes) return false;
        l.raw = l.text.toUtf8();
    }
    p.encoding = Encoding::Utf8;
    return true;
}

QByteArray serialize(const Profile& p) {
    QByteArray out = p.bom ? kUtf8Bom : QByteArray();
    for (const Line& l : p.lines)
        out += l.raw + l.eol;
    return out;
}

bool saveAtomically(const QString& path, const QByteArray& data, bool existed) {
    const QFileDevice::Permissions perms =
        existed ? QFile::permissions(path) : (QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QSaveFile f(path);
    // Unbuffered: a buffered write that fails only at commit is renamed into
    // place anyway by QSaveFile, truncated.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    // The file holds a password in clear text: a new one is for its owner only.
    if (!f.setPermissions(perms)) return false;
    // QSaveFile does not sync before the rename; a crash must not leave an empty file.
    if (f.write(data) != data.size() || f.error() != QFileDevice::NoError ||
        ::fsync(f.handle()) != 0) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace

QString GetPrivateProfileString(const QString& sectionAsked, const QString& keyAsked,
                                const QString& path) {
    // Names asked for are looked up without the blanks at their ends.
    const QString section = trimBlanks(sectionAsked);
    const QString key = trimBlanks(keyAsked);
    QByteArray data;
    if (!readFile(path, &data)) return {};
    const Profile p = parse(data);
    const qsizetype header = section.isEmpty() ? -1 : findSection(p, section);
    if (header < 0 && !section.isEmpty()) return {};
    for (qsizetype i = header + 1; i < p.lines.size(); ++i) {
        const Parsed parsed = classify(p.lines[i].text);
        if (parsed.kind == Parsed::Section) break;
        if (parsed.kind != Parsed::Key || !sameName(parsed.name, key)) continue;
        // The value ends at a NUL byte, as a C string does.
        const QString value = parsed.value.left(parsed.value.indexOf(QChar(0)));
        return truncateToBytes(unquote(value), p.encoding, kProfileValueMaxBytes);
    }
    return {};
}

long WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path) {
    return WritePrivateProfileStrings({{section, key, value}}, path);
}

long WritePrivateProfileStrings(const QList<ProfileEntry>& entries, const QString& path) {
    for (const ProfileEntry& e : entries)
        if (!validName(e.section, u']') || !validName(e.key, u'=') || e.key.startsWith(u'['))
            return 0;

    const QFileInfo info(path);
    const bool existed = info.exists();
    QByteArray data;
    if (existed && !readFile(path, &data)) return 0;

    const Profile original = parse(data);
    Profile p = original;
    bool ok = true;
    for (const ProfileEntry& e : entries)
        ok = ok && apply(p, e);
    if (!ok && original.encoding == Encoding::ShiftJis) {
        // Something does not fit Shift-JIS: the whole file moves to UTF-8.
        p = original;
        ok = convertToUtf8(p);
        for (const ProfileEntry& e : entries)
            ok = ok && apply(p, e);
    }
    if (!ok) return 0;
    return saveAtomically(path, serialize(p), existed) ? 1 : 0;
}

} // namespace forms
