#include "forms/appinfo.h"
#include "support/ini.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestIni : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init() {
        forms::SetAppPathForTesting(dir.path());
        QFile::remove(dir.filePath("ぽむ.ini"));
    }

    void iniDir_data() {
        QTest::addColumn<QString>("appPath");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/opt/pom"
                               << "/opt/pom/";
        QTest::newRow("trailing separator") << "/opt/pom/"
                                            << "/opt/pom/";
        QTest::newRow("root") << "/"
                              << "/";
    }
    void iniDir() {
        QFETCH(QString, appPath);
        QFETCH(QString, expected);
        forms::SetAppPathForTesting(appPath);
        QCOMPARE(ini::IniDir(), expected);
    }

    void missingFileReadsEmpty() {
        QCOMPARE(ini::ReadIni("Pass", "Word"), QString());
        QCOMPARE(ini::ReadIni("Pic", "Back"), QString());
        QVERIFY(!QFile::exists(dir.filePath("ぽむ.ini"))); // reading never creates it
    }

    void writesTheFileInTheProgramDirectory() {
        QVERIFY(ini::WriteIni("Pass", "Word", "ぽむぽむ") != 0);
        QVERIFY(QFile::exists(dir.filePath("ぽむ.ini")));
        QCOMPARE(ini::ReadIni("pass", "word"), QString("ぽむぽむ"));
    }

    void emptyValueReadsBackEmpty() {
        QVERIFY(ini::WriteIni("Pass", "Word", "secret") != 0);
        QVERIFY(ini::WriteIni("Pass", "Word", "") != 0);
        QCOMPARE(ini::ReadIni("Pass", "Word"), QString());
    }

    // Every call goes to the file: a change made behind the program's back shows.
    void noCaching() {
        QVERIFY(ini::WriteIni("Pic", "Back", "/a.jpg") != 0);
        QCOMPARE(ini::ReadIni("Pic", "Back"), QString("/a.jpg"));
        QFile f(dir.filePath("ぽむ.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Pic]\nBack=/b.jpg\n");
        f.close();
        QCOMPARE(ini::ReadIni("Pic", "Back"), QString("/b.jpg"));
    }

    void pairWritesBoth() {
        QVERIFY(ini::WriteIniPair("Pass", "Word", "pw", "Pic", "Back", "/p.gif") != 0);
        QCOMPARE(ini::ReadIni("Pass", "Word"), QString("pw"));
        QCOMPARE(ini::ReadIni("Pic", "Back"), QString("/p.gif"));
    }
};

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
