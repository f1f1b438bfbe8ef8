#pragma once

// What the guardian and the lock say to each other: one short text message
// per packet, on a socket pair the guardian makes and the lock inherits as
// descriptor 3. No option or setting of the user's is involved.
namespace handover {

constexpr int kLockFd = 3;
constexpr int kMaxMessage = 64;

// guardian -> lock
constexpr char kCover[] = "cover";       // "cover <window>": the guardian's black window
constexpr char kPlain[] = "plain";       // start without the stored picture
constexpr char kReleased[] = "released"; // the guardian let go of the keyboard and pointer

// lock -> guardian
constexpr char kUp[] = "up";           // the toolkit started: a death from now on is a crash
constexpr char kReady[] = "ready";     // "ready <window>": the lock window is on screen, painted
constexpr char kSettled[] = "settled"; // the lock sequence ran to its end
constexpr char kQuit[] = "quit";       // the program ends as the user asked

// The program the guardian starts, beside its own.
constexpr char kLockProgram[] = "pomlock-screen";

} // namespace handover
