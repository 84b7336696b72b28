#include "raw_replies.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

namespace {

// One step of a reply: bytes to send at once, bytes to trickle, a pause,
// holding the connection open without a word, a reset, or a redirect to the
// service's other origin.
struct Step {
    enum Kind { Send, Trickle, Pause, Hold, Reset, RedirectAway } kind;
    std::string bytes;
    int pauseMs = 0;
};
using Reply = std::vector<Step>;

const std::string kOkBody = R"({"name":"Raw Reply","ok":true})";
const std::string kOkHeaders = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";

std::string sizedHeaders(size_t length) {
    return kOkHeaders + "Content-Length: " + std::to_string(length) + "\r\n\r\n";
}

// 100,000 bytes in pieces of 10,000, 40 ms apart.
Reply pacedBody() {
    Reply reply = {{Step::Send, sizedHeaders(100000)}};
    for (int i = 0; i < 10; ++i) {
        reply.push_back({Step::Pause, "", 40});
        reply.push_back({Step::Send, std::string(10000, 'p')});
    }
    return reply;
}

const std::map<std::string, Reply> kReplies = {
    {"ok", {{Step::Send, sizedHeaders(kOkBody.size()) + kOkBody}}},
    {"slow-ok", {{Step::Pause, "", 2000}, {Step::Send, sizedHeaders(kOkBody.size()) + kOkBody}}},
    {"close", {}},
    {"paced-body", pacedBody()},
    {"silence", {{Step::Hold, ""}}},
    {"redirect-away", {{Step::RedirectAway, ""}}},
    {"status-only", {{Step::Send, "HTTP/1.1 200 OK\r\n"}}},
    {"headers-cut", {{Step::Send, "HTTP/1.1 200 OK\r\nContent-Type: appl"}}},
    {"status-then-silence", {{Step::Send, "HTTP/1.1 200 OK\r\n"}, {Step::Hold, ""}}},
    {"headers-trickle",
     {{Step::Send, "HTTP/1.1 200 OK\r\n"},
      {Step::Trickle, "X-Slow: " + std::string(200, 'a') + "\r\n\r\n" + kOkBody}}},
    {"body-trickle", {{Step::Send, sizedHeaders(1000)}, {Step::Trickle, std::string(1000, 'b')}}},
    {"reset-mid-body",
     {{Step::Send, sizedHeaders(1000) + std::string(100, 'c')}, {Step::Reset, ""}}},
    {"megabyte-body", {{Step::Send, sizedHeaders(1 << 20) + std::string(1 << 20, 'd')}}},
    {"garbage-status", {{Step::Send, "SPOON 200 NOT-HTTP\r\n\r\n" + kOkBody}}},
    {"http10-no-length",
     {{Step::Send, "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n" + kOkBody}}},
    {"redirect-loop",
     {{Step::Send,
       "HTTP/1.1 302 Found\r\nLocation: /api/now-playing\r\nContent-Length: 0\r\n\r\n"}}},
};

// Waits until the socket is ready for `events`; false once it is closed or broken.
bool ready(int socket, short events) {
    pollfd entry = {socket, events, 0};
    return poll(&entry, 1, -1) == 1 && (entry.revents & (POLLERR | POLLNVAL)) == 0;
}

bool sendAll(int socket, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EAGAIN && ready(socket, POLLOUT)) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// Reads and drops whatever comes until the client closes its end.
void holdUntilClosed(int socket) {
    char ignored[256];
    while (ready(socket, POLLIN)) {
        const ssize_t got = recv(socket, ignored, sizeof ignored, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
            return;
        }
    }
}

// Writes the steps; false when the connection ended on its own account.
bool play(int socket, const Reply& reply, int trickleMs, int port) {
    for (const Step& step : reply) {
        switch (step.kind) {
            case Step::Send:
                if (!sendAll(socket, step.bytes.data(), step.bytes.size())) {
                    return true;
                }
                break;
            case Step::Trickle:
                for (const char byte : step.bytes) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(trickleMs));
                    if (!sendAll(socket, &byte, 1)) {
                        return true;
                    }
                }
                break;
            case Step::Pause:
                std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
                break;
            case Step::RedirectAway: {
                const std::string redirect =
                    "HTTP/1.1 302 Found\r\nLocation: http://localhost:" + std::to_string(port) +
                    "/api/now-playing\r\nContent-Length: 0\r\n\r\n";
                sendAll(socket, redirect.data(), redirect.size());
                break;
            }
            case Step::Hold:
                holdUntilClosed(socket);
                break;
            case Step::Reset: {
                // Disconnecting a TCP socket aborts the connection: the
                // client gets a reset, and the server's later writes fail.
                sockaddr unspecified = {};
                unspecified.sa_family = AF_UNSPEC;
                connect(socket, &unspecified, sizeof unspecified);
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool isRawReply(const std::string& name) {
    return kReplies.count(name) != 0;
}

void playRawReply(int socket, const std::string& name, int trickleMs, int port) {
    if (socket >= 0 && play(socket, kReplies.at(name), trickleMs, port)) {
        shutdown(socket, SHUT_RDWR);
    }
}
