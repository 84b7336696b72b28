#include "service_control.h"

#include "service/transport.h"

namespace validator {

namespace {

// The reply's JSON, null when the exchange failed.
nlohmann::json jsonOf(const HttpResult& reply) {
    return reply.statusCode == 200 ? nlohmann::json::parse(reply.body, nullptr, false)
                                   : nlohmann::json();
}

}  // namespace

ServiceControl::ServiceControl(const std::string& url) {
    const std::string origin = "http://127.0.0.1:";
    if (url.compare(0, origin.size(), origin) == 0) {
        port_ = std::atoi(url.c_str() + origin.size());
    }
}

HttpResult ServiceControl::exchange(const std::string& method, const std::string& path,
                                    const std::string& body) {
    return httpRequest(method, "http://127.0.0.1:" + std::to_string(port_) + path, "", body);
}

bool ServiceControl::addAccount(const std::string& key, const std::string& name) {
    const nlohmann::json account = {{"key", key}, {"name", name}};
    return exchange("POST", "/_test/keys", account.dump()).statusCode == 200;
}

bool ServiceControl::setReply(const std::string& key, const std::string& replyName) {
    return exchange("POST", "/_raw/key/" + key + "/" + replyName, "{}").statusCode == 200;
}

int ServiceControl::requestsWithKey(const std::string& key) {
    const HttpResult reply = exchange("GET", "/_raw/seen/" + key, "");
    return reply.statusCode == 200 ? std::atoi(reply.body.c_str()) : -1;
}

nlohmann::json ServiceControl::requests() {
    return jsonOf(exchange("GET", "/_test/requests", ""));
}

nlohmann::json ServiceControl::accounts() {
    return jsonOf(exchange("GET", "/_test/accounts", ""));
}

}  // namespace validator
