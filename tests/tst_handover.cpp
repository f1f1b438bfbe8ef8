// The guardian-lock messages: what goes over the socket comes back the same,
// anything else is refused, and what a lock said before it ended is read
// even when it ended with words of ours unread.
#include "common/handover.h"

#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

using handover::Message;
using handover::Word;

class TestHandover : public QObject {
    Q_OBJECT

private slots:
    void decode_data() {
        QTest::addColumn<QString>("packet");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("word");
        QTest::addColumn<uint>("window");
        QTest::newRow("plain word") << "settled" << true << int(Word::Settled) << 0u;
        QTest::newRow("with its window") << "ready 4194305" << true << int(Word::Ready) << 4194305u;
        QTest::newRow("window missing") << "cover" << false << 0 << 0u;
        QTest::newRow("window not a number") << "cover 12x" << false << 0 << 0u;
        QTest::newRow("window too large") << "cover 4294967296" << false << 0 << 0u;
        QTest::newRow("negative window") << "cover -1" << false << 0 << 0u;
        QTest::newRow("word with a window it has not") << "quit 5" << false << 0 << 0u;
        QTest::newRow("unknown word") << "unlock" << false << 0 << 0u;
        QTest::newRow("empty") << "" << false << 0 << 0u;
    }
    void decode() {
        QFETCH(QString, packet);
        QFETCH(bool, valid);
        QFETCH(int, word);
        QFETCH(uint, window);
        Message m;
        QCOMPARE(handover::Decode(packet.toStdString(), &m), valid);
        if (!valid) return;
        QCOMPARE(int(m.word), word);
        QCOMPARE(m.window, window);
        QCOMPARE(QString::fromStdString(handover::Encode(m)), packet);
    }

    // The lock says its last words and ends while a message of the
    // guardian's waits unread: the guardian still reads them, then the end.
    void lastWordsSurviveTheReset() {
        int pair[2];
        QCOMPARE(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
        QVERIFY(handover::Send(pair[0], {Word::Lock})); // unread by the lock
        QVERIFY(handover::Send(pair[1], {Word::Ready, 7}));
        QVERIFY(handover::Send(pair[1], {Word::Quit}));
        close(pair[1]);
        std::vector<Message> got;
        QVERIFY(!handover::Receive(pair[0], &got)); // ended
        QCOMPARE(got.size(), size_t(2));
        QVERIFY(got[0] == (Message{Word::Ready, 7}));
        QVERIFY(got[1] == (Message{Word::Quit}));
        QVERIFY(!handover::Send(pair[0], {Word::Lock})); // nobody to tell, no SIGPIPE
        close(pair[0]);
    }

    void openWhileNothingWaits() {
        int pair[2];
        QCOMPARE(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
        std::vector<Message> got;
        QVERIFY(handover::Receive(pair[0], &got));
        QVERIFY(got.empty());
        close(pair[0]);
        close(pair[1]);
    }
};

QTEST_APPLESS_MAIN(TestHandover)
#include "tst_handover.moc"
