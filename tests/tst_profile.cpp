#include "forms/profile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include "diskfull.h"

using forms::GetPrivateProfileString;
using forms::WritePrivateProfileString;

namespace {
QByteArray sjis(const QString& s) {
    return QStringEncoder("windows-31j")(s);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}
} // namespace

class TestProfile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("ぽむ.ini")); }

private slots:
    void init() { QFile::remove(path()); }

    void read_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString p = "Pass", w = "Word";
        QTest::newRow("lf") << QByteArray("[Pass]\nWord=abc\n") << p << w << "abc";
        QTest::newRow("crlf") << QByteArray("[Pic]\r\nBack=x\r\n[Pass]\r\nWord=abc\r\n") << p << w
                              << "abc";
        QTest::newRow("cr") << QByteArray("[Pass]\rWord=abc") << p << w << "abc";
        QTest::newRow("blanks trimmed")
            << QByteArray(" \t[ Pass ]\t\n\n  Word \t=  a b \t\n") << p << w << "a b";
        QTest::newRow("names ignore case") << QByteArray("[pASS]\nwORD=x\n") << p << w << "x";
        QTest::newRow("first section wins")
            << QByteArray("[Pass]\nWord=a\n[Pass]\nWord=b\n") << p << w << "a";
        QTest::newRow("first key wins") << QByteArray("[Pass]\nWord=a\nword=b\n") << p << w << "a";
        QTest::newRow("key of first section only")
            << QByteArray("[Pass]\nX=1\n[Pass]\nWord=b\n") << p << w << "";
        QTest::newRow("line without = never found")
            << QByteArray("[Pass]\nWord\nWord=x\n") << p << w << "x";
        QTest::newRow("key in another section") << QByteArray("[Pic]\nWord=x\n") << p << w << "";
        QTest::newRow("key before any section") << QByteArray("Word=x\n[Pass]\n") << p << w << "";
        QTest::newRow("double quotes")
            << QByteArray("[Pass]\nWord=\"  a b \"\n") << p << w << "  a b ";
        QTest::newRow("single quotes") << QByteArray("[Pass]\nWord='x'\n") << p << w << "x";
        QTest::newRow("unmatched quotes") << QByteArray("[Pass]\nWord=\"x'\n") << p << w << "\"x'";
        QTest::newRow("lone quote") << QByteArray("[Pass]\nWord=\"\n") << p << w << "\"";
        QTest::newRow("no inline comment") << QByteArray("[Pass]\nWord=a;b\n") << p << w << "a;b";
        QTest::newRow("= in value") << QByteArray("[Pass]\nWord=a=b\n") << p << w << "a=b";
        QTest::newRow("missing section") << QByteArray("[Pic]\nBack=x\n") << p << w << "";
        QTest::newRow("empty file") << QByteArray() << p << w << "";
        QTest::newRow("utf-8 bom")
            << QByteArray("\xEF\xBB\xBF[Pass]\nWord=ぽむ\n") << p << w << "ぽむ";
        QTest::newRow("shift-jis") << QByteArray("[Pass]\r\nWord=") + sjis("ぽむ①") + "\r\n"
                                   << p << w << "ぽむ①";
        QTest::newRow("shift-jis trail byte 0x5C")
            << QByteArray("[Pic]\r\nBack=C:\\") + sjis("表示.bmp") << "Pic"
            << "Back"
            << "C:\\表示.bmp";
        QTest::newRow("254 of 300 ascii")
            << QByteArray("[Pass]\nWord=") + QByteArray(300, 'a') << p << w << QString(254, 'a');
        QTest::newRow("utf-8 cut between characters")
            << QByteArray("[Pass]\nWord=") + QString("ぽ").repeated(100).toUtf8() << p << w
            << QString("ぽ").repeated(84);
        QTest::newRow("shift-jis cut at 254")
            << QByteArray("[Pass]\nWord=") + sjis(QString("ぽ").repeated(200)) << p << w
            << QString("ぽ").repeated(127);
        QTest::newRow("shift-jis cut between characters")
            << QByteArray("[Pass]\nWord=a") + sjis(QString("ぽ").repeated(200)) << p << w
            << "a" + QString("ぽ").repeated(126);
        QTest::newRow("quotes stripped before the cut")
            << QByteArray("[Pass]\nWord=\"") + QByteArray(254, 'b') + "\"" << p << w
            << QString(254, 'b');
        QTest::newRow("nul byte ends the value")
            << QByteArray("[Pass]\nWord=a\0b\n", 15) << p << w << "a";
        QTest::newRow("nul byte before a closing quote")
            << QByteArray("[Pass]\nWord=\"a\0\"\n", 16) << p << w << "\"a";
        QTest::newRow("vertical tab and form feed trimmed")
            << QByteArray("\v[\fPass\v]\f\n\fWord\v=\f a\v\f\n") << p << w << "a";
        QTest::newRow("keys before the first header: the empty name")
            << QByteArray("Word=top\n[Pass]\nWord=x\n") << "" << w << "top";
        QTest::newRow("[] is never found by the empty name")
            << QByteArray("[]\nWord=x\n") << "" << w << "";
        QTest::newRow("[] after keys of the empty name")
            << QByteArray("Word=top\n[]\nWord=x\n") << "" << w << "top";
        QTest::newRow("[ without ] is no header")
            << QByteArray("[Pass]\n[Pic\nWord=x\n") << p << w << "x";
        QTest::newRow("[ without ] leaves the key in the section before")
            << QByteArray("[Pic]\n[Pass\nWord=x\n") << p << w << "";
        QTest::newRow("names asked for are trimmed") << QByteArray("[Pass]\nWord=x\n") << " Pass\t"
                                                     << "\vWord "
                                                     << "x";
    }
    void read() {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        writeAll(path(), file);
        QCOMPARE(GetPrivateProfileString(section, key, path()), expected);
    }

    void readOddPaths_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("missing") << dir.filePath("none.ini");
        QTest::newRow("directory") << dir.path();
        QTest::newRow("device") << "/dev/zero";
        QTest::newRow("empty path") << QString();
    }
    void readOddPaths() {
        QFETCH(QString, target);
        QCOMPARE(GetPrivateProfileString("Pass", "Word", target), QString());
    }

    void readDanglingLink() {
        QVERIFY(QFile::link(dir.filePath("gone"), path()));
        QCOMPARE(GetPrivateProfileString("Pass", "Word", path()), QString());
        QVERIFY(WritePrivateProfileString("Pass", "Word", "x", path()) >= 0); // no crash
        QFile::remove(path());
    }

    void hugeLine() {
        QByteArray big = "[Pass]\nWord=" + QByteArray(50 * 1024 * 1024, 'z') + "\n[Pic]\nBack=p\n";
        writeAll(path(), big);
        QCOMPARE(GetPrivateProfileString("Pass", "Word", path()), QString(254, 'z'));
        QCOMPARE(GetPrivateProfileString("Pic", "Back", path()), QString("p"));
        QVERIFY(WritePrivateProfileString("Pic", "Back", "q", path()) != 0);
        QCOMPARE(readAll(path()).size(), big.size());
    }

    void writeLayout_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("create") << QByteArray("<missing>") << "Pass"
                                << "Word"
                                << "abc" << QByteArray("[Pass]\nWord=abc\n");
        QTest::newRow("replace in place")
            << QByteArray("; note\r\n[PASS]\r\n  word = old  \r\nOther=1\r\n") << "Pass"
            << "Word"
            << "new" << QByteArray("; note\r\n[PASS]\r\n  word =new\r\nOther=1\r\n");
        QTest::newRow("append key after last key of section")
            << QByteArray("[Pass]\nA=1\n\n[Pic]\nBack=x\n") << "Pass"
            << "Word"
            << "w" << QByteArray("[Pass]\nA=1\nWord=w\n\n[Pic]\nBack=x\n");
        QTest::newRow("append key to empty section")
            << QByteArray("[Pass]\n[Pic]\n") << "Pass"
            << "Word"
            << "w" << QByteArray("[Pass]\nWord=w\n[Pic]\n");
        QTest::newRow("append section, no final newline")
            << QByteArray("[Pic]\r\nBack=x") << "Pass"
            << "Word"
            << "w" << QByteArray("[Pic]\r\nBack=x\r\n[Pass]\r\nWord=w\r\n");
        QTest::newRow("line without = kept") << QByteArray("[Pass]\nnoise\nWord=1\n") << "Pass"
                                             << "Word"
                                             << "2" << QByteArray("[Pass]\nnoise\nWord=2\n");
        QTest::newRow("later duplicates untouched")
            << QByteArray("[Pass]\nWord=a\nWord=b\n[Pass]\nWord=c\n") << "Pass"
            << "Word"
            << "z" << QByteArray("[Pass]\nWord=z\nWord=b\n[Pass]\nWord=c\n");
        QTest::newRow("empty value") << QByteArray("[Pass]\nWord=a\n") << "Pass"
                                     << "Word" << QString() << QByteArray("[Pass]\nWord=\n");
        QTest::newRow("blanks at ends quoted") << QByteArray("<missing>") << "Pass"
                                               << "Word"
                                               << " a\t" << QByteArray("[Pass]\nWord=\" a\t\"\n");
        QTest::newRow("quoted value quoted again") << QByteArray("<missing>") << "Pass"
                                                   << "Word"
                                                   << "'x'" << QByteArray("[Pass]\nWord=\"'x'\"\n");
        QTest::newRow("bom kept") << QByteArray("\xEF\xBB\xBF[Pass]\nWord=a\n") << "Pass"
                                  << "Word"
                                  << "ぽ" << QByteArray("\xEF\xBB\xBF[Pass]\nWord=ぽ\n");
        QTest::newRow("shift-jis kept") << QByteArray("[Pass]\r\nWord=") + sjis("ぽ") + "\r\n"
                                        << "Pic"
                                        << "Back"
                                        << "/home/む.jpg"
                                        << QByteArray("[Pass]\r\nWord=") + sjis("ぽ") +
                                               "\r\n[Pic]\r\nBack=" + sjis("/home/む.jpg") + "\r\n";
        QTest::newRow("shift-jis to utf-8 when a character does not fit")
            << QByteArray("[Pass]\r\nWord=") + sjis("ぽ") + "\r\n"
            << "Pic"
            << "Back"
            << "😀" << QString("[Pass]\r\nWord=ぽ\r\n[Pic]\r\nBack=😀\r\n").toUtf8();
    }
    void writeLayout() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        if (before != "<missing>") writeAll(path(), before);
        QVERIFY(WritePrivateProfileString(section, key, value, path()) != 0);
        QCOMPARE(readAll(path()), after);
        QCOMPARE(GetPrivateProfileString(section, key, path()), value);
    }

    void refusedValues_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("value");
        const QByteArray utf8("[Pass]\nWord=old\n");
        const QByteArray shiftJis = "[Pass]\nWord=" + sjis("ぽ") + "\n";
        QTest::newRow("255 ascii bytes") << utf8 << QString(255, 'a');
        QTest::newRow("255 utf-8 bytes") << utf8 << QString("ぽ").repeated(85);
        QTest::newRow("255 shift-jis bytes") << shiftJis << "a" + QString("ぽ").repeated(127);
        QTest::newRow("line feed") << utf8 << "a\nb";
        QTest::newRow("carriage return") << utf8 << "a\rb";
        QTest::newRow("nul") << utf8 << QString("a") + QChar(0);
    }
    void refusedValues() {
        QFETCH(QByteArray, before);
        QFETCH(QString, value);
        writeAll(path(), before);
        QCOMPARE(WritePrivateProfileString("Pass", "Word", value, path()), 0L);
        QCOMPARE(readAll(path()), before);
    }

    void longestValueAccepted() {
        const QString v = QString("ぽ").repeated(84) + "ab";
        QVERIFY(WritePrivateProfileString("Pass", "Word", v, path()) != 0);
        QCOMPARE(GetPrivateProfileString("Pass", "Word", path()), v);
    }

    void pairIsAllOrNothing() {
        writeAll(path(), "[Pass]\nWord=old\n");
        QCOMPARE(forms::WritePrivateProfileStrings(
                     {{"Pass", "Word", "new"}, {"Pic", "Back", QString(300, 'x')}}, path()),
                 0L);
        QCOMPARE(readAll(path()), QByteArray("[Pass]\nWord=old\n"));
    }

    void writeFailures_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("path is a directory") << dir.path();
        QTest::newRow("no such directory") << dir.filePath("none/ぽむ.ini");
        QTest::newRow("directory not writable, even by root") << "/proc/ぽむ.ini";
    }
    void writeFailures() {
        QFETCH(QString, target);
        QCOMPARE(WritePrivateProfileString("Pass", "Word", "x", target), 0L);
    }

    // A disk that fills up mid-write must leave the old file whole.
    void diskFullKeepsOldFile() {
        const QByteArray before("[Pass]\nWord=old\n[Pic]\nBack=/a.jpg\n");
        writeAll(path(), before);
        long result;
        {
            DiskFull full;
            result = WritePrivateProfileString("Pass", "Word", "new", path());
        }
        QCOMPARE(result, 0L);
        QCOMPARE(readAll(path()), before);
    }

    void permissions() {
        QVERIFY(WritePrivateProfileString("Pass", "Word", "x", path()) != 0);
        // Only the user bits (0x0FFF masks out Qt's "owner" aliases).
        QCOMPARE(QFile::permissions(path()) & 0x0FFF,
                 QFileDevice::ReadUser | QFileDevice::WriteUser);
        const auto shared = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ReadUser | QFileDevice::WriteUser |
                            QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QVERIFY(QFile::setPermissions(path(), shared));
        QVERIFY(WritePrivateProfileString("Pass", "Word", "y", path()) != 0);
        QCOMPARE(QFile::permissions(path()) & 0x0FFF, shared & 0x0FFF);
    }

    // Random files and values: the routines never crash or hang, what is
    // written reads back exactly, and a refused write changes nothing.
    void randomized() {
        QRandomGenerator rng(20010426);
        const QList<QByteArray> tokens = {
            "[", "]",    "=",    "\n",  "\r",   "\r\n", " ",    "\t",   "\"",           "'",
            ";", "Pass", "Word", "Pic", "Back", "\0",   "\x82", "\xFF", "\xEF\xBB\xBF", "ぽ"};
        const QStringList pieces = {"a", " ",  "\t", "\"", "'", "=", ";", "[",
                                    "]", "ぽ", "😀",  "\\", "/", "①", "ｶ"};
        for (int round = 0; round < 1500; ++round) {
            QByteArray file;
            const int n = rng.bounded(40);
            for (int i = 0; i < n; ++i) {
                if (rng.bounded(4) == 0)
                    file += char(rng.bounded(256));
                else
                    file += tokens[rng.bounded(tokens.size())];
            }
            writeAll(path(), file);
            GetPrivateProfileString("Pass", "Word", path());
            QString value;
            const int m = rng.bounded(rng.bounded(10) == 0 ? 200 : 12);
            for (int i = 0; i < m; ++i)
                value += pieces[rng.bounded(pieces.size())];
            const QString section = rng.bounded(2) ? "Pass" : "pic";
            const QString key = rng.bounded(2) ? "Word" : "BACK";
            const QByteArray before = readAll(path());
            if (WritePrivateProfileString(section, key, value, path()) != 0) {
                QCOMPARE(GetPrivateProfileString(section, key, path()), value);
            } else {
                QCOMPARE(readAll(path()), before);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
