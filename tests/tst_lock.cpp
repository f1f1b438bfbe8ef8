#include "helpers.h"

#include "forms/desktop.h"
#include "forms/imagebox.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

namespace {
const QString kMaster = "mogumogu-pakupaku!?";
const QString kRefusal = "ﾊﾟｽﾜｰﾄﾞがちがうぽむ･･･(´ε｀)";
const QString kReminder = "わすれないでね （T_T) ";

void doubleClickLockWindow() {
    QTest::mouseDClick(&LockWindow(), Qt::LeftButton, {}, QPoint(2, screenSize().height() - 2));
}

void enterPassword(const QString& password) {
    frmLogin().txtPassword->setText(password);
    QTest::keyClick(frmLogin().txtPassword, Qt::Key_Return);
}
} // namespace

class TestLock : public QObject {
    Q_OBJECT
    ProgramDir dir;

private slots:
    void cleanup() {
        unloadAllForms();
        dir.clear();
    }

    void lockedWithoutSettingsFile() {
        LockWindowForm& lock = LockWindow();
        QVERIFY(lock.isVisible());
        QVERIFY(isTopMost(lock));
        QVERIFY(lock.windowState().testFlag(Qt::WindowFullScreen));
        QVERIFY(lock.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(lock.palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(lock.Text1->text().isEmpty());
        QVERIFY(lock.Text2->text().isEmpty());
        QVERIFY(lock.Image1->picture().isNull());
        QVERIFY(lock.Frame3->isHidden());
        QVERIFY(lock.Picture1->isHidden());
        QVERIFY(forms::desktop().screenSaverRunning());
        // The dialog is loaded and sits behind, outside the topmost band.
        QVERIFY(frmLoginIfLoaded());
        QVERIFY(!isTopMost(frmLogin()));
        QVERIFY(frmLogin().isVisible());
    }

    void storedValuesAndCentredPicture() {
        const QString pic = dir.picture("bild.png", 101, 61);
        dir.store("pw", pic);
        LockWindowForm& lock = LockWindow();
        QCOMPARE(lock.Text1->text(), QString("pw"));
        QCOMPARE(lock.Text2->text(), pic);
        QCOMPARE(lock.Image1->picture().size(), QSize(101, 61));
        QCOMPARE(lock.Image1->size(), QSize(101, 61));
        const QSize screen = screenSize();
        QCOMPARE(lock.image1Top(), (screen.height() * 15.0 - 61 * 15.0) / 2);
        QCOMPARE(lock.image1Left(), (screen.width() * 15.0 - 101 * 15.0) / 2);
        QCOMPARE(lock.Image1->pos(), QPoint(qRound((screen.width() - 101) / 2.0),
                                            qRound((screen.height() - 61) / 2.0)));
    }

    void pictureLargerThanScreenIsCutEvenly() {
        const QSize screen = screenSize();
        dir.store("", dir.picture("big.bmp", screen.width() + 200, screen.height() + 100));
        QCOMPARE(LockWindow().Image1->pos(), QPoint(-100, -50));
    }

    // A photograph larger than the screen is decoded only where it shows
    // (JPEG), yet sized, placed and drawn as the whole picture.
    void largePictureDecodedOnlyWhereItShows_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("clipped");
        QTest::newRow("jpeg: only the visible part") << "big.jpg" << true;
        QTest::newRow("png: whole") << "big.png" << false;
    }
    void largePictureDecodedOnlyWhereItShows() {
        QFETCH(QString, name);
        QFETCH(bool, clipped);
        const QSize screen = screenSize();
        const QSize big(screen.width() * 3, screen.height() * 3);
        QImage img(big, QImage::Format_RGB32);
        img.fill(Qt::white);
        const QPoint centre(big.width() / 2, big.height() / 2);
        img.setPixelColor(0, 0, Qt::blue);
        for (int y = -20; y < 20; ++y)
            for (int x = -20; x < 20; ++x)
                img.setPixelColor(centre + QPoint(x, y), Qt::red);
        QVERIFY(img.save(dir.path(name)));
        dir.store("", dir.path(name));

        LockWindowForm& lock = LockWindow();
        const forms::Picture& pic = lock.Image1->picture();
        QCOMPARE(pic.size(), big);
        QCOMPARE(lock.Image1->size(), big);
        QCOMPARE(lock.Image1->pos(), QPoint(-screen.width(), -screen.height()));
        if (clipped) {
            QVERIFY(pic.part().width() <= screen.width() + 2);
            QVERIFY(pic.part().height() <= screen.height() + 2);
        } else {
            QCOMPARE(pic.part().size(), big);
        }
        const QColor shown =
            lock.grab().toImage().pixelColor(screen.width() / 2, screen.height() / 2);
        QVERIFY2(shown.red() > 200 && shown.green() < 60 && shown.blue() < 60,
                 qPrintable(shown.name()));
        const QColor corner = lock.grab().toImage().pixelColor(0, 0);
        QVERIFY2(corner.red() > 200 && corner.green() > 200, qPrintable(corner.name()));
    }

    void unreadablePictureKeepsTheLock_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << dir.path("none.jpg");
        QTest::newRow("text with a picture suffix") << dir.path("text.gif");
        QTest::newRow("directory") << dir.path("");
        QTest::newRow("device") << "/dev/zero";
    }
    void unreadablePictureKeepsTheLock() {
        QFETCH(QString, path);
        QFile text(dir.path("text.gif"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture\n");
        text.close();
        dir.store("pw", path);
        ModalAnswerer answerer;
        LockWindowForm& lock = LockWindow();
        QVERIFY(isTopMost(lock));
        QVERIFY(lock.isVisible());
        QCOMPARE(lock.Text1->text(), QString("pw")); // steps before the picture are done
        QCOMPARE(lock.Text2->text(), path);
        QVERIFY(lock.Image1->picture().isNull());
        QVERIFY(forms::desktop().screenSaverRunning());
        QVERIFY(answerer.boxes.isEmpty());
    }

    void doubleClickAsks() {
        LockWindow();
        doubleClickLockWindow();
        QVERIFY(!isTopMost(LockWindow()));
        QVERIFY(isTopMost(frmLogin()));
        QVERIFY(frmLogin().isVisible());
        QVERIFY(frmLogin().txtPassword->hasFocus() ||
                frmLogin().focusWidget() == frmLogin().txtPassword);
    }

    void doubleClickOnPictureAsks() {
        dir.store("", dir.picture("p.png", 50, 50));
        LockWindow().Form_Resize();
        QTest::mouseDClick(LockWindow().Image1, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(isTopMost(frmLogin()));
        QVERIFY(!isTopMost(LockWindow()));
    }

    void passwordCheck_data() {
        QTest::addColumn<QString>("stored"); // "<none>": no settings file
        QTest::addColumn<QString>("entered");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::newRow("no file, empty entry") << "<none>"
                                              << "" << true << ""
                                              << "";
        QTest::newRow("stored password") << "ぽむぽむ"
                                         << "ぽむぽむ" << true << ""
                                         << "";
        QTest::newRow("master, other stored") << "pw" << kMaster << true << kReminder << "ぽむ";
        QTest::newRow("master, no file") << "<none>" << kMaster << true << kReminder << "ぽむ";
        QTest::newRow("master equals stored, master first")
            << kMaster << kMaster << true << kReminder << "ぽむ";
        QTest::newRow("wrong") << "pw"
                               << "px" << false << kRefusal << "ちがうぽむ";
        QTest::newRow("case matters") << "Secret"
                                      << "secret" << false << kRefusal << "ちがうぽむ";
        QTest::newRow("empty entry, stored one") << "pw"
                                                 << "" << false << kRefusal << "ちがうぽむ";
        QTest::newRow("master with a blank")
            << "pw" << kMaster + " " << false << kRefusal << "ちがうぽむ";
    }
    void passwordCheck() {
        QFETCH(QString, stored);
        QFETCH(QString, entered);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        QFETCH(QString, title);
        if (stored != "<none>") dir.store(stored, "");
        ModalAnswerer answerer;
        doubleClickLockWindow();
        enterPassword(entered);
        QCOMPARE(frmLogin().isVisible(), false);
        QCOMPARE(LockWindow().Frame3->isVisible(), accepted);
        QCOMPARE(LockWindow().Picture1->isVisible(), accepted);
        QCOMPARE(frmLogin().LoginSucceeded, accepted);
        QCOMPARE(frmLogin().txtPassword->text(), entered); // kept either way
        QVERIFY(!isTopMost(LockWindow()));
        if (message.isEmpty()) {
            QCOMPARE(answerer.boxes.size(), 0);
        } else {
            QCOMPARE(answerer.boxes.size(), 1);
            QCOMPARE(answerer.boxes[0].text, message);
            QCOMPARE(answerer.boxes[0].title, title);
            // Owned by the lock window, so it never opens hidden beneath it.
            QCOMPARE(answerer.boxes[0].owner, &LockWindow());
        }
    }

    void storedPasswordReadAnewOnEveryCheck() {
        dir.store("old", "");
        ModalAnswerer answerer;
        LockWindow();
        ini::WriteIni("Pass", "Word", "new");
        doubleClickLockWindow();
        enterPassword("old");
        QCOMPARE(answerer.boxes.size(), 1);
        doubleClickLockWindow();
        enterPassword("new");
        QVERIFY(LockWindow().Frame3->isVisible());
    }

    void refusalAfterUnlockHidesOnlyThePanel() {
        ModalAnswerer answerer;
        doubleClickLockWindow();
        enterPassword("");
        QVERIFY(LockWindow().Frame3->isVisible());
        doubleClickLockWindow(); // Asking, entered from Unlocked
        QVERIFY(isTopMost(frmLogin()));
        enterPassword("wrong");
        QVERIFY(!LockWindow().Frame3->isVisible());
        QVERIFY(LockWindow().Picture1->isVisible());
        QVERIFY(frmLogin().LoginSucceeded); // unchanged by a refusal
        // The old entry waits, selected, for the next try.
        doubleClickLockWindow();
        QCOMPARE(frmLogin().txtPassword->text(), QString("wrong"));
        QCOMPARE(frmLogin().txtPassword->selectedText(), QString("wrong"));
    }

    // A wrong password is refused after a pause in which nothing typed or
    // clicked counts; the right one is never kept waiting.
    void refusalTakesItsTime_data() {
        QTest::addColumn<QString>("entered");
        QTest::addColumn<bool>("refused");
        QTest::newRow("wrong") << "wrong" << true;
        QTest::newRow("right") << "pw" << false;
    }
    void refusalTakesItsTime() {
        QFETCH(QString, entered);
        QFETCH(bool, refused);
        dir.store("pw", "");
        frmLoginForm::SetRefusalPauseForTesting(2000);
        ModalAnswerer answerer;
        doubleClickLockWindow();
        QElapsedTimer clock;
        qint64 boxAt = -1;
        answerer.onBox = [&] { boxAt = clock.elapsed(); };
        QObject during; // the timer goes with the test
        QTimer::singleShot(300, &during, [] {
            QTest::keyClick(frmLogin().txtPassword, Qt::Key_X);
            doubleClickLockWindow();
        });
        clock.start();
        enterPassword(entered);
        const qint64 done = clock.elapsed();
        frmLoginForm::SetRefusalPauseForTesting(0);
        if (refused) {
            QVERIFY2(boxAt >= 1950, qPrintable(QString::number(boxAt)));
            QVERIFY(!frmLogin().isVisible());                  // the double-click was dropped
            QCOMPARE(frmLogin().txtPassword->text(), entered); // and so was the key
        } else {
            QVERIFY2(done < 300, qPrintable(QString::number(done)));
            QVERIFY(LockWindow().Frame3->isVisible());
        }
    }

    void escapeCancels() {
        dir.store("pw", "");
        doubleClickLockWindow();
        frmLogin().txtPassword->setText("pw");
        QTest::keyClick(frmLogin().txtPassword, Qt::Key_Escape);
        QVERIFY(!frmLogin().isVisible());
        QVERIFY(!frmLogin().LoginSucceeded);
        QVERIFY(!LockWindow().Frame3->isVisible());
        QVERIFY(!isTopMost(LockWindow())); // Dismissed: stays out of the band
    }

    void enterOnTheCancelButtonCancels() {
        doubleClickLockWindow();
        frmLogin().cmdCancel->setFocus();
        QTest::keyClick(frmLogin().cmdCancel, Qt::Key_Return);
        QVERIFY(!frmLogin().isVisible());
        QVERIFY(!LockWindow().Frame3->isVisible());
    }

    void closeBoxUnloadsTheDialog() {
        doubleClickLockWindow();
        frmLogin().txtPassword->setText("typed");
        frmLogin().close();
        QVERIFY(!frmLoginIfLoaded());
        QVERIFY(LockWindowIfLoaded()); // the lock stays
        doubleClickLockWindow();
        QVERIFY(frmLogin().isVisible());
        QVERIFY(frmLogin().txtPassword->text().isEmpty());
    }

    void doubleClickOnPanelOrTitleBoxIsIgnored_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("settings panel") << "Frame3";
        QTest::newRow("title box") << "Picture1";
        QTest::newRow("label in the title box") << "Label1";
        QTest::newRow("frame inside the panel") << "Frame1";
    }
    void doubleClickOnPanelOrTitleBoxIsIgnored() {
        QFETCH(QString, target);
        doubleClickLockWindow();
        enterPassword("");
        QVERIFY(!frmLogin().isVisible());
        LockWindowForm& lock = LockWindow();
        QMap<QString, QWidget*> widgets;
        widgets["Frame3"] = lock.Frame3;
        widgets["Picture1"] = lock.Picture1;
        widgets["Label1"] = lock.Label1;
        widgets["Frame1"] = lock.Frame1;
        QTest::mouseDClick(widgets[target], Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!frmLogin().isVisible());
    }

    // An outside close request while locked must not unlock the screen.
    void closeRequestWhileLockedIsRefused() {
        QSignalSpy ended(&forms::FormRuntime::instance(), &forms::FormRuntime::allUnloaded);
        LockWindowForm& lock = LockWindow();
        lock.close();
        QVERIFY(LockWindowIfLoaded());
        QVERIFY(lock.isVisible());
        QVERIFY(isTopMost(lock));
        QVERIFY(forms::desktop().screenSaverRunning());
        // Asking or refused is still locked.
        doubleClickLockWindow();
        lock.close();
        QVERIFY(LockWindowIfLoaded());
        QVERIFY(forms::desktop().screenSaverRunning());
        QCOMPARE(ended.count(), 0);
    }

    void closeRequestWhenUnlockedQuits() {
        QSignalSpy ended(&forms::FormRuntime::instance(), &forms::FormRuntime::allUnloaded);
        doubleClickLockWindow();
        enterPassword("");
        LockWindow().close();
        QVERIFY(!LockWindowIfLoaded());
        QVERIFY(!frmLoginIfLoaded());
        QVERIFY(!forms::desktop().screenSaverRunning());
        QCOMPARE(ended.count(), 1);
    }

    // No hidden dialog may keep the process alive with nothing on screen.
    void unloadingTheLockUnloadsTheDialog() {
        QSignalSpy ended(&forms::FormRuntime::instance(), &forms::FormRuntime::allUnloaded);
        LockWindow();
        QVERIFY(frmLoginIfLoaded());
        QVERIFY(LockWindow().Unload());
        QVERIFY(!frmLoginIfLoaded());
        QCOMPARE(forms::Form::LoadedCount(), 0);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!forms::desktop().screenSaverRunning());
    }

    void layoutInPixels() {
        LockWindowForm& lock = LockWindow();
        QCOMPARE(lock.Frame3->geometry(), QRect(192, 0, 833, 73));
        QCOMPARE(lock.Command2->geometry(), QRect(192, 24, 169, 41));
        QCOMPARE(lock.Text1->parentWidget(), lock.Frame1);
        QCOMPARE(lock.Text3->parentWidget(), lock.Frame2);
        QVERIFY(lock.Text2->isHidden());
        QCOMPARE(lock.Text1->palette().color(QPalette::Text), QColor(0xFF, 0x80, 0x00));
        QCOMPARE(lock.Text3->palette().color(QPalette::Text), QColor(0x8B, 0xE8, 0xF8));
        QCOMPARE(lock.Label1->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(lock.Label1->text(), QString("「　ぽむ !?　」"));
        QCOMPARE(lock.Command2->text(), QString("←　セットして保存するぽむ　→"));
        QCOMPARE(lock.Text1->nextInFocusChain(), lock.Command3);
        // The title box is a tab stop, last after Text3 (TabIndex 10).
        const auto nextTabStop = [](QWidget* w) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        QCOMPARE(nextTabStop(lock.Text3), lock.Picture1);
        QCOMPARE(nextTabStop(lock.Picture1), lock.Text1);
        frmLoginForm& dialog = frmLogin();
        QCOMPARE(dialog.windowTitle(), QString("　パスワードを入力するぽむ 　O（^o^）。"));
        QCOMPARE(dialog.client->size(), QSize(250, 69));
        // Our own frame: no window manager decorates or stacks it.
        QVERIFY(dialog.windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
        QCOMPARE(dialog.txtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.txtPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter),
                 int(u'*'));
        QVERIFY(!dialog.txtPassword->testAttribute(Qt::WA_InputMethodEnabled));
        QCOMPARE(dialog.lblLabels[1]->text(), QString("パスワード："));
        QCOMPARE(dialog.cmdOK->text(), QString("おっけーぽむ"));
        QCOMPARE(dialog.cmdCancel->text(), QString("やめるぽむ"));
    }
};

QTEST_MAIN(TestLock)
#include "tst_lock.moc"
