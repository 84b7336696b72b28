// orvalink-stand-in: runs the stand-in Orvalink service until SIGTERM or SIGINT.
//   --port N            port on 127.0.0.1 (default 0: a free one)
//   --key KEY=NAME      accept KEY for the account NAME (repeatable)
//   --tls-cert F --tls-key F   serve HTTPS
//   --port-file F       write the bound port there once listening
//   --trickle-ms N      pause between the bytes of a trickled reply (default 500)
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "stand_in_service.h"

int main(int argc, char** argv) {
    StandInOptions options;
    std::string portFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i], value = argv[i + 1];
        if (flag == "--port") {
            options.port = std::stoi(value);
        } else if (flag == "--key" && value.find('=') != std::string::npos) {
            options.keys[value.substr(0, value.find('='))] = value.substr(value.find('=') + 1);
        } else if (flag == "--tls-cert") {
            options.tlsCert = value;
        } else if (flag == "--tls-key") {
            options.tlsKey = value;
        } else if (flag == "--port-file") {
            portFile = value;
        } else if (flag == "--trickle-ms") {
            options.trickleMs = std::stoi(value);
        } else {
            std::fprintf(stderr, "unknown option %s\n", flag.c_str());
            return 2;
        }
    }

    // Signals are taken by a thread of our own, which stops the server.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A broken reply ends its connection under the server's own reply.
    std::signal(SIGPIPE, SIG_IGN);

    StandInService service(options);
    if (!service.bind()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    std::thread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        service.stop();
    });
    const bool tls = !options.tlsCert.empty();
    std::printf("listening on %s://127.0.0.1:%d\n", tls ? "https" : "http", service.port());
    std::fflush(stdout);
    if (!portFile.empty()) {
        std::ofstream(portFile) << service.port() << "\n";
    }
    service.serve();
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    return 0;
}
