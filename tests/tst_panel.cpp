#include "helpers.h"

#include "forms/commondialog.h"
#include "forms/desktop.h"
#include "forms/imagebox.h"
#include "forms/qttexts.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "diskfull.h"

namespace {
const QString kSaved = "セットして保存したぽむ！";
const QString kSaveFailed = "保存できなかったぽむ･･･(´ε｀)";

QPoint centredAt(QSize picture) {
    const QSize s = screenSize();
    return {qRound((s.width() - picture.width()) / 2.0),
            qRound((s.height() - picture.height()) / 2.0)};
}

// Locks, then lets the user in with the stored password.
LockWindowForm& unlocked() {
    LockWindowForm& lock = LockWindow();
    QTest::mouseDClick(&lock, Qt::LeftButton, {}, QPoint(2, screenSize().height() - 2));
    frmLogin().txtPassword->setText(ini::ReadIni("Pass", "Word"));
    QTest::keyClick(frmLogin().txtPassword, Qt::Key_Return);
    return lock;
}

// Types the path into the open dialog's file name box and presses Open
// (selectFile leaves a focused box alone).
void chooseFile(QFileDialog* dialog, const QString& path) {
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
    static_cast<QDialog*>(dialog)->accept(); // public in QDialog
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TestPanel : public QObject {
    Q_OBJECT
    ProgramDir dir;

private slots:
    void initTestCase() { QVERIFY(forms::UseJapaneseQtTexts()); }
    void cleanup() {
        unloadAllForms();
        dir.clear();
    }

    void saveWritesBothAndConfirms() {
        ModalAnswerer answerer;
        LockWindowForm& lock = unlocked();
        QVERIFY(lock.Frame3->isVisible());
        lock.Text1->setText("ねこ");
        lock.Text2->setText("/home/pom/ねこ.jpg");
        lock.Command2->click();
        QCOMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].text, kSaved);
        QCOMPARE(answerer.boxes[0].title, QString("ぽむ"));
        QCOMPARE(ini::ReadIni("Pass", "Word"), QString("ねこ"));
        QCOMPARE(ini::ReadIni("Pic", "Back"), QString("/home/pom/ねこ.jpg"));
    }

    // What is saved must unlock: odd passwords round-trip exactly, or the save
    // is refused and nothing is written.
    void savedPasswordUnlocks_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("storable");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blanks at both ends") << "  pw\t" << true;
        QTest::newRow("in quotes") << "\"pw\"" << true;
        QTest::newRow("254 bytes") << QString(254, 'x') << true;
        QTest::newRow("255 bytes") << QString(255, 'x') << false;
        QTest::newRow("100 kana, 300 bytes") << QString("ぽ").repeated(100) << false;
    }
    void savedPasswordUnlocks() {
        QFETCH(QString, password);
        QFETCH(bool, storable);
        dir.store("old", "");
        const QByteArray before = fileBytes(dir.path("ぽむ.ini"));
        ModalAnswerer answerer;
        LockWindowForm& lock = unlocked();
        lock.Text1->setText(password);
        lock.Command2->click();
        QCOMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].text, storable ? kSaved : kSaveFailed);
        if (!storable) {
            QCOMPARE(fileBytes(dir.path("ぽむ.ini")), before);
            return;
        }
        lock.Command4->click(); // lock again, then the saved password must let us in
        QVERIFY(!lock.Frame3->isVisible());
        frmLogin().txtPassword->setText(password);
        QTest::mouseDClick(&lock, Qt::LeftButton, {}, QPoint(2, screenSize().height() - 2));
        frmLogin().txtPassword->setText(password);
        QTest::keyClick(frmLogin().txtPassword, Qt::Key_Return);
        QVERIFY(lock.Frame3->isVisible());
    }

    // A full disk: the failure is reported and the file keeps both old values.
    void saveFailureIsReported() {
        dir.store("old", "/old.jpg");
        const QByteArray before = fileBytes(dir.path("ぽむ.ini"));
        ModalAnswerer answerer;
        LockWindowForm& lock = unlocked();
        lock.Text1->setText("new");
        lock.Text2->setText("/new.jpg");
        {
            DiskFull full;
            lock.Command2->click();
        }
        QCOMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].text, kSaveFailed);
        QCOMPARE(fileBytes(dir.path("ぽむ.ini")), before);
    }

    void saveFailureInAnUnwritableDirectory() {
        forms::SetAppPathForTesting("/proc");
        ModalAnswerer answerer;
        LockWindowForm& lock = unlocked();
        lock.Text1->setText("new");
        lock.Command2->click();
        forms::SetAppPathForTesting(dir.path(""));
        QCOMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].text, kSaveFailed);
    }

    void lockAgainRestoresStoredValues() {
        const QString pic = dir.picture("a.png", 40, 30);
        dir.store("pw", pic);
        LockWindowForm& lock = unlocked();
        QVERIFY(lock.Frame3->isVisible());
        lock.Text1->setText("unsaved");
        lock.Text2->setText("/unsaved.png");
        lock.Command4->click();
        QCOMPARE(lock.Text1->text(), QString("pw"));
        QCOMPARE(lock.Text2->text(), pic);
        QCOMPARE(lock.Text3->text(), QString("a.png"));
        QVERIFY(frmLogin().txtPassword->text().isEmpty());
        QVERIFY(lock.Frame3->isHidden());
        QVERIFY(lock.Picture1->isHidden());
        QVERIFY(isTopMost(lock));
        QVERIFY(!isTopMost(frmLogin()));
        QVERIFY(forms::desktop().screenSaverRunning());
    }

    void changePicture_data() {
        QTest::addColumn<QString>("answer"); // a file name, or "<cancel>"
        QTest::addColumn<bool>("changes");
        QTest::newRow("a picture") << "b.bmp" << true;
        QTest::newRow("cancel") << "<cancel>" << false;
        QTest::newRow("not a picture") << "text.jpg" << false;
    }
    void changePicture() {
        QFETCH(QString, answer);
        QFETCH(bool, changes);
        const QString stored = dir.picture("a.png", 40, 30);
        dir.picture("b.bmp", 120, 80);
        QFile text(dir.path("text.jpg"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("plain text\n");
        text.close();
        dir.store("", stored);

        ModalAnswerer answerer;
        QStringList filters;
        QString title;
        QWidget* owner = nullptr;
        answerer.other = [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) return;
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            owner = dialog->parentWidget();
            if (answer == "<cancel>") {
                dialog->reject();
            } else {
                chooseFile(dialog, dir.path(answer));
            }
        };
        LockWindowForm& lock = unlocked();
        lock.Command3->click();

        QCOMPARE(title, QString("open backpicture"));
        QCOMPARE(filters, QStringList({"BMP(*.bmp) (*.bmp)", "JPG(*.jpg) (*.jpg)",
                                       "GIF(*.gif) (*.gif)", "all file (*.*) (*)"}));
        QCOMPARE(owner, &lock);
        QVERIFY(answerer.boxes.isEmpty());
        if (changes) {
            QCOMPARE(lock.Text2->text(), dir.path(answer));
            QCOMPARE(lock.Text3->text(), answer);
            QCOMPARE(lock.Image1->picture().size(), QSize(120, 80));
            QCOMPARE(lock.Image1->pos(), centredAt({120, 80}));
            QCOMPARE(ini::ReadIni("Pic", "Back"), stored); // not saved yet
        } else {
            QCOMPARE(lock.Text2->text(), stored);
            QCOMPARE(lock.Text3->text(), QString("a.png"));
            QCOMPARE(lock.Image1->picture().size(), QSize(40, 30));
        }
    }

    // Lock again brings back the stored picture centred, not where the
    // unsaved one of another size was.
    void lockAgainCentresTheStoredPicture() {
        dir.store("", dir.picture("a.png", 40, 30));
        dir.picture("big.png", 300, 200);
        ModalAnswerer answerer;
        answerer.other = [&](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                chooseFile(dialog, dir.path("big.png"));
            }
        };
        LockWindowForm& lock = unlocked();
        lock.Command3->click();
        QCOMPARE(lock.Image1->pos(), centredAt({300, 200}));
        lock.Command4->click();
        QCOMPARE(lock.Image1->picture().size(), QSize(40, 30));
        QCOMPARE(lock.Image1->pos(), centredAt({40, 30}));
    }

    // Each Flags bit as the common dialog has it: "path must exist" (with
    // "hide read-only": the program's 2052) lets a name that names no file
    // come back, silently, but not one in a folder that does not exist.
    void fileDialogFlags_data() {
        QTest::addColumn<long>("flags");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("returned");
        QTest::newRow("2052, no such file") << 2052L << "none.bmp" << true;
        QTest::newRow("2052, no such folder") << 2052L << "nowhere/none.bmp" << false;
        QTest::newRow("file must exist, no such file") << 0x1000L << "none.bmp" << false;
        QTest::newRow("no flags, no such folder") << 0L << "nowhere/none.bmp" << true;
    }
    void fileDialogFlags() {
        QFETCH(long, flags);
        QFETCH(QString, typed);
        QFETCH(bool, returned);
        forms::CommonDialog common;
        common.Flags = flags;
        common.CancelError = true;
        common.Filter = "all file (*.*)|*.*|";
        ModalAnswerer answerer;
        bool answered = false;
        answerer.other = [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog || answered) return;
            answered = true;
            chooseFile(dialog, dir.path(typed));
            // Still open: the name was not taken.
            QTimer::singleShot(300, dialog, [dialog] { dialog->reject(); });
        };
        QWidget owner;
        QCOMPARE(common.ShowOpen(&owner), returned);
        if (returned) QCOMPARE(common.FileName, dir.path(typed));
        if (flags & forms::CommonDialog::kFileMustExist) {
            QCOMPARE(answerer.boxes.size(), 1); // Qt's own warning, in Japanese
            QVERIFY(answerer.boxes[0].text.contains("ファイルが見つかりません"));
        } else {
            QVERIFY(answerer.boxes.isEmpty());
        }
    }

    // The folder, the file and the filter of the last use come back, and
    // "all file (*.*)" lists files without a dot in their names too.
    void fileDialogRemembers() {
        dir.picture("a.bmp", 4, 4);
        QFile plain(dir.path("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        forms::CommonDialog common;
        common.CancelError = true;
        common.Filter = "BMP(*.bmp)|*.bmp|all file (*.*)|*.*|";
        ModalAnswerer answerer;
        QString filterShown, folderShown, openText;
        QStringList listed;
        answerer.other = [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) return;
            filterShown = dialog->selectedNameFilter();
            folderShown = dialog->directory().absolutePath();
            openText =
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text();
            if (common.FileName.isEmpty()) {
                dialog->selectNameFilter("all file (*.*) (*)");
                chooseFile(dialog, dir.path("a.bmp"));
                return;
            }
            auto* model = dialog->findChild<QFileSystemModel*>();
            QTRY_VERIFY(model && model->rowCount(model->index(dir.path(""))) >= 2);
            const QModelIndex folder = model->index(dir.path(""));
            for (int row = 0; row < model->rowCount(folder); ++row)
                listed << model->index(row, 0, folder).data().toString();
            dialog->reject();
        };
        QWidget owner;
        QVERIFY(common.ShowOpen(&owner));
        QCOMPARE(openText, QString("開く(&O)")); // Qt's own buttons speak Japanese
        QVERIFY(!common.ShowOpen(&owner));       // cancelled, the second time
        QCOMPARE(filterShown, QString("all file (*.*)"));
        QCOMPARE(QDir(folderShown), QDir(dir.path("")));
        QVERIFY2(listed.contains("plain") && listed.contains("a.bmp"),
                 qPrintable(listed.join(',')));
    }

    void showFileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("full path") << "/home/pom/写真/ねこ.jpg"
                                   << "ねこ.jpg";
        QTest::newRow("ends in a separator") << "/home/pom/"
                                             << "";
        QTest::newRow("root file") << "/a.bmp"
                                   << "a.bmp";
        QTest::newRow("empty") << ""
                               << "error!";
        QTest::newRow("no separator keeps the old text") << "ねこ.jpg"
                                                         << "before.jpg";
    }
    void showFileName() {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        LockWindowForm& lock = LockWindow();
        lock.Text2->setText("/x/before.jpg");
        lock.Text2->setText(path);
        QCOMPARE(lock.Text3->text(), shown);
    }

    void quitEndsTheProgram() {
        QSignalSpy ended(&forms::FormRuntime::instance(), &forms::FormRuntime::allUnloaded);
        LockWindowForm& lock = unlocked();
        QVERIFY(forms::desktop().screenSaverRunning());
        lock.Command1->click();
        QVERIFY(!LockWindowIfLoaded());
        QVERIFY(!frmLoginIfLoaded());
        QVERIFY(!forms::desktop().screenSaverRunning());
        QCOMPARE(ended.count(), 1);
    }

    // While the dialog is open again after an unlock, the panel's buttons work.
    void quitWhileTheDialogIsOpenAgain() {
        LockWindowForm& lock = unlocked();
        QTest::mouseDClick(&lock, Qt::LeftButton, {}, QPoint(2, screenSize().height() - 2));
        QVERIFY(frmLogin().isVisible());
        lock.Command1->click();
        QVERIFY(!LockWindowIfLoaded());
        QVERIFY(!frmLoginIfLoaded());
    }
};

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
