// The transport on Windows HTTP Services, synchronous, on the worker thread.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "service/transport.h"

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// The time a blocking step may take: what is left of the exchange's deadline,
// at most `cap`; 0 once it has passed (WinHTTP would read 0 as no limit, so
// callers stop instead of passing it on).
DWORD timeLeftMs(Deadline deadline, int cap) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, cap));
}

// Bounds the next blocking wait on the request by `option`'s time-out.
bool limitWait(HINTERNET request, DWORD option, Deadline deadline) {
    DWORD timeout = timeLeftMs(deadline, kReceiveTimeoutMs);
    return timeout > 0 && WinHttpSetOption(request, option, &timeout, sizeof timeout);
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

HINTERNET openSession() {
    HINTERNET session =
        WinHttpOpen(utf8ToWide(kUserAgent).c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        session = WinHttpOpen(utf8ToWide(kUserAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
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
        if (!limitWait(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, deadline) ||
            !WinHttpQueryDataAvailable(request, &available) || available == 0) {
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

    HINTERNET session = openSession();
    if (session == nullptr) {
        return result;
    }
    WinHttpSetTimeouts(session, kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs,
                       kReceiveTimeoutMs);

    HINTERNET connection = WinHttpConnect(session, hostName, parts.nPort, 0);
    if (connection == nullptr) {
        WinHttpCloseHandle(session);
        return result;
    }
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    HINTERNET request =
        WinHttpOpenRequest(connection, utf8ToWide(method).c_str(), urlPath, nullptr,
                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure);
    if (request == nullptr) {
        WinHttpCloseHandle(connection);
        WinHttpCloseHandle(session);
        return result;
    }

    const std::wstring headers = utf8ToWide(kAuthorizationPrefix) + utf8ToWide(bearerKey) +
                                 L"\r\n" + utf8ToWide(kContentTypeHeader) + L"\r\n";
    const DWORD bodyLength = static_cast<DWORD>(body.size());
    LPVOID bodyData = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
    // The wait for the reply's headers is bounded by the receive time-out too
    // (set before sending, which is when some WinHTTP implementations take
    // it up); left alone, some wait 90 seconds for them, and Release waits
    // for the exchange.
    if (limitWait(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, deadline) &&
        WinHttpSendRequest(request, headers.c_str(), static_cast<DWORD>(-1), bodyData, bodyLength,
                           bodyLength, 0) &&
        WinHttpReceiveResponse(request, nullptr)) {
        DWORD statusCode = 0;
        DWORD statusSize = sizeof statusCode;
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &statusCode, &statusSize,
                            WINHTTP_NO_HEADER_INDEX);
        result.statusCode = statusCode;
        if (!readBody(request, result.body, deadline)) {
            result = HttpResult{};
        }
    }

    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return result;
}
