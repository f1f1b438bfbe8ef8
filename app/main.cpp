#include "lock/LockWindow.h"
#include "platform/form.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    // The lock works through X11 grabs; under Wayland it runs through XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    // Hiding windows never ends the program; unloading the last form does.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    QObject::connect(&platform::FormRuntime::instance(), &platform::FormRuntime::allUnloaded, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    LockWindow(); // the startup form: loading it locks the screen
    return app.exec();
}
