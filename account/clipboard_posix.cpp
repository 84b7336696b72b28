// The clipboard through the desktop's own tools, bounded in time so that a
// tool that hangs never holds up the caller.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "account/clipboard.h"

extern char** environ;

namespace {

constexpr auto kToolTimeLimit = std::chrono::seconds(2);
constexpr size_t kMaxClipboardBytes = 1 << 20;

bool isOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path == nullptr ? "" : path;
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

// Runs the tool and gathers its output; empty text unless it exits with 0
// within the time limit.
std::string runTool(const std::vector<std::string>& command) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return {};
    }

    std::string output;
    bool complete = false;
    const auto deadline = std::chrono::steady_clock::now() + kToolTimeLimit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[4096];
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0) {
            complete = got == 0;
            break;
        }
        output.append(buffer, static_cast<size_t>(got));
        if (output.size() > kMaxClipboardBytes) {
            break;
        }
    }
    close(pipeEnds[0]);
    if (!complete) {
        kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return complete && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? output : std::string();
}

}  // namespace

std::string readClipboardText() {
    const std::vector<std::vector<std::string>> tools = {
        {"wl-paste"}, {"xclip", "-selection", "clipboard", "-o"}, {"pbpaste"}};
    for (const auto& tool : tools) {
        if (isOnPath(tool[0])) {
            return runTool(tool);
        }
    }
    return {};
}
