#pragma once

class QWidget;

// The topmost switch the lock window and the password dialog hand back and forth.
namespace Module7 {

// mode 1: into the always-on-top band; mode 0: out of it. Either also shows
// and activates the window. Any other mode does nothing and returns 0.
long SetTopMost(QWidget& form, short mode);

} // namespace Module7
