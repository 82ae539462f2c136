#include "settings/http_client.h"

#include <chrono>
#include <cstdlib>
#include <curl/curl.h>
#include <mutex>
#include <new>
#include <string_view>

namespace http
{
namespace
{

#ifdef CURL_WRITEFUNC_ERROR
constexpr std::size_t kWriteError = CURL_WRITEFUNC_ERROR;
#else
constexpr std::size_t kWriteError = 0;
#endif

// How often the window gets a chance to repaint and to cancel while a request runs.
constexpr int kTickMs = 50;

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != prefix[i]) return false;
    }
    return true;
}

} // namespace

struct HttpClient::Impl {
    Limits limits;
    CURL *easy = nullptr;
    CURLM *multi = nullptr;
    curl_slist *headers = nullptr;
    bool busy = false;

    // State of the request in progress.
    std::string body;
    bool sawLocation = false;
    bool tooLarge = false;
    bool outOfMemory = false;
    bool idleTimedOut = false;
    std::chrono::steady_clock::time_point lastData;
    char errorText[CURL_ERROR_SIZE] = {};

    static std::size_t OnBody(char *data, std::size_t size, std::size_t count, void *user)
    {
        auto *self = static_cast<Impl *>(user);
        const std::size_t n = size * count;
        self->lastData = std::chrono::steady_clock::now();
        const std::int64_t cap = self->limits.maxBodyBytes;
        if (cap > 0 && static_cast<std::int64_t>(self->body.size() + n) > cap) {
            self->tooLarge = true;
            return kWriteError;
        }
        try {
            self->body.append(data, n);
        } catch (const std::bad_alloc &) {
            self->outOfMemory = true;
            return kWriteError;
        }
        return n;
    }

    // A status line starts a new response (after a 100 Continue, say) and forgets an earlier
    // Location; a Location header in the final response makes the request fail.
    static std::size_t OnHeader(char *data, std::size_t size, std::size_t count, void *user)
    {
        auto *self = static_cast<Impl *>(user);
        const std::size_t n = size * count;
        const std::string_view line(data, n);
        self->lastData = std::chrono::steady_clock::now();
        if (line.substr(0, 5) == "HTTP/")
            self->sawLocation = false;
        else if (StartsWithIgnoreCase(line, "location:"))
            self->sawLocation = true;
        return n;
    }

    bool Configure()
    {
        easy = curl_easy_init();
        multi = curl_multi_init();
        if (!easy || !multi) return false;
        headers = curl_slist_append(headers, "Accept: text/html, */*");
        headers = curl_slist_append(headers, "User-Agent: Mozilla/3.0 (compatible; Indy Library)");
        headers = curl_slist_append(headers, "Content-Type: text/html");
        headers = curl_slist_append(headers, "Expect:");
        if (!headers) return false;
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
        curl_easy_setopt(easy, CURLOPT_DEFAULT_PROTOCOL, "http");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, ""); // cookies in memory, for this client only
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
        if (limits.connectTimeoutMs > 0) curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
        // Checks a declared Content-Length up front; OnBody caps bodies that declare none.
        if (limits.maxBodyBytes > 0)
            curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
        return true;
    }

    ~Impl()
    {
        if (multi) curl_multi_cleanup(multi);
        if (easy) curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }

    // Runs the transfer through the multi interface so that tick is called every kTickMs even
    // while the server sends nothing. Returns the transfer's result code.
    // The idle time-out is kept here rather than with LOW_SPEED_LIMIT/TIME: libcurl averages
    // the speed over several seconds, so a few bytes before a stall would delay it by that much.
    CURLcode Run(const Tick &tick, bool &cancelled)
    {
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
        CURLcode code = CURLE_OK;
        bool done = false;
        auto lastTick = std::chrono::steady_clock::now();
        lastData = lastTick;
        const auto idleLimit = std::chrono::seconds(limits.idleTimeoutSeconds);
        while (!done) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                code = CURLE_FAILED_INIT;
                break;
            }
            int left = 0;
            while (CURLMsg *msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                    code = msg->data.result;
                    done = true;
                }
            }
            if (done || running == 0) break;
            curl_multi_poll(multi, nullptr, 0, kTickMs, nullptr);
            const auto now = std::chrono::steady_clock::now();
            if (limits.idleTimeoutSeconds > 0 && now - lastData >= idleLimit) {
                idleTimedOut = true;
                code = CURLE_OPERATION_TIMEDOUT;
                break;
            }
            if (tick && now - lastTick >= std::chrono::milliseconds(kTickMs)) {
                lastTick = now;
                if (!tick()) {
                    cancelled = true;
                    code = CURLE_ABORTED_BY_CALLBACK;
                    break;
                }
            }
        }
        // Removing the handle also closes a connection that is still open.
        curl_multi_remove_handle(multi, easy);
        return code;
    }
};

HttpClient::HttpClient(Limits limits)
    : m_impl(std::make_unique<Impl>())
{
    GlobalInit();
    m_impl->limits = limits;
    if (!m_impl->Configure()) {
        // Get reports the failure; nothing else can be done here without throwing.
    }
}

HttpClient::~HttpClient() = default;

Result HttpClient::Get(const std::string &url, const Tick &tick)
{
    Result result;
    Impl &d = *m_impl;
    if (!d.easy || !d.multi || !d.headers) {
        result.error = "the HTTP library could not be initialised";
        return result;
    }
    if (d.busy) {
        result.error = "another request of this window is still running";
        return result;
    }
    if (url.find('\0') != std::string::npos) {
        result.error = "malformed URL";
        return result;
    }
    d.busy = true;
    d.body = std::string();
    d.sawLocation = false;
    d.tooLarge = false;
    d.outOfMemory = false;
    d.idleTimedOut = false;
    d.errorText[0] = '\0';
    curl_easy_setopt(d.easy, CURLOPT_URL, url.c_str());

    bool cancelled = false;
    const CURLcode code = d.Run(tick, cancelled);

    long status = 0;
    curl_easy_getinfo(d.easy, CURLINFO_RESPONSE_CODE, &status);
    result.status = status == 0 ? -1 : status;

    if (cancelled)
        result.error = "cancelled";
    else if (d.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
        result.error = "the response is larger than " + std::to_string(d.limits.maxBodyBytes) + " bytes";
    else if (d.idleTimedOut)
        result.error = "no data for " + std::to_string(d.limits.idleTimeoutSeconds) + " seconds";
    else if (d.outOfMemory)
        result.error = "out of memory";
    else if (code != CURLE_OK)
        result.error = d.errorText[0] ? std::string(d.errorText) : std::string(curl_easy_strerror(code));
    else if (status < 200 || status > 299)
        result.error = "HTTP status " + std::to_string(status);
    else if (d.sawLocation)
        result.error = "redirect not followed";
    else
        result.ok = true;

    if (result.ok) result.body = std::move(d.body);
    d.body = std::string();
    d.busy = false;
    return result;
}

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string NewsUrl()
{
    const char *env = std::getenv("LANZO_NEWS_URL");
    if (env && *env) return env;
    return "http://lanzo.example.jp/new.txt";
}

} // namespace http
