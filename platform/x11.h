#pragma once

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

} // namespace platform::x11
