#pragma once
// The HTTP client of one window: GET over plain HTTP/1.1 with the program's fixed headers,
// redirects not followed, cookies kept in memory for the life of the client. Bounded by a
// connect time-out, an idle time-out and a body size cap; cancellable.
//
// The web mode, which the user switches on, reaches today's sites instead: https with the
// certificate verified, up to 10 redirects over http and https, compressed bodies, and the
// proxies of the environment.
#include "base/error.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace http_client
{

// A value of 0 or less switches that bound off.
struct Limits {
    long connectTimeoutMs = 15'000;
    long idleTimeoutSeconds = 30; // no byte received for this long ends the transfer
    std::int64_t maxBodyBytes = 512LL * 1024 * 1024; // after decompression
};

// The windows' bounds: a read waits as long as the connection stays open, since the user can
// end a stalled download there at any moment.
inline Limits WindowLimits()
{
    Limits limits;
    limits.idleTimeoutSeconds = 0;
    return limits;
}

enum class Mode { Plain, Web };

// What a request brought, whether it succeeded or not.
struct Response {
    long status = -1; // the code of the last status line, -1 when none arrived
    std::string body; // the body as received, decompressed (empty unless the request succeeded)
    std::string finalUrl; // the address the last response came from (after redirects), else the one tried
    std::string contentType; // the last response's Content-Type header, as sent
};

class HttpClient
{
public:
    explicit HttpClient(Limits limits = {});
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    // Called now and then during a transfer; return false to cancel it.
    using Tick = std::function<bool()>;
    // Succeeds on a 2xx response (in the plain mode without a Location header), fully received.
    // Otherwise the kind says what ended it: Stopped when the tick cancelled it, HttpStatus
    // (count: the status) for another status, ResponseTooLarge and IdleTimeout (limit: the
    // bound), TransferFailed (found: the transfer library's words), ... response holds what
    // arrived either way.
    error::Result<void> Get(const std::string &url, Response &response, const Tick &tick = {}, Mode mode = Mode::Plain);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Call once in main() before any client is made.
void GlobalInit();

// The User-Agent of the web mode: "Mozilla/5.0 (X11; Linux x86_64) Lanzo/VERSION".
std::string WebUserAgent();

// The news file's URL: $LANZO_NEWS_URL when set, otherwise the program's own site.
std::string NewsUrl();

} // namespace http_client
