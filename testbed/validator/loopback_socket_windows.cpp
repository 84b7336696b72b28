#include <winsock2.h>

#include "loopback_socket.h"

namespace validator {

std::string loopbackExchange(int port, const std::string& request, int timeoutMs) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        return {};
    }
    const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection == INVALID_SOCKET) {
        return {};
    }
    const DWORD limit = static_cast<DWORD>(timeoutMs);
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit),
               sizeof limit);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    std::string reply;
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(connection, request.data(), static_cast<int>(request.size()), 0) ==
            static_cast<int>(request.size())) {
        char buffer[16384];
        int got;
        while ((got = recv(connection, buffer, sizeof buffer, 0)) > 0) {
            reply.append(buffer, static_cast<size_t>(got));
        }
    }
    closesocket(connection);
    return reply;
}

}  // namespace validator
