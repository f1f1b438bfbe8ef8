#include "lock/LockWindow.h"

#include "forms/appinfo.h"
#include "forms/captionbutton.h"
#include "forms/desktop.h"
#include "forms/fonts.h"
#include "forms/imagebox.h"
#include "forms/msgbox.h"
#include "forms/picture.h"
#include "forms/twips.h"
#include "login/frmLogin.h"
#include "support/Module7.h"
#include "support/ini.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

using forms::BgrColor;
using forms::SetTwipsGeometry;

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, unsigned bgr, const QFont& font,
                  Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, BgrColor(bgr));
    label->setPalette(pal);
    label->setFont(font);
    label->setAlignment(align | Qt::AlignTop);
    label->setWordWrap(true); // as the forms' labels do when the text is wider than the box
    label->setAutoFillBackground(false); // transparent
    return label;
}

QLineEdit* makeTextBox(QWidget* parent) {
    auto* box = new QLineEdit(parent);
    // A context menu is a popup; closing it silently drops the X keyboard grab.
    box->setContextMenuPolicy(Qt::NoContextMenu);
    return box;
}

void colourTextBox(QLineEdit* box, unsigned background, unsigned text) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, BgrColor(background));
    pal.setColor(QPalette::Text, BgrColor(text));
    box->setPalette(pal);
}

} // namespace

// No window manager manages it: none can stack a window above it, iconify it
// or act on it with its own bindings.
LockWindowForm::LockWindowForm()
    : Form(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint) {
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, BgrColor(0x000000));
    setPalette(pal);
    setAutoFillBackground(true);

    // Covers the whole primary screen from its first appearance.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
    setWindowState(Qt::WindowFullScreen);
    followPrimaryScreen();

    createImage(); // first, so that it is drawn beneath the title box and the panel
    createTitleBox();
    createSettingsPanel();
    setTabOrderByIndex();
    // It covers the screen, locked for as long as the settings panel is
    // hidden; the covers of the other screens are part of its surface.
    forms::desktop().coverScreen({this,
                                  Frame3,
                                  {Picture1, Frame3},
                                  [this] { Form_DblClick(); },
                                  [this] { Command4_Click(); }});
}

void LockWindowForm::createImage() {
    Image1 = new forms::ImageBox(this);
    SetTwipsGeometry(Image1, 3840, 240, 2925, 4665);
    connect(Image1, &forms::ImageBox::doubleClicked, this, &LockWindowForm::Image1_DblClick);
}

void LockWindowForm::createTitleBox() {
    Picture1 = new QFrame(this);
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetTwipsGeometry(Picture1, 0, 0, 2895, 1095);
    QPalette pal = Picture1->palette();
    pal.setColor(QPalette::Window, BgrColor(0x000000));
    Picture1->setPalette(pal);
    Picture1->setAutoFillBackground(true);
    // Double-clicks here must not reach the form and open the dialog.
    Picture1->setAttribute(Qt::WA_NoMousePropagation);

    Label1 = makeLabel(Picture1, QStringLiteral("「　ぽむ !?　」"), 0x0000FF,
                       forms::PGothicFont(12, true), Qt::AlignHCenter);
    SetTwipsGeometry(Label1, 0, 240, 1935, 375);
    Label2 = makeLabel(Picture1, QStringLiteral("Qt版 by ぽむ"), 0xFFFF00,
                       forms::PGothicFont(9.75, false), Qt::AlignLeft);
    SetTwipsGeometry(Label2, 360, 600, 1335, 255);
    Label3 = makeLabel(Picture1, QStringLiteral("Ver 1.0"), 0x00FFFF,
                       forms::PGothicFont(11.25, true), Qt::AlignHCenter);
    SetTwipsGeometry(Label3, 1560, 240, 1455, 255);
    Label4 = makeLabel(Picture1, QStringLiteral(" 2001.04.26"), 0x00FF00, font(), Qt::AlignHCenter);
    SetTwipsGeometry(Label4, 1320, 600, 1815, 375);

    Picture1->hide();
}

void LockWindowForm::createSettingsPanel() {
    Frame3 = new QGroupBox(QStringLiteral("各種設定だぽむ"), this);
    SetTwipsGeometry(Frame3, 2880, 0, 12495, 1095);
    // The panel has the ordinary control colours, not the lock's black.
    const QPalette controls = QApplication::palette(Frame3);
    QPalette panel = Frame3->palette();
    panel.setColor(QPalette::Window, controls.color(QPalette::Window));
    panel.setColor(QPalette::WindowText, controls.color(QPalette::WindowText));
    Frame3->setPalette(panel);
    Frame3->setAutoFillBackground(true);
    Frame3->setAttribute(Qt::WA_NoMousePropagation);

    Command4 = new forms::CaptionButton(QStringLiteral("またロックするぽむ"), Frame3);
    SetTwipsGeometry(Command4, 10200, 720, 2175, 255);
    Command1 = new forms::CaptionButton(QStringLiteral("終了するぽむ"), Frame3);
    SetTwipsGeometry(Command1, 10200, 240, 2175, 375);
    Command2 = new forms::CaptionButton(QStringLiteral("←　セットして保存するぽむ　→"), Frame3);
    SetTwipsGeometry(Command2, 2880, 360, 2535, 615);

    Frame2 = new QGroupBox(QStringLiteral("表示する画像だぽむ"), Frame3);
    SetTwipsGeometry(Frame2, 5520, 240, 4575, 735);
    Text3 = makeTextBox(Frame2);
    SetTwipsGeometry(Text3, 2040, 240, 2415, 390);
    colourTextBox(Text3, 0x000000, 0xF8E88B);
    Text3->setAlignment(Qt::AlignCenter);
    Text2 = makeTextBox(Frame2);
    SetTwipsGeometry(Text2, 2040, 480, 2415, 270);
    Text2->hide();
    Command3 = new forms::CaptionButton(QStringLiteral("変更するぽむ"), Frame2);
    SetTwipsGeometry(Command3, 120, 240, 1695, 375);

    connect(Command1, &QPushButton::clicked, this, &LockWindowForm::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &LockWindowForm::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &LockWindowForm::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &LockWindowForm::Command4_Click);
    connect(Text2, &QLineEdit::textChanged, this, &LockWindowForm::Text2_Change);

    Frame1 = new QGroupBox(QStringLiteral("パスワードだぽむ"), Frame3);
    SetTwipsGeometry(Frame1, 120, 240, 2655, 735);
    Text1 = makeTextBox(Frame1);
    SetTwipsGeometry(Text1, 120, 240, 2415, 375);
    colourTextBox(Text1, 0x000000, 0x0080FF);

    Frame3->hide();
}

void LockWindowForm::setTabOrderByIndex() {
    // TabIndex 2, 4, 5, 6, 7, 8, 9, 10: the focusable controls in that order;
    // the title box takes the focus too, as a picture box does.
    Picture1->setFocusPolicy(Qt::TabFocus);
    QWidget* order[] = {Text1, Command3, Text2, Command2, Command1, Command4, Text3, Picture1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void LockWindowForm::followPrimaryScreen() {
    // No window manager resizes it: it follows a new resolution, or another
    // monitor made primary, itself. The resize centres Image1; a picture
    // decoded only where it showed is decoded for the new size.
    const auto follow = [this] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return;
        setGeometry(screen->geometry());
        Image1->decodeFor(screenSize());
    };
    const auto watch = [this, follow](QScreen* screen) {
        if (screen) connect(screen, &QScreen::geometryChanged, this, follow);
    };
    watch(QGuiApplication::primaryScreen());
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [watch, follow](QScreen* s) {
        watch(s);
        follow();
    });
}

QSize LockWindowForm::screenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize()
                  : QSize();
}

LockWindowForm& LockWindow() {
    return forms::FormName<LockWindowForm>::Get();
}
LockWindowForm* LockWindowIfLoaded() {
    return forms::FormName<LockWindowForm>::IfLoaded();
}

void LockWindowForm::Form_Load() {
    forms::desktop().setScreenSaverRunning(true);
    Module7::SetTopMost(frmLogin(), 0);
    // Shows this window, black from the moment it is mapped, with the
    // keyboard held: the screen is covered before the settings file and the
    // picture (either may be large) are read.
    Module7::SetTopMost(*this, 1);
    readStoredValues();
}

void LockWindowForm::readStoredValues() {
    Text1->setText(ini::ReadIni(QStringLiteral("Pass"), QStringLiteral("Word")));
    Text2->setText(ini::ReadIni(QStringLiteral("Pic"), QStringLiteral("Back")));
    forms::Picture picture;
    if (!forms::LoadPicture(Text2->text(), &picture, screenSize()))
        return; // a missing picture leaves the lock in force, silently
    Image1->setPicture(picture);
    // The window got its size when it was shown, before the picture was read:
    // centre what was loaded, or it would sit where the previous one was.
    Form_Resize();
}

void LockWindowForm::Form_Resize() {
    // Twips in single precision with floating division, Top first, then Left;
    // the screen's size, not the form's, so a large picture is cut evenly.
    const float height = float(forms::PixelsToTwips(Image1->height()));
    const float width = float(forms::PixelsToTwips(Image1->width()));
    image1Top_ = (float(forms::ScreenHeightTwips()) - height) / 2.0f;
    image1Left_ = (float(forms::ScreenWidthTwips()) - width) / 2.0f;
    Image1->move(forms::TwipsToPixels(image1Left_), forms::TwipsToPixels(image1Top_));
}

void LockWindowForm::resizeEvent(QResizeEvent* event) {
    Form::resizeEvent(event);
    Form_Resize();
}

void LockWindowForm::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    Form_DblClick();
}

void LockWindowForm::Form_DblClick() {
    Module7::SetTopMost(*this, 0);
    Module7::SetTopMost(frmLogin(), 1);
    frmLogin().show();
}

void LockWindowForm::Image1_DblClick() {
    Form_DblClick();
}

void LockWindowForm::Form_QueryUnload(bool& cancel, forms::UnloadMode mode) {
    // A close request from outside must not end the lock: only someone who got
    // in (the settings panel is showing) may close it that way.
    if (mode == forms::UnloadMode::CloseRequest && !Frame3->isVisibleTo(this)) {
        cancel = true;
        return;
    }
    Module7::SetTopMost(*this, 0);
}

void LockWindowForm::Form_Unload() {
    forms::desktop().setScreenSaverRunning(false);
    // A hidden dialog left behind would keep the process alive with nothing on screen.
    if (frmLoginForm* dialog = frmLoginIfLoaded()) dialog->Unload();
}

void LockWindowForm::Command2_Click() {
    // Both values in one replacement of the file: the file never holds half a
    // change, and a failed save is never reported as done.
    const long saved =
        ini::WriteIniPair(QStringLiteral("Pass"), QStringLiteral("Word"), Text1->text(),
                          QStringLiteral("Pic"), QStringLiteral("Back"), Text2->text());
    if (!saved) {
        forms::MsgBox(QStringLiteral("保存できなかったぽむ･･･(´ε｀)"));
        return;
    }
    forms::MsgBox(QStringLiteral("セットして保存したぽむ！"));
}

void LockWindowForm::Command3_Click() {
    CommonDialog1.DialogTitle = QStringLiteral("open backpicture");
    CommonDialog1.CancelError = true;
    CommonDialog1.Flags = 2052;
    CommonDialog1.Filter =
        QStringLiteral("BMP(*.bmp)|*.bmp|JPG(*.jpg)|*.jpg|GIF(*.gif)|*.gif|all file (*.*)|*.*|");
    if (!CommonDialog1.ShowOpen(this)) return; // cancelled: nothing changes
    const QString file = CommonDialog1.FileName;
    if (file.isEmpty()) return;
    forms::Picture picture;
    if (!forms::LoadPicture(file, &picture, screenSize()))
        return; // not a picture: picture and path stay as they were
    Image1->setPicture(picture);
    Text2->setText(file);
    Form_Resize();
}

void LockWindowForm::Text2_Change(const QString& text) {
    ShowFileName(text);
}

void LockWindowForm::ShowFileName(const QString& path) {
    if (path.isEmpty()) {
        Text3->setText(QStringLiteral("error!"));
        return;
    }
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) return; // no directory part: Text3 keeps what it showed
    Text3->setText(path.mid(slash + 1));
}

void LockWindowForm::Command4_Click() {
    frmLogin().txtPassword->setText(QString());
    Frame3->hide();
    Picture1->hide();
    Form_Load(); // re-reads the stored values over any unsaved edits
}

void LockWindowForm::Command1_Click() {
    if (frmLoginForm* dialog = frmLoginIfLoaded()) dialog->Unload();
    Unload();
}
