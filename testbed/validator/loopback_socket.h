// One exchange of bytes with a server on 127.0.0.1: connect, send the whole
// request, read until the server closes. One file per platform (BSD sockets,
// Winsock). Any thread; no shared state.
#pragma once

#include <string>

namespace validator {

// The bytes the server sent before closing; empty when it could not be
// reached. Gives up after `timeoutMs` without a byte.
std::string loopbackExchange(int port, const std::string& request, int timeoutMs);

}  // namespace validator
