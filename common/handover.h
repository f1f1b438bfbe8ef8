#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the guardian and the lock say to each other: one short message per
// packet, on a socket pair the guardian makes and the lock inherits as
// descriptor 3. Both programs send and read them only through this.
namespace handover {

constexpr int kLockFd = 3;
// The program the guardian starts, beside its own.
constexpr char kLockProgram[] = "pomlock-screen";

enum class Word {
    // guardian -> lock
    Cover, // "cover <window>": the guardian's black window, to keep beneath ours
    Plain, // start without the stored picture
    // "yield <token>": the keyboard and pointer are the lock's to take. The
    // guardian holds them on a connection of their own, which `token` (a
    // resource of it) names: the lock ends that connection and grabs in one
    // go, so that no other client can take them in between.
    Yield,
    Lock, // lock the screen if the owner is in (another start asked)
    // lock -> guardian
    Up,      // the toolkit started: a death from now on is a crash
    Ready,   // "ready <window>": the lock window is on screen, painted
    Settled, // the lock sequence ran to its end
    Quit,    // the program ends as the user asked
};

struct Message {
    Word word = Word::Up;
    uint32_t window = 0; // Cover, Ready; the token of Yield
    bool operator==(const Message& o) const { return word == o.word && window == o.window; }
};

std::string Encode(const Message& message);
// False for anything that is not one of the messages above.
bool Decode(const std::string& packet, Message* message);

// Never blocks and never raises SIGPIPE; false when the message could not go.
bool Send(int fd, const Message& message);

// Reads every message waiting. False once the other side has ended: what it
// said before it ended is still read first, even when it ended with words
// of ours unread (the kernel then reports a reset before the rest).
bool Receive(int fd, std::vector<Message>* messages);

} // namespace handover
