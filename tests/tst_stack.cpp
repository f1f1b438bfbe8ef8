// The stacking of the root window kept from the X server's structure events,
// and the order check on it, without an X server.
#include "guard/stack.h"

#include <QTest>

using guard::StackModel;

namespace {
constexpr xcb::Window kRoot = 1;
// Ours: covers 10, 11, the lock 12, the dialog 13; hidden 14; the guardian's 9.
const std::vector<xcb::Window> kWanted = {9, 10, 11, 12};
const std::unordered_set<xcb::Window> kOurs = {10, 11, 12, 13, 14};

xcb::Event reported(xcb::Kind kind, xcb::Window w, xcb::Window extra = 0) {
    xcb::Event e;
    e.kind = kind;
    e.event = kRoot;
    e.window = w;
    e.above = e.parent = extra;
    return e;
}

// A desktop with windows 2 and 3 (mapped) beneath ours, all mapped, 14 unmapped.
StackModel desktop() {
    StackModel m;
    m.reset({{2, 3, 14, 9, 10, 11, 12}, {true, true, false, true, true, true, true}, 0});
    return m;
}
} // namespace

class TestStack : public QObject {
    Q_OBJECT

private slots:
    void order_data() {
        QTest::addColumn<QList<xcb::Event>>("events");
        QTest::addColumn<bool>("inOrder");
        QTest::addColumn<QList<xcb::Window>>("intruders");
        using K = xcb::Kind;
        QTest::newRow("as it was") << QList<xcb::Event>{} << true << QList<xcb::Window>{};
        QTest::newRow("a window of another made and mapped on top")
            << QList<xcb::Event>{reported(K::Create, 5), reported(K::Map, 5)} << false
            << QList<xcb::Window>{5};
        QTest::newRow("... made but not mapped")
            << QList<xcb::Event>{reported(K::Create, 5)} << true << QList<xcb::Window>{};
        QTest::newRow("one beneath raised above ours (configure)")
            << QList<xcb::Event>{reported(K::Configure, 3, 12)} << false << QList<xcb::Window>{3};
        QTest::newRow("... between the covers")
            << QList<xcb::Event>{reported(K::Configure, 2, 10)} << false << QList<xcb::Window>{2};
        QTest::newRow("... raised by circulation") << QList<xcb::Event>{[] {
            auto e = reported(K::Circulate, 2);
            e.onTop = true;
            return e;
        }()} << false << QList<xcb::Window>{2};
        QTest::newRow("moved within its place beneath")
            << QList<xcb::Event>{reported(K::Configure, 2, 3)} << true << QList<xcb::Window>{};
        QTest::newRow("ours out of order: the lock beneath a cover")
            << QList<xcb::Event>{reported(K::Configure, 12, 10)} << false << QList<xcb::Window>{};
        QTest::newRow("the guardian's above ours")
            << QList<xcb::Event>{reported(K::Configure, 9, 12)} << false << QList<xcb::Window>{};
        QTest::newRow("a hidden one of ours on top, unmapped or not")
            << QList<xcb::Event>{reported(K::Configure, 14, 12), reported(K::Map, 14)} << true
            << QList<xcb::Window>{};
        QTest::newRow("ours taken away and back: on top again")
            << QList<xcb::Event>{reported(K::Reparent, 10, 77), reported(K::Reparent, 10, kRoot)}
            << false << QList<xcb::Window>{};
        QTest::newRow("a window of ours gone is left out")
            << QList<xcb::Event>{reported(K::Destroy, 11)} << true << QList<xcb::Window>{};
        QTest::newRow("an intruder unmapped no longer counts")
            << QList<xcb::Event>{reported(K::Configure, 3, 12), reported(K::Unmap, 3)} << true
            << QList<xcb::Window>{};
        QTest::newRow("lowered to the bottom")
            << QList<xcb::Event>{reported(K::Configure, 3, 12), reported(K::Configure, 3, 0)}
            << true << QList<xcb::Window>{};
    }
    void order() {
        QFETCH(QList<xcb::Event>, events);
        QFETCH(bool, inOrder);
        QFETCH(QList<xcb::Window>, intruders);
        StackModel m = desktop();
        for (const xcb::Event& e : events)
            m.apply(e, kRoot);
        QCOMPARE(guard::InOrder(m, kWanted, kOurs), inOrder);
        const std::vector<xcb::Window> found = guard::Intruders(m, kWanted, kOurs);
        QCOMPARE(QList<xcb::Window>(found.begin(), found.end()), intruders);
    }

    // Only what the root window reports of its own children counts.
    void eventsOfOtherWindowsAreIgnored() {
        StackModel m = desktop();
        xcb::Event e = reported(xcb::Kind::Configure, 3, 12);
        e.event = 3; // reported to the window itself
        m.apply(e, kRoot);
        QVERIFY(guard::InOrder(m, kWanted, kOurs));
    }
};

QTEST_APPLESS_MAIN(TestStack)
#include "tst_stack.moc"
