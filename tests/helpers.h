#pragma once

// Shared by the widget tests: a temporary program directory for the settings
// file, an answerer for modal message boxes, and a clean slate of forms.

#include "forms/appinfo.h"
#include "forms/decoration.h"
#include "forms/desktop.h"
#include "guard/lock.h"
#include "lock/LockWindow.h"
#include "login/frmLogin.h"
#include "support/ini.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <functional>

struct SeenBox {
    QString title;
    QString text;
    QWidget* owner;
};

// Answers every modal box as soon as it is up: message boxes are recorded and
// closed with OK; anything else is handed to `other` (a file dialog, say).
class ModalAnswerer : public QObject {
public:
    QList<SeenBox> boxes;
    std::function<void(QWidget*)> other;
    std::function<void()> onBox; // as each message box is seen

    ModalAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.append({box->windowTitle(), box->text(), box->parentWidget()});
            if (onBox) onBox();
            box->button(QMessageBox::Ok)->click();
        } else if (other && !busy_) {
            // Outside this timer's slot: the answer may open a nested loop
            // (a warning box), and a timer does not fire inside its own slot.
            busy_ = true;
            QTimer::singleShot(0, modal, [this, modal] {
                other(modal);
                busy_ = false;
            });
        }
    }
    QTimer timer_;
    bool busy_ = false;
};

inline QSize screenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

inline bool isTopMost(QWidget& w) {
    // The band of a window no window manager manages is the program's own to
    // keep; a managed one is in the window manager's band as well.
    const bool flagged = w.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (w.windowFlags().testFlag(Qt::X11BypassWindowManagerHint)) return flagged;
    return flagged && w.windowHandle() &&
           w.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
}

// Unloads whatever forms a test left and lets Qt delete them.
inline void unloadAllForms() {
    if (frmLoginForm* dialog = frmLoginIfLoaded()) dialog->Unload();
    if (LockWindowForm* lock = LockWindowIfLoaded()) lock->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The lock's own desktop, as the program installs it. Offscreen there is no
// X server to hold or stack anything, but it keeps the same state and covers.
inline guard::Lock& testLock() {
    static guard::Lock* lock = [] {
        auto* l = new guard::Lock;
        forms::SetDesktop(l);
        forms::DecorateEveryDialog();
        return l;
    }();
    return *lock;
}

class ProgramDir {
public:
    ProgramDir() {
        forms::SetAppPathForTesting(dir_.path());
        testLock();
        frmLoginForm::SetRefusalPauseForTesting(0); // but see TestLock::refusalTakesItsTime
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    void store(const QString& password, const QString& picture) {
        ini::WriteIni("Pass", "Word", password);
        ini::WriteIni("Pic", "Back", picture);
    }
    void clear() { QFile::remove(dir_.filePath("ぽむ.ini")); }
    // A picture file of the given size, written in the format its suffix names.
    QString picture(const QString& name, int width, int height, QColor colour = Qt::red) {
        QImage img(width, height, QImage::Format_RGB32);
        img.fill(colour);
        const QString file = path(name);
        img.save(file);
        return file;
    }

private:
    QTemporaryDir dir_;
};
