// Broken replies, written byte by byte on a request's own connection as a
// broken service or proxy would: no reply at all, a status line and nothing
// more, headers cut off, headers or a body trickled in, a connection reset
// inside the body, silence, garbage, redirects. Each ends its connection, so that nothing of
// the server's own reply follows it.
//
// Threads: any; each call writes to its own connection and waits on it
// (a trickle for as long as the client reads, silence until the client goes).
#pragma once

#include <string>

// Whether `name` is one of the broken replies.
bool isRawReply(const std::string& name);

// Plays the reply `name` on the connected socket `socket`: trickled bytes
// `trickleMs` apart; "redirect-away" sends the client to the origin
// http://localhost:PORT, another name for this same loopback service.
void playRawReply(int socket, const std::string& name, int trickleMs, int port);
