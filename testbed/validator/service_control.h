// The validator's hold on the stand-in service the plug-in under test talks
// to, on loopback: accounts added at run time, the broken reply chosen for
// each key ("forward": the service's own answer), how many requests bore a
// key, the record of requests and the accounts' plays.
// Any thread: every call is one exchange of its own.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>

namespace validator {

class ServiceControl {
public:
    // `url`: "http://127.0.0.1:PORT"; port() is 0 for anything else.
    explicit ServiceControl(const std::string& url);
    int port() const { return port_; }

    bool addAccount(const std::string& key, const std::string& name);
    bool setReply(const std::string& key, const std::string& replyName);
    int requestsWithKey(const std::string& key);
    // The stand-in's record of the requests that bore `key` and used
    // `method` ({"method","headers","body",...}); empty when unreadable.
    nlohmann::json requests(const std::string& key, const std::string& method);
    // The stand-in's accounts: name -> {"history":[...],"upNext":[...]}.
    nlohmann::json accounts();

private:
    // The reply's status code (0: no reply) and body.
    std::pair<int, std::string> exchange(const std::string& method, const std::string& path,
                                         const std::string& body);

    int port_ = 0;
};

}  // namespace validator
