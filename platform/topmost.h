#pragma once

class QWidget;

namespace platform {

// Puts a top-level widget's window into (on) or out of (off) the always-on-top
// band, shows it and activates it. Returns whether the window could be reached.
bool SetWindowTopMost(QWidget& form, bool on);

// Marks a top-level widget as in (on) or out of (off) the band, for the
// program's own bookkeeping only.
void SetBandFlag(QWidget& window, bool on);

// Runs the event loop (no user input) until the window is on screen and
// painted, at most maxMs, so that it covers the screen before anything slow
// happens. Returns whether it is on screen.
bool WaitUntilOnScreen(QWidget& form, int maxMs);

} // namespace platform
