#include "platform/guardianlink.h"

#include "platform/handover.h"
#include "platform/keyguard.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {
// How long the lock sequence waits for the guardian to let go.
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

GuardianLink& GuardianLink::instance() {
    static GuardianLink link;
    return link;
}

void GuardianLink::attach() {
    if (fd_ >= 0 || !fromOurParent(handover::kLockFd)) return;
    fd_ = handover::kLockFd;
    fcntl(fd_, F_SETFD, FD_CLOEXEC);
    send(handover::kUp);
    receive(); // what was said before we started
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &GuardianLink::receive);
    connect(this, &GuardianLink::released, this, [] { KeyGuard::instance().regrabNow(); });
}

bool GuardianLink::skipStoredPicture() {
    return std::exchange(plain_, false);
}

void GuardianLink::send(const QByteArray& message) {
    if (fd_ >= 0)
        ::send(fd_, message.constData(), size_t(message.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void GuardianLink::settled() {
    send(handover::kSettled);
}

void GuardianLink::quitting() {
    send(handover::kQuit);
}

void GuardianLink::receive() {
    char buffer[handover::kMaxMessage + 1];
    for (;;) {
        const ssize_t n = recv(fd_, buffer, handover::kMaxMessage, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n <= 0) { // the guardian is gone: carry on alone
            if (notifier_) notifier_->setEnabled(false);
            ::close(fd_);
            fd_ = -1;
            return;
        }
        const QByteArray message(buffer, int(n));
        const QList<QByteArray> words = message.split(' ');
        if (words[0] == handover::kCover && words.size() == 2) {
            cover_ = x11::Window(words[1].toULong());
            emit coverChanged(cover_);
        } else if (words[0] == handover::kPlain) {
            plain_ = true;
        } else if (words[0] == handover::kReleased) {
            released_ = true;
            emit released();
        }
    }
}

void HandOver(QWidget& form) {
    GuardianLink& link = GuardianLink::instance();
    const QWindow* window = form.windowHandle();
    if (link.present() && window && window->handle()) {
        link.send(QByteArray(handover::kReady) + ' ' +
                  QByteArray::number(quint64(window->winId())));
        // Wait here for the guardian to let go, and grab at once: the rest of
        // the lock sequence (a large picture) must not leave the keyboard free.
        link.released_ = false;
        for (QDeadlineTimer deadline(kHandOverMs);
             !link.released_ && link.present() && !deadline.hasExpired();) {
            pollfd pfd{link.fd_, POLLIN, 0};
            if (poll(&pfd, 1, int(deadline.remainingTime())) > 0) link.receive();
        }
    }
    KeyGuard::instance().regrabNow();
}

} // namespace platform
