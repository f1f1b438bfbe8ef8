// Runs on an offscreen platform with two screens (tests/two-screens.json).
#include "helpers.h"

#include "platform/covers.h"
#include "platform/imagebox.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

class TestCovers : public QObject {
    Q_OBJECT
    ProgramDir dir;

    // The cover of the second screen (the first has one too, beneath the lock).
    static QWidget* onlyCover() {
        return LockWindow().covers->coverOf(QGuiApplication::screens().at(1));
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::screens().size(), 2); }
    void cleanup() {
        unloadAllForms();
        dir.clear();
    }

    void secondScreenCoveredInBlack() {
        LockWindowForm& lock = LockWindow();
        QCOMPARE(lock.geometry(), QRect(0, 0, 1920, 1080));
        QCOMPARE(lock.covers->covers().size(), 2);
        QCOMPARE(lock.covers->coverOf(QGuiApplication::primaryScreen())->geometry(),
                 lock.geometry());
        QWidget* cover = onlyCover();
        QVERIFY(cover);
        QVERIFY(cover->isVisible());
        QCOMPARE(cover->geometry(), QRect(1920, 0, 1280, 1024));
        QCOMPARE(cover->palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(isTopMost(*cover));
    }

    void pictureCentredOnThePrimaryScreen() {
        dir.store("", dir.picture("p.png", 100, 50));
        QCOMPARE(LockWindow().Image1->pos(), QPoint(910, 515));
    }

    void coversFollowTheTopmostBand() {
        LockWindowForm& lock = LockWindow();
        QTest::mouseDClick(onlyCover(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(frmLogin().isVisible()); // the cover is part of the lock's surface
        QVERIFY(!isTopMost(lock));
        QVERIFY(!isTopMost(*onlyCover()));
        frmLogin().txtPassword->setText("");
        QTest::keyClick(frmLogin().txtPassword, Qt::Key_Return);
        QVERIFY(lock.Frame3->isVisible());
        lock.Command4->click(); // lock again
        QVERIFY(isTopMost(lock));
        QVERIFY(onlyCover());
        QVERIFY(isTopMost(*onlyCover()));
        QVERIFY(onlyCover()->isVisible());
    }

    void coversGoWithTheLock() {
        QPointer<QWidget> cover = onlyCover();
        QVERIFY(cover);
        LockWindow().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!cover || !cover->isVisible());
    }
};

QTEST_MAIN(TestCovers)
#include "tst_covers.moc"
