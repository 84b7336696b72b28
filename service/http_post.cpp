#include "service/transport.h"

HttpResult httpPost(const std::string& method, const std::string& key, const std::string& body) {
    return httpRequest(method, std::string(ORVALINK_SERVICE_BASE_URL) + kServicePath, key, body);
}
