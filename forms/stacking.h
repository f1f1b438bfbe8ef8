#pragma once

#include <QList>

class QDialog;
class QWidget;

// How our windows stand, kept by the program itself: no window manager
// stacks them. Windows in the always-on-top band stand above the others;
// within each, the one brought up last is on top; modal windows stand above
// all. The desktop (forms/desktop.h) puts the windows where this says.
namespace forms {

// Puts a top-level widget's window into (on) or out of (off) the band, shows
// it and brings it to the top of its band. Returns whether the window could
// be reached.
bool SetWindowTopMost(QWidget& form, bool on);

// The band, as the program keeps it (the widget's always-on-top flag; the
// X window is not told: the toolkit would replace it).
void SetBandFlag(QWidget& window, bool on);
bool InBand(const QWidget& window);

// To the top of its band. Every window of ours comes up so when it is shown.
void BringToTop(QWidget& window);

// Our shown top-level windows, bottom to top, as they should stand. Popups,
// tooltips and windows stacked by someone else (the lock's covers) are not
// among them.
QList<QWidget*> StackingOrder();
void StackedElsewhere(QWidget& window);

// Runs a modal dialog; runs it again if it ended only because the desktop
// had to give it a new window (another client destroyed its own).
int ExecModal(QDialog& dialog);
void MarkRemade(QWidget& window);

// Runs the event loop (no user input) until the window is on screen and
// painted, at most maxMs, so that it covers the screen before anything slow
// happens. Returns whether it is on screen.
bool WaitUntilOnScreen(QWidget& form, int maxMs);

} // namespace forms
