#include "support/Module7.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

class TestModule7 : public QObject {
    Q_OBJECT

    static bool onTop(QWidget& w) {
        return w.windowHandle() && w.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint) &&
               w.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    }

private slots:
    void modes_data() {
        QTest::addColumn<short>("mode");
        QTest::addColumn<long>("result");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("topmost");
        QTest::newRow("0 leaves the band, shown") << short(0) << 1L << true << false;
        QTest::newRow("1 enters the band, shown") << short(1) << 1L << true << true;
        QTest::newRow("2 does nothing") << short(2) << 0L << false << false;
        QTest::newRow("-1 does nothing") << short(-1) << 0L << false << false;
    }
    void modes() {
        QFETCH(short, mode);
        QFETCH(long, result);
        QFETCH(bool, visible);
        QFETCH(bool, topmost);
        QWidget w;
        QCOMPARE(Module7::SetTopMost(w, mode), result);
        QCOMPARE(w.isVisible(), visible);
        QCOMPARE(onTop(w), topmost);
    }

    // Switching must not recreate the native window: that would drop a grab.
    void sameWindowBackAndForth() {
        QWidget w;
        Module7::SetTopMost(w, 1);
        const WId id = w.winId();
        QVERIFY(onTop(w));
        Module7::SetTopMost(w, 0);
        QVERIFY(!onTop(w));
        QVERIFY(w.isVisible());
        Module7::SetTopMost(w, 2);
        QVERIFY(!onTop(w));
        Module7::SetTopMost(w, 1);
        QVERIFY(onTop(w));
        QCOMPARE(w.winId(), id);
    }
};

QTEST_MAIN(TestModule7)
#include "tst_module7.moc"
