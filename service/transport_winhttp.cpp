// The transport on Windows HTTP Services, synchronous, on the worker thread.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>

#include "service/transport.h"

namespace {

using Deadline = std::chrono::steady_clock::time_point;

struct HandleCloser {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
// Closing the request, then the connection, then the session is the order
// their owners go out of scope in.
using Handle = std::unique_ptr<void, HandleCloser>;

// The time a blocking step may take: what is left of the exchange's deadline,
// at most `cap`; 0 once it has passed (WinHTTP would read 0 as no limit, so
// callers stop instead of passing it on).
int timeLeftMs(Deadline deadline, int cap) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, cap));
}

// Bounds every wait of the next blocking call on the request by its own
// time-out, cut to what is left of the deadline: name resolution, proxy
// discovery and connecting, sending and the TLS handshake, the reply's
// headers and each body read. WinHTTP checks the header wait only when data
// arrives, so a server that trickles header bytes may be noticed up to one
// receive wait after the header wait ran out: each of the two gets at most
// half of what is left, so that together they end by the deadline. False
// once the deadline has passed.
bool limitWaits(HINTERNET request, Deadline deadline) {
    const int resolve = timeLeftMs(deadline, kResolveTimeoutMs);
    const int connect = timeLeftMs(deadline, kConnectTimeoutMs);
    const int send = timeLeftMs(deadline, kSendTimeoutMs);
    const int halfLeft = timeLeftMs(deadline, INT32_MAX) / 2;
    DWORD receive = static_cast<DWORD>(std::min(kReceiveTimeoutMs, halfLeft));
    return receive > 0 && resolve > 0 && connect > 0 && send > 0 &&
           WinHttpSetTimeouts(request, resolve, connect, send, static_cast<int>(receive)) &&
           WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &receive,
                            sizeof receive);
}

std::wstring utf8ToWide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            units) != units) {
        return {};
    }
    return wide;
}

Handle openSession() {
    Handle session(WinHttpOpen(utf8ToWide(kUserAgent).c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        session.reset(WinHttpOpen(utf8ToWide(kUserAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    }
    return session;
}

// Appends the reply body chunk by chunk, stopping after the chunk that takes
// it past the reading limit, or when the exchange's deadline passes. False
// when the reply did not hold together: a count of bytes ready that no reply
// buffer holds. Wine's WinHTTP, for one, takes a status line followed by
// silence for a complete reply once the header wait runs out, and then
// counts -1 bytes ready; reading them would write before our buffer.
bool readBody(HINTERNET request, std::string& body, Deadline deadline) {
    constexpr DWORD kMaxChunk = 65536;
    for (;;) {
        DWORD available = 0;
        if (!limitWaits(request, deadline) || !WinHttpQueryDataAvailable(request, &available) ||
            available == 0) {
            return true;
        }
        if (available > static_cast<DWORD>(INT32_MAX)) {
            return false;
        }
        if (body.size() > kBodyReadingLimit) {
            return true;
        }
        std::string chunk(std::min(available, kMaxChunk), '\0');
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.data(), static_cast<DWORD>(chunk.size()), &read) ||
            read == 0) {
            return true;
        }
        body.append(chunk.data(), std::min<DWORD>(read, static_cast<DWORD>(chunk.size())));
    }
}

}  // namespace

HttpResult httpRequest(const std::string& method, const std::string& url,
                       const std::string& bearerKey, const std::string& body) {
    HttpResult result;
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kExchangeDeadlineMs);

    const std::wstring wideUrl = utf8ToWide(url);
    wchar_t hostName[kMaxHostLength + 1] = {};
    wchar_t urlPath[kMaxPathLength + 1] = {};
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = hostName;
    parts.dwHostNameLength = kMaxHostLength + 1;
    parts.lpszUrlPath = urlPath;
    parts.dwUrlPathLength = kMaxPathLength + 1;
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) {
        return result;
    }

    const Handle session = openSession();
    if (!session) {
        return result;
    }
    WinHttpSetTimeouts(session.get(), kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs,
                       kReceiveTimeoutMs);
    const Handle connection(WinHttpConnect(session.get(), hostName, parts.nPort, 0));
    if (!connection) {
        return result;
    }
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    const Handle request(WinHttpOpenRequest(connection.get(), utf8ToWide(method).c_str(), urlPath,
                                            nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request) {
        return result;
    }
    // A redirect is an answer of its own, never followed (see transport.h);
    // an exchange that cannot be kept from following one is not made.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                          sizeof noRedirects)) {
        return result;
    }

    const std::wstring headers = utf8ToWide(kAuthorizationPrefix) + utf8ToWide(bearerKey) +
                                 L"\r\n" + utf8ToWide(kContentTypeHeader) + L"\r\n";
    const DWORD bodyLength = static_cast<DWORD>(body.size());
    LPVOID bodyData = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
    // Each blocking call's waits are cut to what is left of the deadline just
    // before it runs. The header wait is set before sending too, which is when
    // some WinHTTP implementations take it up; left alone, some wait 90
    // seconds for the headers, and Release waits for the exchange.
    if (!limitWaits(request.get(), deadline) ||
        !WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1), bodyData,
                            bodyLength, bodyLength, 0) ||
        !limitWaits(request.get(), deadline) || !WinHttpReceiveResponse(request.get(), nullptr)) {
        return result;
    }
    DWORD statusCode = 0;
    DWORD statusSize = sizeof statusCode;
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &statusCode, &statusSize,
                        WINHTTP_NO_HEADER_INDEX);
    result.statusCode = statusCode;
    if (!readBody(request.get(), result.body, deadline)) {
        result = HttpResult{};
    }
    return result;
}
