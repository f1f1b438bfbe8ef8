// Runs on an offscreen platform with two screens (tests/two-screens.json).
#include "helpers.h"

#include "forms/imagebox.h"
#include "guard/covers.h"
#include "guard/screenguard.h"

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
        return testLock().covers()->coverOf(QGuiApplication::screens().at(1));
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
        QCOMPARE(testLock().covers()->covers().size(), 2);
        QCOMPARE(testLock().covers()->coverOf(QGuiApplication::primaryScreen())->geometry(),
                 lock.geometry());
        QWidget* cover = onlyCover();
        QVERIFY(cover);
        QVERIFY(cover->isVisible());
        QCOMPARE(cover->geometry(), QRect(1920, 0, 1280, 1024));
        QCOMPARE(cover->palette().color(QPalette::Window), QColor(Qt::black));
    }

    void pictureCentredOnThePrimaryScreen() {
        dir.store("", dir.picture("p.png", 100, 50));
        QCOMPARE(LockWindow().Image1->pos(), QPoint(910, 515));
    }

    // The covers stand right beneath the lock window, whatever its band; a
    // dialog above it, or kept hidden beneath it while locked.
    void coversStandRightBeneathTheLock() {
        LockWindowForm& lock = LockWindow();
        const QList<QWidget*> covers = testLock().covers()->covers();
        guard::ScreenGuard& stack = testLock().screenGuard();
        QCOMPARE(stack.wanted().shown, covers + QList<QWidget*>{&lock});
        QCOMPARE(stack.wanted().hidden, QList<QWidget*>{&frmLogin()});
        QCOMPARE(stack.focusTarget(), &lock);
        QTest::mouseDClick(onlyCover(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(frmLogin().isVisible()); // the cover is part of the lock's surface
        QCOMPARE(stack.wanted().shown, covers + QList<QWidget*>({&lock, &frmLogin()}));
        QVERIFY(stack.wanted().hidden.isEmpty());
        QCOMPARE(stack.focusTarget(), &frmLogin());
        frmLogin().txtPassword->setText("");
        QTest::keyClick(frmLogin().txtPassword, Qt::Key_Return);
        QVERIFY(lock.Frame3->isVisible());
        QTest::mouseDClick(onlyCover(), Qt::LeftButton, {}, QPoint(5, 5));
        lock.Command4->click(); // lock again: the dialog shown stays, beneath the lock
        QCOMPARE(stack.wanted().shown, covers + QList<QWidget*>{&lock});
        QCOMPARE(stack.wanted().hidden, QList<QWidget*>{&frmLogin()});
        QCOMPARE(stack.focusTarget(), &lock);
    }

    void coversGoWithTheLock() {
        LockWindow();
        QPointer<QWidget> cover = onlyCover();
        QVERIFY(cover);
        LockWindow().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!cover || !cover->isVisible());
    }
};

QTEST_MAIN(TestCovers)
#include "tst_covers.moc"
