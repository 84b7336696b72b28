#include "service_control.h"

#include "loopback_socket.h"

namespace validator {

namespace {

// The reply's JSON, null when the exchange failed.
nlohmann::json jsonOf(const std::pair<int, std::string>& reply) {
    return reply.first == 200 ? nlohmann::json::parse(reply.second, nullptr, false)
                              : nlohmann::json();
}

}  // namespace

ServiceControl::ServiceControl(const std::string& url) {
    const std::string origin = "http://127.0.0.1:";
    if (url.compare(0, origin.size(), origin) == 0) {
        port_ = std::atoi(url.c_str() + origin.size());
    }
}

std::pair<int, std::string> ServiceControl::exchange(const std::string& method,
                                                     const std::string& path,
                                                     const std::string& body) {
    const std::string request =
        method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
        "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    const std::string reply = loopbackExchange(port_, request, 10000);
    const size_t headEnd = reply.find("\r\n\r\n");
    if (reply.compare(0, 5, "HTTP/") != 0 || headEnd == std::string::npos) {
        return {0, {}};
    }
    return {std::atoi(reply.c_str() + reply.find(' ') + 1), reply.substr(headEnd + 4)};
}

bool ServiceControl::addAccount(const std::string& key, const std::string& name) {
    const nlohmann::json account = {{"key", key}, {"name", name}};
    return exchange("POST", "/_test/keys", account.dump()).first == 200;
}

bool ServiceControl::setReply(const std::string& key, const std::string& replyName) {
    return exchange("POST", "/_raw/key/" + key + "/" + replyName, "{}").first == 200;
}

int ServiceControl::requestsWithKey(const std::string& key) {
    const auto [status, body] = exchange("GET", "/_raw/seen/" + key, "");
    return status == 200 ? std::atoi(body.c_str()) : -1;
}

nlohmann::json ServiceControl::requests(const std::string& key, const std::string& method) {
    const nlohmann::json all = jsonOf(exchange("GET", "/_test/requests", ""));
    nlohmann::json bearing = nlohmann::json::array();
    if (!all.is_array()) {
        return bearing;
    }
    for (const auto& request : all) {
        if (request.value("method", "") == method &&
            request["headers"].value("Authorization", "") == "Bearer " + key) {
            bearing.push_back(request);
        }
    }
    return bearing;
}

nlohmann::json ServiceControl::accounts() {
    return jsonOf(exchange("GET", "/_test/accounts", ""));
}

}  // namespace validator
