#pragma once

#include <QList>

// Every X11 call of the program lives in x11.cpp, behind helpers named for
// what they do. Under a Qt platform other than xcb they all do nothing.
namespace platform::x11 {

// Whether the program talks to an X server.
bool Available();

// Active grabs on the root window with owner-events: this program's own
// windows still get their keys and clicks, nothing else does. True when the
// grab is (still) ours.
bool GrabKeyboard();
bool GrabPointer();

void UngrabKeyboardAndPointer();

// Whether the topmost window on screen (the highest mapped child of the root
// window, so override-redirect windows count too) holds one of `ours`.
// True when it cannot be told.
bool OnTopOfStack(const QList<unsigned long>& ours);

} // namespace platform::x11
