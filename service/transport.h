// One HTTP(S) exchange with the service: the status code and the reply body.
// One file per platform implements httpRequest (WinHTTP on Windows, libcurl
// elsewhere) with the same observable behaviour; httpPost adds the service URL.
//
// Neither follows a redirect: a 3xx comes back as its own status code, which
// the callers treat as any code they do not expect (the plays stay queued and
// are sent again later). Followed, a POST would turn into a GET without its
// document that answers 200, taken for a delivery while nothing arrived; and
// the bearer key would go to whatever host the redirect names.
//
// Thread: the worker only, one exchange at a time. Each call owns everything
// it opens and closes it before returning; no state, no locks. Every failure
// comes back as status code 0, never as an exception.
#pragma once

#include <cstddef>
#include <string>

#include "service/http_result.h"

inline constexpr char kServicePath[] = "/api/now-playing";
inline constexpr char kUserAgent[] = "Orvalink-vdj-plugin/1.0";
inline constexpr char kAuthorizationPrefix[] = "Authorization: Bearer ";
inline constexpr char kContentTypeHeader[] = "Content-Type: application/json";
inline constexpr int kResolveTimeoutMs = 5000;
inline constexpr int kConnectTimeoutMs = 5000;
inline constexpr int kSendTimeoutMs = 10000;
inline constexpr int kReceiveTimeoutMs = 10000;
// The whole exchange, from the request to the end of the body: a reply that
// trickles in keeps every single read within its time-out, and Release waits
// for the exchange. Every blocking step (name resolution, proxy discovery,
// connecting, the TLS handshake, sending, the headers, each body read) gets
// at most what is left of it; past it the exchange ends as a failed read
// would there. WinHTTP checks its wait for the whole header block only when
// data arrives, so it may notice that wait's end as late as one receive wait
// after it: there the two get at most half of what is left each.
inline constexpr int kExchangeDeadlineMs = 30000;
inline constexpr size_t kMaxHostLength = 255;
inline constexpr size_t kMaxPathLength = 1023;
// Reading stops once the body holds more than this many bytes.
inline constexpr size_t kBodyReadingLimit = 65535;

// One request with the bearer key and the JSON content type; the body is sent
// as its bytes. Code 0 and an empty body when no reply status was obtained.
HttpResult httpRequest(const std::string& method, const std::string& url,
                       const std::string& bearerKey, const std::string& body);

// httpRequest to the service's now-playing path under the configured origin.
HttpResult httpPost(const std::string& method, const std::string& key, const std::string& body);
