// pomlock-screen: the lock itself, started by the guardian (pomlock) or on its own.
#include "forms/decoration.h"
#include "forms/desktop.h"
#include "forms/fonts.h"
#include "forms/form.h"
#include "forms/picture.h"
#include "forms/qttexts.h"
#include "guard/lock.h"
#include "guard/x11.h"
#include "lock/LockWindow.h"
#include "support/ini.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    // The lock works through X11 grabs; under Wayland it runs through XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    // It draws nothing with OpenGL: no GL libraries to load.
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    if (!guard::x11::DisplayOpens()) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "pomlock: cannot open the X display '%s'\n", display ? display : "");
        return 1;
    }
    forms::WarmUpFonts(); // while the toolkit starts
    // The keyboard and pointer are held by the lock's own grabs, always: the
    // toolkit must never take them for a popup and let them go after it.
    std::vector<char*> args(argv, argv + argc);
    char noGrab[] = "-nograb";
    args.push_back(noGrab);
    int count = int(args.size());
    args.push_back(nullptr);
    QApplication app(count, args.data());
    // Hiding windows never ends the program; unloading the last form does.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    forms::UseJapaneseQtTexts();
    forms::DecorateEveryDialog();

    guard::Lock lock; // how the screen is kept locked: guard/lock.h
    forms::SetDesktop(&lock);
    // The locks before this one died on the stored picture: not loaded.
    if (lock.guardian().skipStoredPicture()) forms::SkipNextPicture();
    // The stored picture is read while the lock window is being made; the
    // lock sequence takes it when it asks for the same file.
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        forms::PrefetchPicture(
            [] { return ini::ReadIni(QStringLiteral("Pic"), QStringLiteral("Back")); },
            (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize());
    QObject::connect(
        &forms::FormRuntime::instance(), &forms::FormRuntime::allUnloaded, &app, [&lock, &app] {
            lock.quitting();
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        });

    LockWindow(); // the startup form: loading it locks the screen
    lock.settled();
    const int status = app.exec();
    forms::SetDesktop(nullptr);
    return status;
}
