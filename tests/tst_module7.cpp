#include "forms/stacking.h"
#include "support/Module7.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

class TestModule7 : public QObject {
    Q_OBJECT

    // The band is the program's own to keep: no window manager stacks our windows.
    static bool onTop(QWidget& w) { return forms::InBand(w); }

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

    // In the band above the rest; the one raised last on top of its band;
    // modal windows above all.
    void stackingOrder() {
        QWidget a, b, c;
        Module7::SetTopMost(a, 1);
        Module7::SetTopMost(b, 0);
        QCOMPARE(forms::StackingOrder(), (QList<QWidget*>{&b, &a}));
        Module7::SetTopMost(b, 1);
        QCOMPARE(forms::StackingOrder(), (QList<QWidget*>{&a, &b}));
        c.setWindowModality(Qt::ApplicationModal);
        c.show();
        Module7::SetTopMost(a, 1);
        QCOMPARE(forms::StackingOrder(), (QList<QWidget*>{&b, &a, &c}));
    }
};

QTEST_MAIN(TestModule7)
#include "tst_module7.moc"
