// A stand-in for the Orvalink web service, for tests and the demo: the
// now-playing API with bearer keys, a strict document check, a record of every
// request, per-account play history and up-next list, scriptable faults,
// broken replies chosen per key or by path, and a DJ page per account.
// Listens on 127.0.0.1 only, over HTTP or HTTPS.
//
// Threads: the HTTP server's pool runs the handlers; start/stop/port from the
// owner's thread. One mutex guards the record, the accounts and the faults.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

struct StandInOptions {
    int port = 0;                             // 0 chooses a free port
    std::map<std::string, std::string> keys;  // accepted key -> account name
    std::string tlsCert, tlsKey;              // both set: HTTPS
    int trickleMs = 500;                      // between the bytes of a trickled reply
};

class StandInService {
public:
    explicit StandInService(StandInOptions options);
    ~StandInService();
    StandInService(const StandInService&) = delete;
    StandInService& operator=(const StandInService&) = delete;

    // Binds the port; false when it cannot. Then port() is the bound port.
    bool bind();
    int port() const { return port_; }
    // Serves until stop(); blocks.
    void serve();
    // Serves on a thread of its own until stop() or destruction.
    void serveInBackground();
    void stop();

    struct State;

private:
    void installRoutes();

    StandInOptions options_;
    std::unique_ptr<State> state_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};
