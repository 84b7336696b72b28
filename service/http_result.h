// The outcome of one exchange with the service: the HTTP status (0 when no
// reply status was obtained) and the reply body as received. A plain value.
#pragma once

#include <cstdint>
#include <string>

struct HttpResult {
    uint32_t statusCode = 0;
    std::string body;
};
