#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRect>

#include <functional>

class QWidget;

// What the forms ask of the desktop they run on: the screen-saver-running
// switch, the stacking of their windows, and showing a picture. The lock
// installs its X11 guard here (guard/lock.h); without one (the widget tests)
// the windows are raised and activated as Qt does it, and pictures are
// painted by the toolkit.
namespace forms {

// The lock window's surface, as the desktop needs to know it. The form goes
// away with its last events still to come in: guarded pointers.
struct LockSurface {
    QPointer<QWidget> form;  // covers the primary screen
    QPointer<QWidget> panel; // the screen counts as locked while it is hidden
    // Children drawn above the picture (the panel, the title box).
    QList<QPointer<QWidget>> overPicture;
    std::function<void()> doubleClick; // a double-click on another screen's cover
    std::function<void()> lockAgain;   // another start asks to lock while the owner is in
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // On: the keyboard and pointer are the program's alone.
    virtual void setScreenSaverRunning(bool on) = 0;
    virtual bool screenSaverRunning() const = 0;

    // The lock window, once, before it is first shown.
    virtual void coverScreen(const LockSurface& surface) = 0;

    // The band or the order of our windows changed, or one was shown or
    // hidden: the desktop puts them in place (and the focus where it
    // belongs).
    virtual void restack() = 0;

    // Shows `pixels` (the decoded part of a picture) at `part` of the image
    // control `box`, in device pixels. True when the desktop shows them
    // itself: the caller need not keep them.
    virtual bool showPicture(QWidget& box, const QRect& part, const QImage& pixels) = 0;
};

// The desktop in use: the installed one, or the toolkit's own.
Desktop& desktop();
void SetDesktop(Desktop* desktop); // nullptr: the toolkit's own again

} // namespace forms
