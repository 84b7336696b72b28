#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback_socket.h"

namespace validator {

std::string loopbackExchange(int port, const std::string& request, int timeoutMs) {
    const int connection = socket(AF_INET, SOCK_STREAM, 0);
    if (connection < 0) {
        return {};
    }
    const timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    std::string reply;
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(connection, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        char buffer[16384];
        ssize_t got;
        while ((got = recv(connection, buffer, sizeof buffer, 0)) > 0) {
            reply.append(buffer, static_cast<size_t>(got));
        }
    }
    close(connection);
    return reply;
}

}  // namespace validator
