#pragma once

class QWidget;

namespace platform {

// Puts a top-level widget's window into (on) or out of (off) the always-on-top
// band, shows it and activates it. Returns whether the window could be reached.
bool SetWindowTopMost(QWidget& form, bool on);

} // namespace platform
