// orvalink-raw-reply: a loopback server that answers each request with a
// scripted, possibly broken, HTTP reply, written byte by byte as a broken
// service or proxy would: a status line and nothing more, headers cut off,
// a body trickled in, a connection reset inside the body, garbage.
//   --port N          port on 127.0.0.1 (default 0: a free one)
//   --port-file F     write the bound port there once listening
//   --trickle-ms N    pause between trickled bytes (default 500)
//   --forward PORT    relay "forward" requests to the service on PORT, and
//                     send "redirect-away" requests there by a 302
// The reply is chosen by the last segment of the request's path (the names
// in kReplies); any other path gets the reply chosen for the request's
// bearer key by a POST to /_raw/key/KEY/NAME, or else the one last chosen by
// a POST to /_raw/mode/NAME (at first "forward" with --forward, else "ok"),
// so a client with a fixed URL can be led through every kind, one key at a
// time. GET /_raw/seen/KEY gives how many requests bore KEY so far.
// "redirect-away" answers 302 with a Location on the service's own origin,
// which records whatever reaches it. Runs until killed; one thread per
// connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// One step of a reply: bytes to send at once, bytes to trickle, a pause of
// two seconds, a reset, holding the connection open without a word, the
// request relayed to the service, or a redirect to the service's origin.
struct Step {
    enum Kind { Send, Trickle, Pause, Hold, Reset, Forward, RedirectAway } kind;
    std::string bytes;
};
using Reply = std::vector<Step>;

const std::string kOkBody = R"({"name":"Raw Reply","ok":true})";
const std::string kOkHeaders = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";

std::string okReply() {
    return kOkHeaders + "Content-Length: " + std::to_string(kOkBody.size()) +
           "\r\nConnection: close\r\n\r\n" + kOkBody;
}

std::string sizedHeaders(size_t length) {
    return kOkHeaders + "Content-Length: " + std::to_string(length) + "\r\n\r\n";
}

const std::map<std::string, Reply> kReplies = {
    {"ok", {{Step::Send, okReply()}}},
    {"slow-ok", {{Step::Pause, ""}, {Step::Send, okReply()}}},
    {"silence", {{Step::Hold, ""}}},
    {"forward", {{Step::Forward, ""}}},
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

std::atomic<int> trickleMs{500};
int forwardPort = 0;
std::mutex modeMutex;
std::string mode = "ok";
std::map<std::string, std::string> keyModes;
std::map<std::string, int> keySeen;

bool sendAll(int socket, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// The request's head and as much of its body as Content-Length announces;
// empty when the client went away first.
std::string readRequest(int socket) {
    std::string request;
    char buffer[4096];
    size_t headEnd = std::string::npos;
    size_t wanted = 0;
    for (;;) {
        if (headEnd != std::string::npos && request.size() >= headEnd + 4 + wanted) {
            return request;
        }
        const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return {};
        }
        request.append(buffer, static_cast<size_t>(got));
        if (headEnd == std::string::npos &&
            (headEnd = request.find("\r\n\r\n")) != std::string::npos) {
            const size_t length = request.find("Content-Length: ");
            if (length != std::string::npos && length < headEnd) {
                wanted = std::stoul(request.substr(length + 16));
            }
        }
    }
}

// The path of the request line, "/" when there is none.
std::string requestPath(const std::string& request) {
    const size_t start = request.find(' ');
    const size_t end = request.find(' ', start + 1);
    return start == std::string::npos || end == std::string::npos
               ? "/"
               : request.substr(start + 1, end - start - 1);
}

// The request as the service should get it: with "Connection: close", so that
// its reply ends with its connection and the relay with it.
std::string closingRequest(const std::string& request) {
    const size_t headEnd = request.find("\r\n\r\n");
    std::string head = request.substr(0, headEnd + 2), kept;
    size_t start = 0;
    while (start < head.size()) {
        const size_t end = head.find("\r\n", start);
        const std::string line = head.substr(start, end + 2 - start);
        if (strncasecmp(line.c_str(), "Connection:", 11) != 0) {
            kept += line;
        }
        start = end + 2;
    }
    return kept + "Connection: close\r\n\r\n" + request.substr(headEnd + 4);
}

// Relays the request to the service and its reply back, byte for byte.
void forward(int socket, const std::string& request) {
    const int service = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(forwardPort));
    const std::string relayed = closingRequest(request);
    if (connect(service, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        sendAll(service, relayed.data(), relayed.size())) {
        char buffer[16384];
        ssize_t got;
        while ((got = recv(service, buffer, sizeof buffer, 0)) > 0 &&
               sendAll(socket, buffer, static_cast<size_t>(got))) {
        }
    }
    close(service);
}

// The bearer key of the request, empty when it has none.
std::string bearerKey(const std::string& request) {
    const std::string prefix = "\r\nAuthorization: Bearer ";
    const size_t start = request.find(prefix);
    if (start == std::string::npos) {
        return {};
    }
    const size_t from = start + prefix.size();
    return request.substr(from, request.find("\r\n", from) - from);
}

void play(int socket, const Reply& reply, const std::string& request) {
    for (const Step& step : reply) {
        switch (step.kind) {
            case Step::Send:
                if (!sendAll(socket, step.bytes.data(), step.bytes.size())) {
                    return;
                }
                break;
            case Step::Trickle:
                for (const char byte : step.bytes) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(trickleMs.load()));
                    if (!sendAll(socket, &byte, 1)) {
                        return;
                    }
                }
                break;
            case Step::Pause:
                std::this_thread::sleep_for(std::chrono::seconds(2));
                break;
            case Step::Forward:
                forward(socket, request);
                return;
            case Step::RedirectAway: {
                const std::string redirect = "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" +
                                             std::to_string(forwardPort) +
                                             "/api/now-playing\r\nContent-Length: 0\r\n\r\n";
                sendAll(socket, redirect.data(), redirect.size());
                return;
            }
            case Step::Hold: {
                char ignored[256];
                while (recv(socket, ignored, sizeof ignored, 0) > 0) {
                }
                return;
            }
            case Step::Reset: {
                const linger abort = {1, 0};
                setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                return;
            }
        }
    }
}

void serveConnection(int socket) {
    const std::string request = readRequest(socket);
    const std::string path = requestPath(request);
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::string key = bearerKey(request);
    if (path.rfind("/_raw/mode/", 0) == 0 && kReplies.count(name) != 0) {
        {
            std::lock_guard lock(modeMutex);
            mode = name;
        }
        play(socket, kReplies.at("ok"), request);
    } else if (path.rfind("/_raw/key/", 0) == 0 && kReplies.count(name) != 0) {
        const std::string keyed = path.substr(10, path.size() - 10 - name.size() - 1);
        {
            std::lock_guard lock(modeMutex);
            keyModes[keyed] = name;
        }
        play(socket, kReplies.at("ok"), request);
    } else if (path.rfind("/_raw/seen/", 0) == 0) {
        int seen = 0;
        {
            std::lock_guard lock(modeMutex);
            seen = keySeen[name];
        }
        const std::string body = std::to_string(seen);
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\n\r\n" + body;
        sendAll(socket, reply.data(), reply.size());
    } else if (kReplies.count(name) != 0) {
        play(socket, kReplies.at(name), request);
    } else if (!request.empty()) {
        std::string chosen;
        {
            std::lock_guard lock(modeMutex);
            const auto keyed = keyModes.find(key);
            chosen = keyed != keyModes.end() ? keyed->second : mode;
            if (!key.empty()) {
                ++keySeen[key];
            }
        }
        play(socket, kReplies.at(chosen), request);
    }
    close(socket);
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string portFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i], value = argv[i + 1];
        if (flag == "--port") {
            port = std::stoi(value);
        } else if (flag == "--port-file") {
            portFile = value;
        } else if (flag == "--trickle-ms") {
            trickleMs = std::stoi(value);
        } else if (flag == "--forward") {
            forwardPort = std::stoi(value);
            mode = "forward";
        } else {
            std::fprintf(stderr, "unknown option %s\n", flag.c_str());
            return 2;
        }
    }
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int reuse = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("listening on http://127.0.0.1:%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    if (!portFile.empty()) {
        std::ofstream(portFile) << ntohs(address.sin_port) << "\n";
    }
    for (;;) {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection >= 0) {
            std::thread(serveConnection, connection).detach();
        }
    }
}
