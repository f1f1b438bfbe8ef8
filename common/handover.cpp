#include "common/handover.h"

#include <cerrno>
#include <cstdlib>
#include <sys/socket.h>

namespace handover {
namespace {
constexpr size_t kMaxPacket = 64;

struct Name {
    Word word;
    const char* text;
    bool withWindow;
};
// clang-format off
constexpr Name kNames[] = {
    {Word::Cover, "cover", true},
    {Word::Plain, "plain", false},
    {Word::Yield, "yield", true},
    {Word::Lock, "lock", false},
    {Word::Up, "up", false},
    {Word::Ready, "ready", true},
    {Word::Settled, "settled", false},
    {Word::Quit, "quit", false},
};
// clang-format on
} // namespace

std::string Encode(const Message& message) {
    for (const Name& n : kNames)
        if (n.word == message.word)
            return n.withWindow ? std::string(n.text) + ' ' + std::to_string(message.window)
                                : std::string(n.text);
    return std::string();
}

bool Decode(const std::string& packet, Message* message) {
    const size_t space = packet.find(' ');
    const std::string word = packet.substr(0, space);
    for (const Name& n : kNames) {
        if (word != n.text) continue;
        if (!n.withWindow) {
            if (space != std::string::npos) return false;
            *message = {n.word, 0};
            return true;
        }
        if (space == std::string::npos || space + 1 >= packet.size()) return false;
        const std::string number = packet.substr(space + 1);
        char* end = nullptr;
        const unsigned long window = std::strtoul(number.c_str(), &end, 10);
        if (*end != '\0' || number[0] < '0' || number[0] > '9' || window > 0xFFFFFFFFul)
            return false;
        *message = {n.word, uint32_t(window)};
        return true;
    }
    return false;
}

bool Send(int fd, const Message& message) {
    const std::string packet = Encode(message);
    return fd >= 0 && send(fd, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
                          ssize_t(packet.size());
}

bool Receive(int fd, std::vector<Message>* messages) {
    char buffer[kMaxPacket];
    bool reset = false;
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            Message m;
            if (Decode(std::string(buffer, size_t(n)), &m)) messages->push_back(m);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == ECONNRESET && !reset) {
            reset = true; // the rest of what it sent is still to be read
            continue;
        }
        return n < 0 && errno == EAGAIN && !reset;
    }
}

} // namespace handover
