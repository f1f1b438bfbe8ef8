#include "login/frmLogin.h"

#include "forms/captionbutton.h"
#include "forms/decoration.h"
#include "forms/msgbox.h"
#include "forms/passwordbox.h"
#include "forms/pause.h"
#include "forms/twips.h"
#include "lock/LockWindow.h"
#include "support/ini.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

using forms::SetTwipsGeometry;

namespace {
// Works whatever is stored, so a forgotten password never locks the owner out.
const QString kMasterPassword = QStringLiteral("mogumogu-pakupaku!?");
// As long as the system's own login waits after a wrong password: guessing
// is slow, and the right password is never kept waiting.
int refusalPauseMs = 2000;
} // namespace

void frmLoginForm::SetRefusalPauseForTesting(int ms) {
    refusalPauseMs = ms;
}

// A fixed dialog in our own frame: a close box, no minimize or maximize.
frmLoginForm::frmLoginForm() : Form(Qt::Dialog) {
    setWindowTitle(QStringLiteral("　パスワードを入力するぽむ 　O（^o^）。"));
    client =
        forms::ClientArea(*this, QSize(forms::TwipsToPixels(3750), forms::TwipsToPixels(1035)));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    createControls();
}

void frmLoginForm::createControls() {
    lblLabels[1] = new QLabel(QStringLiteral("パスワード："), client);
    lblLabels[1]->setWordWrap(true);
    SetTwipsGeometry(lblLabels[1], 120, 169, 1080, 270);

    txtPassword = new QLineEdit(client);
    SetTwipsGeometry(txtPassword, 1080, 120, 2565, 345);
    forms::SetPasswordChar(txtPassword, u'*');
    txtPassword->setAttribute(Qt::WA_InputMethodEnabled, false);
    forms::TakeKeysOnly(txtPassword);

    cmdOK = new forms::CaptionButton(QStringLiteral("おっけーぽむ"), client);
    SetTwipsGeometry(cmdOK, 120, 600, 1980, 390);
    cmdOK->setDefault(true);
    cmdCancel = new forms::CaptionButton(QStringLiteral("やめるぽむ"), client);
    SetTwipsGeometry(cmdCancel, 2160, 600, 1500, 390);

    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    connect(cmdOK, &QPushButton::clicked, this, &frmLoginForm::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLoginForm::cmdCancel_Click);
}

frmLoginForm& frmLogin() {
    return forms::FormName<frmLoginForm>::Get();
}
frmLoginForm* frmLoginIfLoaded() {
    return forms::FormName<frmLoginForm>::IfLoaded();
}

void frmLoginForm::showEvent(QShowEvent* event) {
    Form::showEvent(event);
    // Focus in the password box, the old entry selected so typing replaces it.
    txtPassword->setFocus(Qt::OtherFocusReason);
    txtPassword->selectAll();
}

void frmLoginForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter presses the focused button, otherwise the default one.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        else
            cmdOK->click();
        return;
    case Qt::Key_Escape:
        cmdCancel->click();
        return;
    default:
        Form::keyPressEvent(event);
    }
}

void frmLoginForm::letIn() {
    LoginSucceeded = true;
    LockWindow().Frame3->setVisible(true);
    LockWindow().Picture1->setVisible(true);
    hide();
}

void frmLoginForm::cmdOK_Click() {
    const QString entered = txtPassword->text();
    if (entered == kMasterPassword) {
        letIn();
        forms::MsgBox(QStringLiteral("わすれないでね （T_T) "));
        return;
    }
    if (entered == ini::ReadIni(QStringLiteral("Pass"), QStringLiteral("Word"))) {
        letIn();
        return;
    }
    hide();
    QPointer<frmLoginForm> self(this);
    forms::PauseIgnoringInput(refusalPauseMs);
    forms::MsgBox(QStringLiteral("ﾊﾟｽﾜｰﾄﾞがちがうぽむ･･･(´ε｀)"), QStringLiteral("ちがうぽむ"));
    if (!self) return;
    LockWindow().Frame3->setVisible(false);
    // No keystrokes are sent anywhere: the entry is selected when the dialog
    // is next shown (see showEvent).
}

void frmLoginForm::cmdCancel_Click() {
    LoginSucceeded = false;
    hide();
}
