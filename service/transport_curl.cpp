// The transport on libcurl, for builds off Windows. It behaves as the WinHTTP
// one does: the same headers and user agent, the same body limit, proxies
// from the environment and TLS verification on, and the same outcomes: code 0
// unless a whole header block arrived, and the status with the body so far
// when the reply breaks off after that.
//
// How WinHTTP's time-outs map onto libcurl's options:
// - resolve (5 s) and connect (5 s): one CURLOPT_CONNECTTIMEOUT_MS of their
//   sum, since libcurl bounds name resolution and connecting together;
// - send (10 s) and receive (10 s), each a bound on one stalled network
//   operation: CURLOPT_LOW_SPEED_LIMIT 1 byte/s over CURLOPT_LOW_SPEED_TIME
//   10 s, which ends a transfer that moves nothing, either way, for 10 s;
// - the whole exchange (30 s, from the request to the end of the body):
//   CURLOPT_TIMEOUT_MS, which bounds resolving, connecting and the TLS
//   handshake as well (libcurl's threaded resolver honours it).
// Nothing may unwind through libcurl's C frames, so both callbacks catch.
#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <utility>

#include "service/transport.h"

namespace {

bool startsWithNoCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// The checks WinHttpCrackUrl makes with the room it is given: an absolute
// http(s) URL with a host of 1 to 255 characters and a path of at most 1023.
bool isUsableUrl(const std::string& url) {
    size_t hostStart = 0;
    if (startsWithNoCase(url, "https://")) {
        hostStart = 8;
    } else if (startsWithNoCase(url, "http://")) {
        hostStart = 7;
    } else {
        return false;
    }
    const size_t hostEnd = url.find_first_of(":/?#", hostStart);
    const size_t hostLength = (hostEnd == std::string::npos ? url.size() : hostEnd) - hostStart;
    const size_t pathStart = url.find_first_of("/?#", hostStart);
    const size_t pathLength = pathStart == std::string::npos ? 0 : url.size() - pathStart;
    return hostLength >= 1 && hostLength <= kMaxHostLength && pathLength <= kMaxPathLength;
}

// What one exchange gathers while libcurl runs it.
struct Exchange {
    CURL* handle = nullptr;
    bool headersComplete = false;  // the final (non-1xx) header block ended
    std::string body;
};

// Notes the blank line that ends the final header block. An interim 1xx
// block ends the same way, so the code it carried decides.
size_t noteHeaderLine(char* data, size_t size, size_t count, void* target) {
    auto& exchange = *static_cast<Exchange*>(target);
    const size_t length = size * count;
    const bool blank =
        (length == 2 && data[0] == '\r' && data[1] == '\n') || (length == 1 && data[0] == '\n');
    if (blank) {
        long code = 0;
        curl_easy_getinfo(exchange.handle, CURLINFO_RESPONSE_CODE, &code);
        exchange.headersComplete = code >= 200;
    }
    return length;
}

// Appends what arrived unless the body already holds more than the limit, in
// which case the transfer stops with what was gathered. A failed append ends
// the transfer the same way.
size_t appendBody(char* data, size_t size, size_t count, void* target) {
    auto& exchange = *static_cast<Exchange*>(target);
    if (exchange.body.size() > kBodyReadingLimit) {
        return 0;
    }
    try {
        exchange.body.append(data, size * count);
    } catch (...) {
        return 0;
    }
    return size * count;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

HttpResult httpRequest(const std::string& method, const std::string& url,
                       const std::string& bearerKey, const std::string& body) {
    HttpResult result;
    if (!isUsableUrl(url)) {
        return result;
    }
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        return result;
    }
    CURL* handle = curl.get();

    std::unique_ptr<curl_slist, HeaderListDeleter> headers;
    for (const std::string& header :
         {std::string(kAuthorizationPrefix) + bearerKey, std::string(kContentTypeHeader),
          std::string("Accept:"), std::string("Expect:")}) {
        curl_slist* grown = curl_slist_append(headers.get(), header.c_str());
        if (grown == nullptr) {
            return result;
        }
        headers.release();
        headers.reset(grown);
    }

    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    if (!body.empty()) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     long{kResolveTimeoutMs + kConnectTimeoutMs});
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, long{kReceiveTimeoutMs / 1000});
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, long{kExchangeDeadlineMs});
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    if (const char* caFile = std::getenv("SSL_CERT_FILE")) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile);
    }
    Exchange exchange;
    exchange.handle = handle;
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, noteHeaderLine);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &exchange);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &exchange);

    // libcurl sets the code from the status line alone; WinHTTP has a reply
    // only once its headers are complete. A failure after that keeps the
    // status and the body so far, as a failed read does on WinHTTP.
    curl_easy_perform(handle);
    if (!exchange.headersComplete) {
        return result;
    }
    long statusCode = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &statusCode);
    result.statusCode = static_cast<uint32_t>(statusCode);
    result.body = std::move(exchange.body);
    return result;
}
