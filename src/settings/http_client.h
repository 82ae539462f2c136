#pragma once
// The HTTP client of one window: GET over plain HTTP/1.1 with the program's fixed headers,
// redirects not followed, cookies kept in memory for the life of the client. Bounded by a
// connect time-out, an idle time-out and a body size cap; cancellable.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace http
{

// A value of 0 or less switches that bound off.
struct Limits {
    long connectTimeoutMs = 15'000;
    long idleTimeoutSeconds = 30; // no data for this long ends the transfer
    std::int64_t maxBodyBytes = 512LL * 1024 * 1024;
};

struct Result {
    bool ok = false; // a 2xx response without a Location header, fully received
    long status = -1; // the code of the status line, -1 when none arrived
    std::string body; // the body as received (only meaningful when ok)
    std::string error; // a short reason when !ok (not shown by the window, used by the CLI)
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
    Result Get(const std::string &url, const Tick &tick = {});

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Call once in main() before any client is made.
void GlobalInit();

// The news file's URL: $LANZO_NEWS_URL when set, otherwise the program's own site.
std::string NewsUrl();

} // namespace http
