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

namespace {

using nlohmann::json;

// One scripted fault, applied to the next `remaining` API requests.
struct Fault {
    int remaining = 1;
    int status = 0;        // answer with this status (0: answer normally)
    int delayMs = 0;       // wait this long first
    bool close = false;    // close the connection without a reply
    size_t bodySize = 0;   // send a body of this size ...
    size_t chunkSize = 0;  // ... in chunks of this size
    int chunkDelayMs = 0;  // ... this far apart
};

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int localPortOf(const sockaddr_storage& address) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

// Shuts the socket that carries this request, so the client gets no reply.
void closeConnectionOf(const httplib::Request& req) {
    for (int fd = 3; fd < 4096; ++fd) {
        sockaddr_storage local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
            local.ss_family != AF_INET) {
            continue;
        }
        if (localPortOf(local) == req.local_port && localPortOf(peer) == req.remote_port) {
            shutdown(fd, SHUT_RDWR);
            return;
        }
    }
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

    auto api = [&state](const httplib::Request& req, httplib::Response& res) {
        std::optional<Fault> fault;
        std::string accountName;
        {
            std::lock_guard lock(state.mutex);
            state.record(req);
            fault = state.takeFault();
            const auto key = state.keys.find(bearerKeyOf(req));
            if (key != state.keys.end()) {
                accountName = key->second;
            }
        }
        if (fault && fault->delayMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
        }
        if (fault && fault->close) {
            closeConnectionOf(req);
            return;
        }
        if (fault && fault->bodySize > 0) {
            res.status = fault->status > 0 ? fault->status : 200;
            const size_t total = fault->bodySize;
            const size_t chunk = fault->chunkSize > 0 ? fault->chunkSize : total;
            const int pause = fault->chunkDelayMs;
            res.set_chunked_content_provider(
                "application/octet-stream",
                [total, chunk, pause, sent = size_t{0}](size_t, httplib::DataSink& sink) mutable {
                    if (sent > 0 && pause > 0) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
                    }
                    const std::string piece(std::min(chunk, total - sent), 'x');
                    sink.write(piece.data(), piece.size());
                    sent += piece.size();
                    if (sent >= total) {
                        sink.done();
                    }
                    return true;
                });
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
    server.Get("/_test/requests", [&state](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(state.mutex);
        const size_t last =
            req.has_param("last") ? std::stoul(req.get_param_value("last")) : state.requests.size();
        json tail = json::array();
        for (size_t i = state.requests.size() - std::min(last, state.requests.size());
             i < state.requests.size(); ++i) {
            tail.push_back(state.requests[i]);
        }
        replyJson(res, 200, tail);
    });
    server.Get("/_test/accounts", [&state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(state.mutex);
        replyJson(res, 200, json(state.accounts));
    });
    server.Post("/_test/faults", [&state](const httplib::Request& req, httplib::Response& res) {
        const json asked = json::parse(req.body, nullptr, false);
        if (!asked.is_object()) {
            replyJson(res, 400, {{"error", "a fault is a JSON object"}});
            return;
        }
        Fault fault;
        fault.remaining = asked.value("count", 1);
        fault.status = asked.value("status", 0);
        fault.delayMs = asked.value("delayMs", 0);
        fault.close = asked.value("close", false);
        fault.bodySize = asked.value("bodySize", size_t{0});
        fault.chunkSize = asked.value("chunkSize", size_t{0});
        fault.chunkDelayMs = asked.value("chunkDelayMs", 0);
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
        replyJson(res, 200, {{"ok", true}});
    });
}
