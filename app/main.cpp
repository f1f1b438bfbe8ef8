// pomlock-screen: the lock itself, started by the guardian (pomlock) or on its own.
#include "lock/LockWindow.h"
#include "platform/fonts.h"
#include "platform/form.h"
#include "platform/guardianlink.h"
#include "platform/picture.h"
#include "platform/qttexts.h"
#include "platform/screenguard.h"
#include "platform/x11.h"
#include "support/ini.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    // The lock works through X11 grabs; under Wayland it runs through XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    // It draws nothing with OpenGL: no GL libraries to load.
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    if (!platform::x11::DisplayOpens()) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "pomlock: cannot open the X display '%s'\n", display ? display : "");
        return 1;
    }
    platform::WarmUpFonts(); // while the toolkit starts
    QApplication app(argc, argv);
    // Hiding windows never ends the program; unloading the last form does.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    platform::UseJapaneseQtTexts();

    platform::GuardianLink& guardian = platform::GuardianLink::instance();
    guardian.attach();
    // The stored picture is read while the lock window is being made; the
    // lock sequence takes it when it asks for the same file.
    if (!guardian.startsWithoutPicture())
        platform::PrefetchPicture(
            [] { return ini::ReadIni(QStringLiteral("Pic"), QStringLiteral("Back")); },
            QGuiApplication::primaryScreen()->geometry().size());
    platform::ScreenGuard::instance().setFriend(guardian.cover());
    QObject::connect(&guardian, &platform::GuardianLink::coverChanged,
                     &platform::ScreenGuard::instance(), &platform::ScreenGuard::setFriend);
    QObject::connect(&platform::FormRuntime::instance(), &platform::FormRuntime::allUnloaded,
                     &guardian, &platform::GuardianLink::quitting);
    QObject::connect(&platform::FormRuntime::instance(), &platform::FormRuntime::allUnloaded, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    LockWindow(); // the startup form: loading it locks the screen
    guardian.settled();
    return app.exec();
}
