#include "guardian/guardian.h"

#include "common/handover.h"
#include "guardian/cover.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace guardian {
namespace {

// Grabs wanted but not held are tried again on every X event that may free
// them; this is only the backstop between those, while they are wanted.
constexpr int kGrabRetryMs = 50;
constexpr int kReconnectMs = 100;
// A lock that dies before its lock sequence has run to the end waits this
// long before the next try, doubling each time up to the limit.
constexpr int kFirstBackoffMs = 200;
constexpr int kMaxBackoffMs = 5000;
constexpr int kPlainAfterDeaths = 3;
constexpr int kTermWaitMs = 2000;
// How long the lock has to take the grabs over before we let go of them anyway.
constexpr int kYieldMs = 1000;

long long nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// The lock program in the directory of this one.
std::string lockPath() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return handover::kLockProgram;
    std::string path(self, size_t(n));
    return path.substr(0, path.rfind('/') + 1) + handover::kLockProgram;
}

// The suspend delay an idle watcher hands over (xss-lock -l): a descriptor
// the machine waits on before it sleeps. Kept from the lock, closed as soon
// as the screen is covered and held. The only thing read from the
// environment: it is the watcher's hand-over, not a setting.
int takeSleepLock() {
    const char* value = std::getenv("XSS_SLEEP_LOCK_FD");
    if (!value || !*value) return -1;
    char* end = nullptr;
    const long fd = std::strtol(value, &end, 10);
    if (*end != '\0' || fd <= 2 || fd > 65535 || fcntl(int(fd), F_GETFD) < 0) return -1;
    fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    return int(fd);
}

class Guardian {
public:
    int run();

private:
    int handOverToRunning(xcb::Window holder);
    bool startLock();
    void readLock();
    void lockGone();
    void childExited(int status);
    void takeGrabs();
    void handleX();
    void releaseSleepLock();
    int terminate(int sig);
    int timeout() const;

    Cover cover_;
    sigset_t oldMask_{};
    int signals_ = -1;
    int sleepLock_ = -1;
    pid_t child_ = -1;
    int sock_ = -1;
    bool everInForce_ = false; // a lock came up at least once
    bool up_ = false;          // the current lock's toolkit started
    bool settled_ = false;     // the current lock ran its lock sequence to the end
    bool quit_ = false;        // the current lock said the user quit
    bool wantGrabs_ = true;    // no lock holds the keyboard and pointer
    xcb::Window lockWindow_ = 0;
    int earlyDeaths_ = 0;
    long long restartAt_ = -1;
    long long reconnectAt_ = -1;
    long long grabRetryAt_ = -1;
    long long yieldBy_ = -1; // the lock was told to take the grabs over
    int exitStatus_ = -1;    // set when it is time to go
};

int Guardian::run() {
    sleepLock_ = takeSleepLock();
    sigset_t mask;
    sigemptyset(&mask);
    for (int s : {SIGCHLD, SIGTERM, SIGINT, SIGHUP})
        sigaddset(&mask, s);
    sigprocmask(SIG_BLOCK, &mask, &oldMask_);
    signals_ = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals_ < 0) { // without it a crashed lock would never be restarted
        std::fprintf(stderr, "pomlock: cannot watch the lock: %s\n", std::strerror(errno));
        return 1;
    }
    if (!cover_.connect()) {
        std::fprintf(stderr, "pomlock: cannot open the X display '%s'\n",
                     xcb::DisplayName().c_str());
        return 1;
    }
    xcb::Window holder = 0;
    if (!cover_.claim(&holder)) return handOverToRunning(holder);
    fcntl(cover_.windowFd(), F_SETFD, FD_CLOEXEC);
    fcntl(cover_.grabsFd(), F_SETFD, FD_CLOEXEC);
    cover_.show();
    takeGrabs();
    if (!startLock()) return 1;

    while (exitStatus_ < 0) {
        pollfd fds[4] = {{signals_, POLLIN, 0},
                         {cover_.windowFd(), POLLIN, 0},
                         {cover_.grabsFd(), POLLIN, 0},
                         {sock_, POLLIN, 0}};
        poll(fds, 4, timeout());
        const long long now = nowMs();
        if (fds[0].revents) {
            signalfd_siginfo info;
            while (read(signals_, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo != SIGCHLD) return terminate(int(info.ssi_signo));
                int status = 0;
                if (child_ > 0 && waitpid(child_, &status, WNOHANG) == child_) childExited(status);
            }
        }
        if (sock_ >= 0 && fds[3].revents) readLock();
        handleX();
        if (wantGrabs_ && !cover_.holdsGrabs() && grabRetryAt_ >= 0 && now >= grabRetryAt_)
            takeGrabs();
        if (yieldBy_ >= 0 && now >= yieldBy_) {
            // The lock never took them over: let go, it grabs them itself.
            yieldBy_ = -1;
            if (!wantGrabs_) cover_.ungrab();
        }
        if (restartAt_ >= 0 && now >= restartAt_ && exitStatus_ < 0) {
            restartAt_ = -1;
            if (!startLock()) return 1;
        }
    }
    cover_.close();
    return exitStatus_;
}

// Another guardian holds the display: it locks, this start ends without
// having shown or grabbed anything.
int Guardian::handOverToRunning(xcb::Window holder) {
    const bool answered = cover_.askToLock(holder);
    releaseSleepLock();
    cover_.close();
    if (!answered) {
        std::fprintf(stderr, "pomlock: the lock already running on '%s' does not answer\n",
                     xcb::DisplayName().c_str());
        return 1;
    }
    std::fprintf(stderr, "pomlock: already running on '%s'; it locks the screen\n",
                 xcb::DisplayName().c_str());
    return 2;
}

int Guardian::timeout() const {
    long long next = -1;
    for (long long t : {restartAt_, reconnectAt_, yieldBy_, wantGrabs_ ? grabRetryAt_ : -1LL})
        if (t >= 0 && (next < 0 || t < next)) next = t;
    return next < 0 ? -1 : int(std::max(0LL, next - nowMs()));
}

bool Guardian::startLock() {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        std::fprintf(stderr, "pomlock: cannot talk to the lock: %s\n", std::strerror(errno));
        return false;
    }
    // Waiting for the lock when it starts reading.
    handover::Send(pair[0], {handover::Word::Cover, cover_.window()});
    if (earlyDeaths_ >= kPlainAfterDeaths) handover::Send(pair[0], {handover::Word::Plain});

    const std::string path = lockPath();
    const pid_t pid = fork();
    if (pid == 0) {
        if (pair[1] == handover::kLockFd)
            fcntl(pair[1], F_SETFD, 0);
        else
            dup2(pair[1], handover::kLockFd); // the copy is kept across exec
        sigprocmask(SIG_SETMASK, &oldMask_, nullptr);
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        std::fprintf(stderr, "pomlock: cannot start %s: %s\n", path.c_str(), std::strerror(errno));
        _exit(127);
    }
    close(pair[1]);
    if (pid < 0) {
        close(pair[0]);
        std::fprintf(stderr, "pomlock: cannot start the lock: %s\n", std::strerror(errno));
        return false;
    }
    child_ = pid;
    sock_ = pair[0];
    up_ = settled_ = quit_ = false;
    return true;
}

void Guardian::readLock() {
    std::vector<handover::Message> messages;
    const bool open = handover::Receive(sock_, &messages);
    for (const handover::Message& m : messages) {
        switch (m.word) {
        case handover::Word::Up:
            up_ = true;
            break;
        case handover::Word::Ready:
            // On screen and painted: the screen is the lock's now. Our cover
            // stays beneath it, for the moment it might go. The lock ends
            // our grabs' connection as it grabs (a new one follows), so that
            // nobody can grab in between; if it never does, we keep them.
            lockWindow_ = m.window;
            everInForce_ = true;
            wantGrabs_ = false;
            cover_.readGrabs(); // an end not yet noticed: no token
            handover::Send(sock_, {handover::Word::Yield, cover_.grabToken()});
            yieldBy_ = nowMs() + kYieldMs;
            break;
        case handover::Word::Settled:
            settled_ = true;
            earlyDeaths_ = 0;
            break;
        case handover::Word::Quit:
            quit_ = true;
            break;
        default:
            break;
        }
    }
    if (!open) lockGone();
}

// The lock's end of the socket closed: it has ended, or is ending. Whatever
// it was doing, the screen is ours again.
void Guardian::lockGone() {
    if (sock_ >= 0) close(sock_);
    sock_ = -1;
    lockWindow_ = 0;
    if (quit_) return; // the user is done; the lock lets go itself
    wantGrabs_ = true;
    cover_.show();
    takeGrabs();
}

void Guardian::childExited(int status) {
    child_ = -1;
    if (sock_ >= 0) readLock(); // what it said before it ended counts
    if (sock_ >= 0) lockGone();
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (quit_ && clean) {
        exitStatus_ = 0;
        return;
    }
    if (!settled_) ++earlyDeaths_;
    if (!everInForce_ && (!up_ || earlyDeaths_ > kPlainAfterDeaths)) {
        // It never came up: its toolkit could not start, or even without the
        // stored picture it died before it was on screen. A broken
        // installation must not lock anyone out. The lock has said why on
        // stderr, unless a signal ended it.
        if (WIFSIGNALED(status))
            std::fprintf(stderr, "pomlock: the lock ended on signal %d before it was on screen\n",
                         WTERMSIG(status));
        exitStatus_ = WIFEXITED(status) ? std::max(1, WEXITSTATUS(status))
                                        : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        return;
    }
    const int backoff =
        earlyDeaths_ == 0
            ? 0
            : std::min(kMaxBackoffMs, kFirstBackoffMs << std::min(earlyDeaths_ - 1, 8));
    restartAt_ = nowMs() + backoff;
}

void Guardian::takeGrabs() {
    grabRetryAt_ = cover_.grab() ? -1 : nowMs() + kGrabRetryMs;
    if (cover_.holdsGrabs()) releaseSleepLock(); // covered and held: the machine may sleep
}

void Guardian::releaseSleepLock() {
    if (sleepLock_ >= 0) close(sleepLock_);
    sleepLock_ = -1;
}

void Guardian::handleX() {
    const long long now = nowMs();
    cover_.readGrabs();
    if (cover_.broken()) {
        // Another client cut a connection of ours: a new one, with a new
        // black window or new grabs.
        if (reconnectAt_ >= 0 && now < reconnectAt_) return;
        const xcb::Window before = cover_.window();
        const bool grabsCut = cover_.grabsBroken();
        cover_.reopen();
        if (cover_.broken()) {
            reconnectAt_ = now + kReconnectMs;
            return;
        }
        reconnectAt_ = -1;
        if (grabsCut) yieldBy_ = -1; // taken over, or cut: nothing of ours to let go
        fcntl(cover_.windowFd(), F_SETFD, FD_CLOEXEC);
        fcntl(cover_.grabsFd(), F_SETFD, FD_CLOEXEC);
        if (cover_.window() != before)
            handover::Send(sock_, {handover::Word::Cover, cover_.window()});
        if (wantGrabs_) takeGrabs();
    }
    const Cover::Events events = cover_.poll(sock_ >= 0 ? lockWindow_ : 0, sock_ >= 0);
    if (events.remade) handover::Send(sock_, {handover::Word::Cover, cover_.window()});
    // The lock's window destroyed: if its whole connection went, its grabs
    // went with it and are free to take; if the lock still holds them (only
    // its window was destroyed), this fails; if it got them, the lock's new
    // window says "ready" again and they are handed back.
    if (events.lockDestroyed && !wantGrabs_) cover_.grab();
    if (events.grabEnded && wantGrabs_) takeGrabs();
    if (events.askedToLock) {
        // The lock locks, if the owner is in; a lock still on its way up
        // comes up locked anyway.
        handover::Send(sock_, {handover::Word::Lock});
        cover_.answer(events.requester);
    }
}

int Guardian::terminate(int sig) {
    // Asked to end: the whole lock ends, as when it ran on its own.
    if (child_ > 0) {
        kill(child_, SIGTERM);
        const long long deadline = nowMs() + kTermWaitMs;
        int status = 0;
        while (waitpid(child_, &status, WNOHANG) == 0) {
            if (nowMs() >= deadline) {
                kill(child_, SIGKILL);
                waitpid(child_, &status, 0);
                break;
            }
            pollfd pfd{signals_, POLLIN, 0};
            poll(&pfd, 1, 10);
            signalfd_siginfo info;
            while (read(signals_, &info, sizeof info) == sizeof info) {
            }
        }
    }
    cover_.close();
    std::signal(sig, SIG_DFL);
    sigprocmask(SIG_SETMASK, &oldMask_, nullptr);
    std::raise(sig);
    return 128 + sig;
}

} // namespace

int Run() {
    Guardian guardian;
    return guardian.run();
}

} // namespace guardian
