// The transport on libcurl, for builds off Windows. It behaves as the WinHTTP
// one does: the same headers and user agent, the same time-outs as closely as
// libcurl allows, the same body limit, proxies from the environment and TLS
// verification on.
#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <memory>

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

// Appends what arrived unless the body already holds more than the limit, in
// which case the transfer stops with what was gathered.
size_t appendBody(char* data, size_t size, size_t count, void* target) {
    auto& body = *static_cast<std::string*>(target);
    if (body.size() > kBodyReadingLimit) {
        return 0;
    }
    body.append(data, size * count);
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
    if (!body.empty()) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     long{kResolveTimeoutMs + kConnectTimeoutMs});
    // A stall of the send or the reply for its time-out ends the exchange.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, long{kReceiveTimeoutMs / 1000});
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    if (const char* caFile = std::getenv("SSL_CERT_FILE")) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile);
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &result.body);

    // A failure after the status line keeps the status and the body so far,
    // as a failed read does on WinHTTP; a failure before it leaves code 0.
    curl_easy_perform(handle);
    long statusCode = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &statusCode);
    result.statusCode = static_cast<uint32_t>(statusCode);
    if (result.statusCode == 0) {
        result.body.clear();
    }
    return result;
}
