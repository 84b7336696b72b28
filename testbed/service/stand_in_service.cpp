#include "stand_in_service.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>

#include "dj_page.h"
#include "document_check.h"
#include "raw_replies.h"

namespace {

using nlohmann::json;

// One scripted fault, applied to the next `remaining` API requests.
struct Fault {
    int remaining = 1;
    int status = 0;     // answer with this status (0: answer normally)
    int delayMs = 0;    // wait this long first
    std::string reply;  // or give this broken reply
};

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int localPortOf(const sockaddr_storage& address) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

// The socket that carries this request, or -1.
int socketOf(const httplib::Request& req) {
    for (int fd = 3; fd < 4096; ++fd) {
        sockaddr_storage local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
            local.ss_family == AF_INET && localPortOf(local) == req.local_port &&
            localPortOf(peer) == req.remote_port) {
            return fd;
        }
    }
    return -1;
}

std::string bearerKeyOf(const httplib::Request& req) {
    const std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    return header.compare(0, prefix.size(), prefix) == 0 ? header.substr(prefix.size()) : "";
}

// Bytes that are not UTF-8 (a recorded body may hold any) are shown as U+FFFD.
void replyJson(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

}  // namespace

struct StandInService::State {
    std::mutex mutex;
    std::map<std::string, std::string> keys;
    json requests = json::array();
    std::map<std::string, json> accounts;  // name -> {"history": [...], "upNext": [...]}
    std::deque<Fault> faults;
    std::map<std::string, std::string> rawReplies;  // bearer key -> broken reply
    std::map<std::string, int> seen;                // bearer key -> API requests

    json& account(const std::string& name) {
        auto [it, added] = accounts.try_emplace(name, json::object());
        if (added) {
            it->second = {{"history", json::array()}, {"upNext", json::array()}};
        }
        return it->second;
    }

    void record(const httplib::Request& req) {
        json headers = json::object();
        for (const auto& [name, value] : req.headers) {
            if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
                name != "LOCAL_PORT") {
                headers[name] = value;
            }
        }
        requests.push_back({{"method", req.method},
                            {"path", req.path},
                            {"headers", headers},
                            {"body", req.body},
                            {"bodyIsJson", json::accept(req.body)},
                            {"arrivedAtMs", nowMs()}});
    }

    std::optional<Fault> takeFault() {
        if (faults.empty()) {
            return std::nullopt;
        }
        Fault fault = faults.front();
        if (--faults.front().remaining <= 0) {
            faults.pop_front();
        }
        return fault;
    }

    void store(const std::string& accountName, const json& document) {
        json& acct = account(accountName);
        for (const auto& track : document["tracks"]) {
            const std::string artist = track.value("artist", "");
            bool duplicate = false;
            for (auto& entry : acct["history"]) {
                if (entry["title"] == track["title"] && entry["artist"] == artist &&
                    entry["playedAt"] == track["playedAt"]) {
                    entry["count"] = entry["count"].get<int>() + 1;
                    duplicate = true;
                }
            }
            if (!duplicate) {
                acct["history"].push_back({{"title", track["title"]},
                                           {"artist", artist},
                                           {"playedAt", track["playedAt"]},
                                           {"count", 1}});
            }
        }
        if (document.contains("upNext")) {
            acct["upNext"] = document["upNext"];
        }
    }
};

StandInService::StandInService(StandInOptions options)
    : options_(std::move(options)), state_(std::make_unique<State>()) {
    state_->keys = options_.keys;
    if (!options_.tlsCert.empty() && !options_.tlsKey.empty()) {
        server_ =
            std::make_unique<httplib::SSLServer>(options_.tlsCert.c_str(), options_.tlsKey.c_str());
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    // A broken reply holds its connection, and a thread of the pool, for as
    // long as it trickles or stays silent: room for many at once.
    server_->new_task_queue = [] { return new httplib::ThreadPool(64); };
    installRoutes();
}

StandInService::~StandInService() {
    stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool StandInService::bind() {
    if (!server_->is_valid()) {
        return false;
    }
    if (options_.port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
        return port_ > 0;
    }
    port_ = options_.port;
    return server_->bind_to_port("127.0.0.1", port_);
}

void StandInService::serve() {
    server_->listen_after_bind();
}

void StandInService::serveInBackground() {
    // The socket already listens after bind(), so clients may connect at once.
    thread_ = std::thread([this] { serve(); });
}

void StandInService::stop() {
    // A stop that came before the accept loop started would be lost.
    for (int i = 0; i < 500 && thread_.joinable() && !server_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    server_->stop();
}

void StandInService::installRoutes() {
    State& state = *state_;
    httplib::Server& server = *server_;

    auto api = [&state, this](const httplib::Request& req, httplib::Response& res) {
        std::optional<Fault> fault;
        std::string accountName;
        {
            std::lock_guard lock(state.mutex);
            state.record(req);
            const std::string key = bearerKeyOf(req);
            const auto keyed = state.rawReplies.find(key);
            fault =
                keyed != state.rawReplies.end() ? Fault{1, 0, 0, keyed->second} : state.takeFault();
            state.seen[key] += key.empty() ? 0 : 1;
            const auto account = state.keys.find(key);
            if (account != state.keys.end()) {
                accountName = account->second;
            }
        }
        if (fault && fault->delayMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
        }
        if (fault && !fault->reply.empty()) {
            playRawReply(socketOf(req), fault->reply, options_.trickleMs, port_);
            return;
        }
        if (fault && fault->status > 0) {
            replyJson(res, fault->status, {{"error", "injected fault"}});
            return;
        }
        if (accountName.empty()) {
            replyJson(res, 401, {{"error", "unknown key"}});
            return;
        }
        if (req.method == "GET") {
            replyJson(res, 200, {{"name", accountName}});
            return;
        }
        json document;
        if (auto reason = checkDocument(req.body, document)) {
            replyJson(res, 400, {{"error", *reason}});
            return;
        }
        std::lock_guard lock(state.mutex);
        state.store(accountName, document);
        replyJson(res, 200, {{"ok", true}});
    };
    server.Get("/api/now-playing", api);
    server.Post("/api/now-playing", api);

    server.Get("/dj/(.+)", [&state](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(state.mutex);
        state.record(req);
        const std::string name = req.matches[1];
        res.set_content(renderDjPage(name, state.account(name)), "text/html; charset=utf-8");
    });
    server.Get("/", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(state.mutex);
        std::string html = "<!DOCTYPE html>\n<html><body><h1>DJ pages</h1><ul>";
        for (const auto& [key, name] : state.keys) {
            html += "<li><a href=\"/dj/" + name + "\">" + name + "</a></li>";
        }
        res.set_content(html + "</ul></body></html>\n", "text/html; charset=utf-8");
    });

    // Test control: the record, the accounts, more keys, scripted faults, a reset.
    server.Get("/_test/requests", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(state.mutex);
        replyJson(res, 200, state.requests);
    });
    server.Get("/_test/accounts", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(state.mutex);
        replyJson(res, 200, json(state.accounts));
    });
    server.Post("/_test/faults", [&state](const httplib::Request& req, httplib::Response& res) {
        const json asked = json::parse(req.body, nullptr, false);
        const std::string reply = asked.is_object() ? asked.value("reply", "") : "";
        if (!asked.is_object() || (!reply.empty() && !isRawReply(reply))) {
            replyJson(res, 400, {{"error", "a fault is a JSON object, its reply a broken one"}});
            return;
        }
        const Fault fault{asked.value("count", 1), asked.value("status", 0),
                          asked.value("delayMs", 0), reply};
        std::lock_guard lock(state.mutex);
        state.faults.push_back(fault);
        replyJson(res, 200, {{"ok", true}});
    });
    server.Post("/_test/keys", [&state](const httplib::Request& req, httplib::Response& res) {
        const json asked = json::parse(req.body, nullptr, false);
        if (!asked.is_object() || !asked.value("key", json()).is_string() ||
            !asked.value("name", json()).is_string()) {
            replyJson(res, 400, {{"error", "a key is {\"key\":...,\"name\":...}"}});
            return;
        }
        std::lock_guard lock(state.mutex);
        state.keys[asked["key"].get<std::string>()] = asked["name"].get<std::string>();
        replyJson(res, 200, {{"ok", true}});
    });
    server.Post("/_test/reset", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(state.mutex);
        state.requests = json::array();
        state.accounts.clear();
        state.faults.clear();
        state.rawReplies.clear();
        state.seen.clear();
        replyJson(res, 200, {{"ok", true}});
    });

    // Broken replies: for every API request bearing a key ("forward": the
    // service's own answer again), or for one request by the path; and how
    // many API requests bore a key.
    server.Post(R"(/_raw/key/([^/]+)/([a-z0-9-]+))",
                [&state](const httplib::Request& req, httplib::Response& res) {
                    const std::string key = req.matches[1], name = req.matches[2];
                    std::lock_guard lock(state.mutex);
                    if (name == "forward") {
                        state.rawReplies.erase(key);
                    } else if (isRawReply(name)) {
                        state.rawReplies[key] = name;
                    } else {
                        replyJson(res, 404, {{"error", "no such reply"}});
                        return;
                    }
                    replyJson(res, 200, {{"ok", true}});
                });
    server.Get(R"(/_raw/seen/([^/]+))",
               [&state](const httplib::Request& req, httplib::Response& res) {
                   std::lock_guard lock(state.mutex);
                   res.set_content(std::to_string(state.seen[req.matches[1]]), "text/plain");
               });
    const auto rawByPath = [this](const httplib::Request& req, httplib::Response& res) {
        if (!isRawReply(req.matches[1])) {
            replyJson(res, 404, {{"error", "no such reply"}});
            return;
        }
        playRawReply(socketOf(req), req.matches[1], options_.trickleMs, port_);
    };
    server.Get(R"(/_raw/reply/([a-z0-9-]+))", rawByPath);
    server.Post(R"(/_raw/reply/([a-z0-9-]+))", rawByPath);
}
