#pragma once

// The program the user starts. Without any toolkit it covers the screen and
// takes the keyboard and pointer at once, then starts the lock (the Qt
// program beside it) and hands the screen over once the lock is on screen.
// It keeps its black window beneath the lock's, so that if the lock ends in
// any way but the user quitting (a crash, a signal, its X connection cut) the
// screen is still covered; it takes the grabs back and starts a fresh lock,
// which comes up locked. A lock that keeps dying before it has come up is
// restarted with a growing pause, and after three such deaths without its
// stored picture, so that the owner can still get in and choose another.
//
// One lock per display: the guardian claims it with a selection of its own
// (guardian/claim.h). A second start finds the claim taken, asks the running
// lock to lock (the owner may be in), and ends.
//
// The suspend delay an idle watcher hands over (XSS_SLEEP_LOCK_FD) is closed
// once the screen is covered and both grabs are held; the lock never gets it.
//
// Returns the exit status: 0 once the user quit; 2 when another lock already
// runs on the display and has locked it; 1, with the reason on stderr, when
// the display cannot be opened, the running lock does not answer, or the lock
// never came up at the first start (its toolkit did not start, or even
// without its picture it died before it was on screen): a broken installation
// locks nobody out.
namespace guardian {

int Run();

} // namespace guardian
