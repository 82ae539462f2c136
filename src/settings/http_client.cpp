#include "settings/http_client.h"

#include "settings/body_blocks.h"

#include <chrono>
#include <cstdlib>
#include <curl/curl.h>
#include <linux/tcp.h>
#include <mutex>
#include <netinet/in.h>
#include <new>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace http_client
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
constexpr long kMaxRedirects = 10;

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

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// The bytes the kernel has received on a connection so far, or -1 when it cannot say.
long long ReceivedBytes(curl_socket_t socket)
{
    if (socket == CURL_SOCKET_BAD) return -1;
    tcp_info info {};
    socklen_t length = sizeof info;
    if (::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0
        || length < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received)
        return -1;
    return static_cast<long long>(info.tcpi_bytes_received);
}

// The CA bundle and folder the curl tool would use: $CURL_CA_BUNDLE or $SSL_CERT_FILE, and
// $SSL_CERT_DIR; the library's own default otherwise.
std::string EnvOr(const char *first, const char *second, const std::string &fallback)
{
    for (const char *name : { first, second }) {
        if (!name) continue;
        const char *value = std::getenv(name);
        if (value && *value) return value;
    }
    return fallback;
}

error::Unexpected Failure(error::Kind kind, std::uint64_t limit = 0)
{
    error::Error e = error::Error::Of(kind);
    e.limit = limit;
    return error::Unexpected(std::move(e));
}

} // namespace

struct HttpClient::Impl {
    Limits limits;
    CURL *easy = nullptr;
    CURLM *multi = nullptr;
    curl_slist *plainHeaders = nullptr;
    curl_slist *webHeaders = nullptr;
    std::string defaultCaInfo, defaultCaPath;
    bool busy = false;

    // State of the request in progress.
    body_blocks::BodyBlocks body;
    bool sawLocation = false;
    std::string contentLength; // of the current response; "" until one is seen
    std::string responseUrl; // where the current response comes from
    bool conflictingLength = false;
    bool tooLarge = false;
    bool outOfMemory = false;
    bool idleTimedOut = false;
    curl_socket_t socket = CURL_SOCKET_BAD;
    long long socketBytes = -1;
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
        if (!self->body.append(data, n)) {
            self->outOfMemory = true;
            return kWriteError;
        }
        return n;
    }

    // A status line starts a new response (after a 100 Continue or a redirect, say) and forgets
    // an earlier Location and Content-Length. Two Content-Length values that differ make the
    // response broken: which one frames the body is anybody's guess.
    static std::size_t OnHeader(char *data, std::size_t size, std::size_t count, void *user)
    {
        auto *self = static_cast<Impl *>(user);
        const std::size_t n = size * count;
        const std::string_view line(data, n);
        self->lastData = std::chrono::steady_clock::now();
        if (line.substr(0, 5) == "HTTP/") {
            self->sawLocation = false;
            self->contentLength.clear();
            char *url = nullptr;
            if (curl_easy_getinfo(self->easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url) self->responseUrl = url;
        } else if (StartsWithIgnoreCase(line, "location:")) {
            self->sawLocation = true;
        } else if (StartsWithIgnoreCase(line, "content-length:")) {
            std::string_view values = line.substr(15);
            while (!values.empty()) {
                const std::size_t comma = values.find(',');
                const std::string_view value = TrimBlanks(values.substr(0, comma));
                if (self->contentLength.empty())
                    self->contentLength = value;
                else if (value != self->contentLength)
                    self->conflictingLength = true;
                values = comma == std::string_view::npos ? std::string_view() : values.substr(comma + 1);
            }
            if (self->conflictingLength) return 0; // ends the transfer
        }
        return n;
    }

    // The connection's socket, so that idleness can be judged by the bytes that arrive.
    static int OnSocket(void *user, curl_socket_t socket, curlsocktype)
    {
        static_cast<Impl *>(user)->socket = socket;
        return CURL_SOCKOPT_OK;
    }

    static int OnCloseSocket(void *user, curl_socket_t socket)
    {
        auto *self = static_cast<Impl *>(user);
        if (self->socket == socket) self->socket = CURL_SOCKET_BAD;
        return ::close(socket);
    }

    bool Configure()
    {
        easy = curl_easy_init();
        multi = curl_multi_init();
        if (!easy || !multi) return false;
        for (curl_slist **list : { &plainHeaders, &webHeaders }) {
            const std::string agent = list == &plainHeaders ? "Mozilla/3.0 (compatible; Indy Library)" : WebUserAgent();
            *list = curl_slist_append(*list, "Accept: text/html, */*");
            if (*list) *list = curl_slist_append(*list, ("User-Agent: " + agent).c_str());
            if (*list) *list = curl_slist_append(*list, "Content-Type: text/html");
            if (*list) *list = curl_slist_append(*list, "Expect:");
            if (!*list) return false;
        }
        char *caInfo = nullptr, *caPath = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &caInfo) == CURLE_OK && caInfo) defaultCaInfo = caInfo;
        if (curl_easy_getinfo(easy, CURLINFO_CAPATH, &caPath) == CURLE_OK && caPath) defaultCaPath = caPath;
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_DEFAULT_PROTOCOL, "http");
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, ""); // cookies in memory, for this client only
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &Impl::OnSocket);
        curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Impl::OnCloseSocket);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
        if (limits.connectTimeoutMs > 0) curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
        // Checks a declared Content-Length up front; OnBody caps bodies that declare none.
        if (limits.maxBodyBytes > 0)
            curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
        return true;
    }

    // Everything that differs between the plain and the web mode is set on every request.
    void SetMode(Mode mode)
    {
        const bool web = mode == Mode::Web;
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, web ? webHeaders : plainHeaders);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, web ? "http,https" : "http");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, web ? "http,https" : "http");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, web ? 1L : 0L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
        // "" asks for every encoding the library can decode; NULL sends no Accept-Encoding.
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, web ? "" : nullptr);
        // Without a no-proxy list of its own the library follows http_proxy, https_proxy and no_proxy.
        curl_easy_setopt(easy, CURLOPT_NOPROXY, web ? nullptr : "*");
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        // The library does not read these variables itself (only the curl tool does).
        const std::string caInfo = EnvOr("CURL_CA_BUNDLE", "SSL_CERT_FILE", defaultCaInfo);
        const std::string caPath = EnvOr("SSL_CERT_DIR", nullptr, defaultCaPath);
        curl_easy_setopt(easy, CURLOPT_CAINFO, caInfo.empty() ? nullptr : caInfo.c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, caPath.empty() ? nullptr : caPath.c_str());
    }

    ~Impl()
    {
        if (multi) curl_multi_cleanup(multi);
        if (easy) curl_easy_cleanup(easy);
        curl_slist_free_all(plainHeaders);
        curl_slist_free_all(webHeaders);
    }

    // True when bytes arrived on the connection since the last look: a status line or a header
    // dripping in byte by byte reaches no callback until its line is complete.
    bool BytesArrived()
    {
        const long long now = ReceivedBytes(socket);
        const bool arrived = now >= 0 && now != socketBytes;
        socketBytes = now;
        return arrived;
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
            if (BytesArrived()) lastData = now;
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

error::Result<void> HttpClient::Get(const std::string &url, Response &response, const Tick &tick, Mode mode)
{
    response = Response();
    Impl &d = *m_impl;
    if (!d.easy || !d.multi || !d.plainHeaders || !d.webHeaders) return Failure(error::Kind::HttpSetup);
    if (d.busy) return Failure(error::Kind::HttpBusy);
    if (url.find('\0') != std::string::npos) return Failure(error::Kind::MalformedUrl);
    d.busy = true;
    d.body.clear();
    d.sawLocation = false;
    d.contentLength.clear();
    d.responseUrl.clear();
    d.conflictingLength = false;
    d.tooLarge = false;
    d.outOfMemory = false;
    d.idleTimedOut = false;
    d.socket = CURL_SOCKET_BAD;
    d.socketBytes = -1;
    d.errorText[0] = '\0';
    d.SetMode(mode);
    curl_easy_setopt(d.easy, CURLOPT_URL, url.c_str());

    bool cancelled = false;
    const CURLcode code = d.Run(tick, cancelled);

    long status = 0;
    curl_easy_getinfo(d.easy, CURLINFO_RESPONSE_CODE, &status);
    response.status = status == 0 ? -1 : status;
    // A redirect that fails to be followed leaves the library's address at its target; the
    // last response still came from where it was sent.
    char *info = nullptr;
    if (curl_easy_getinfo(d.easy, CURLINFO_EFFECTIVE_URL, &info) == CURLE_OK && info) response.finalUrl = info;
    if (!d.responseUrl.empty()) response.finalUrl = d.responseUrl;
    info = nullptr;
    if (curl_easy_getinfo(d.easy, CURLINFO_CONTENT_TYPE, &info) == CURLE_OK && info) response.contentType = info;

    error::Result<void> outcome;
    if (cancelled) {
        outcome = Failure(error::Kind::Stopped);
    } else if (d.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        outcome = Failure(error::Kind::ResponseTooLarge, static_cast<std::uint64_t>(d.limits.maxBodyBytes));
    } else if (d.idleTimedOut) {
        outcome = Failure(error::Kind::IdleTimeout, static_cast<std::uint64_t>(d.limits.idleTimeoutSeconds));
    } else if (d.outOfMemory) {
        outcome = Failure(error::Kind::OutOfMemory);
    } else if (d.conflictingLength) {
        outcome = Failure(error::Kind::ConflictingLength);
    } else if (code != CURLE_OK) {
        error::Error e = error::Error::Of(error::Kind::TransferFailed);
        e.found = d.errorText[0] ? std::string(d.errorText) : std::string(curl_easy_strerror(code));
        outcome = error::Unexpected(std::move(e));
    } else if (status < 200 || status > 299) {
        error::Error e = error::Error::Of(error::Kind::HttpStatus);
        e.count = static_cast<std::uint64_t>(status);
        outcome = error::Unexpected(std::move(e));
    } else if (d.sawLocation && mode == Mode::Plain) {
        outcome = Failure(error::Kind::RedirectNotFollowed);
    }

    if (outcome) {
        try {
            response.body = d.body.take();
        } catch (const std::bad_alloc &) {
            outcome = Failure(error::Kind::OutOfMemory);
        }
    }
    d.body.clear();
    d.busy = false;
    return outcome;
}

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string WebUserAgent()
{
    return "Mozilla/5.0 (X11; Linux x86_64) Lanzo/" LANZO_VERSION;
}

std::string NewsUrl()
{
    const char *env = std::getenv("LANZO_NEWS_URL");
    if (env && *env) return env;
    return "http://lanzo.example.jp/new.txt";
}

} // namespace http_client
