#include "guard/guardianlink.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace guard {
namespace {
// How long the hand-over waits for the guardian to let go.
constexpr int kHandOverMs = 250;

// A stray descriptor 3 (left open by whatever started us) must never be taken
// for the guardian: it has to be a packet socket whose other end our parent,
// of our own user, made.
bool fromOurParent(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) return false;
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_SEQPACKET)
        return false;
    ucred peer{};
    length = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid == getppid() &&
           peer.uid == getuid();
}
} // namespace

GuardianLink::GuardianLink() {
    if (!fromOurParent(handover::kLockFd)) return;
    fd_ = handover::kLockFd;
    fcntl(fd_, F_SETFD, FD_CLOEXEC);
    send(handover::Word::Up);
    receive(); // what was said before we started
    if (fd_ < 0) return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &GuardianLink::receive);
}

bool GuardianLink::skipStoredPicture() {
    return std::exchange(plain_, false);
}

void GuardianLink::send(handover::Word word, xcb::Window window) {
    handover::Send(fd_, {word, window});
}

void GuardianLink::settled() {
    send(handover::Word::Settled);
}

void GuardianLink::quitting() {
    send(handover::Word::Quit);
}

void GuardianLink::receive() {
    std::vector<handover::Message> messages;
    const bool open = fd_ >= 0 && handover::Receive(fd_, &messages);
    for (const handover::Message& m : messages) {
        switch (m.word) {
        case handover::Word::Cover:
            cover_ = m.window;
            emit coverChanged(cover_);
            break;
        case handover::Word::Plain:
            plain_ = true;
            break;
        case handover::Word::Yield:
            token_ = m.window;
            answered_ = true;
            if (!waiting_) emit yielded(token_);
            break;
        case handover::Word::Lock:
            emit lockAsked();
            break;
        default:
            break;
        }
    }
    if (!open && fd_ >= 0) { // the guardian is gone: carry on alone
        if (notifier_) notifier_->setEnabled(false);
        ::close(fd_);
        fd_ = -1;
    }
}

uint32_t GuardianLink::ready(xcb::Window window) {
    if (!present()) return 0;
    send(handover::Word::Ready, window);
    // Wait here for the guardian's answer: the grabs are taken over at once,
    // with nothing slow in between.
    token_ = 0;
    answered_ = false;
    waiting_ = true;
    for (QDeadlineTimer deadline(kHandOverMs); !answered_ && present() && !deadline.hasExpired();) {
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, int(deadline.remainingTime())) > 0) receive();
    }
    waiting_ = false;
    return std::exchange(token_, 0);
}

} // namespace guard
