// The HTTP client against servers that misbehave: endless, dripping, lying, malformed and
// aborted responses. Every request must end within its bounds, report ok=false with the code
// of the status line (-1 when none arrived), and keep the process's memory bounded.
#include "settings/http_client.h"
#include "support/http_fetch.h"

#include "support/http_test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

namespace
{

using testhttp::Server;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kMiB = 1024 * 1024;

// A field of /proc/self/status in kB, or -1.
long StatusKb(const std::string &key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

// Starts measuring the peak resident set from now on (writing 5 to clear_refs resets VmHWM).
bool ResetPeakRss()
{
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

// Sends chunk after chunk until the client hangs up, the server stops, limit passes or count
// chunks are sent.
void Stream(Server &s, int fd, const std::string &chunk, int pauseMs = 0, int limitMs = 20000, int count = -1)
{
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    while (!s.stopping() && Clock::now() < end && count-- != 0) {
        if (!Server::SendAll(fd, chunk)) return;
        if (pauseMs > 0) s.stall(pauseMs);
    }
}

// Sends the bytes of data one at a time with a pause before each.
void Drip(Server &s, int fd, std::string_view data, int gapMs)
{
    for (const char c : data) {
        s.stall(gapMs);
        if (s.stopping() || !Server::SendAll(fd, std::string_view(&c, 1))) return;
    }
}

std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char &c : out)
        c = static_cast<char>(gen());
    return out;
}

struct HostileCase {
    const char *name;
    Server::Responder responder;
    bool ok = false;
    long status = -1;
    const char *errorHas = ""; // a part of the error text, when it matters which bound ended it
    double maxSeconds = 5;
    long idleTimeoutSeconds = 30;
    std::int64_t maxBodyBytes = 8 * kMiB;
    int cancelAfterMs = 0; // the tick cancels after this long (0: never)
    std::function<void(const std::string &body)> checkBody = nullptr;
};

void PrintTo(const HostileCase &c, std::ostream *os)
{
    *os << c.name;
}

class HostileServer : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HostileServer, EndsWithinItsBoundsAndReportsTheStatus)
{
    const HostileCase &c = GetParam();
    Server server(c.responder);
    http_client::Limits limits;
    limits.connectTimeoutMs = 2000;
    limits.idleTimeoutSeconds = c.idleTimeoutSeconds;
    limits.maxBodyBytes = c.maxBodyBytes;
    http_client::HttpClient client(limits);

    const long rssBefore = StatusKb("VmRSS");
    const bool peakReset = ResetPeakRss();
    const auto start = Clock::now();
    const testhttp::Fetched r = testhttp::Fetch(client, server.url("/hostile"),
        [&] { return c.cancelAfterMs == 0 || Clock::now() - start < std::chrono::milliseconds(c.cancelAfterMs); });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long peak = peakReset ? StatusKb("VmHWM") : StatusKb("VmRSS");

    EXPECT_EQ(r.ok, c.ok) << r.error;
    EXPECT_EQ(r.status, c.status) << r.error;
    if (!c.ok) {
        EXPECT_FALSE(r.error.empty());
        EXPECT_TRUE(r.body.empty()) << "a failed request hands back no partial body";
    }
    EXPECT_NE(r.error.find(c.errorHas), std::string::npos) << r.error;
    EXPECT_LT(seconds, c.maxSeconds);
    if (c.checkBody) c.checkBody(r.body);
    // The body stays within its cap (8 MiB unless the case says otherwise) plus a few MiB of the
    // library's buffers, also while it is joined. Without the bounds an endless response would
    // take gigabytes within these seconds; a body grown by doubling would take twice its cap.
    const std::int64_t bodyBound = c.maxBodyBytes > 0 ? c.maxBodyBytes : 8 * kMiB;
    EXPECT_LT(peak - rssBefore, (bodyBound + 6 * kMiB) / 1024)
        << "peak RSS " << peak << " kB, before " << rssBefore << " kB";
}

const std::string kOk = "HTTP/1.1 200 OK\r\n";

HostileCase EndlessBody()
{
    HostileCase c { "EndlessBodyHitsTheCap", [](Server &s, int fd, const std::string &) {
                       if (Server::SendAll(fd, kOk + "\r\n")) Stream(s, fd, std::string(64 * 1024, 'x'));
                   } };
    c.status = 200;
    c.errorHas = "larger";
    c.maxBodyBytes = 96 * kMiB;
    return c;
}

HostileCase LongBodyWithoutLength()
{
    // 80 MiB that declare no length, under a cap of 96 MiB: the joined body must not be a copy
    // made beside the blocks it came in.
    HostileCase c { "LongBodyWithoutLengthJoinedInPlace", [](Server &s, int fd, const std::string &) {
                       if (Server::SendAll(fd, kOk + "\r\n"))
                           Stream(s, fd, std::string(64 * 1024, 'w'), 0, 20000, 1280);
                   } };
    c.ok = true;
    c.status = 200;
    c.maxBodyBytes = 96 * kMiB;
    c.checkBody = [](const std::string &body) { EXPECT_EQ(body.size(), std::size_t(80 * kMiB)); };
    return c;
}

HostileCase EndlessChunkedBody()
{
    HostileCase c { "EndlessChunkedBodyHitsTheCap", [](Server &s, int fd, const std::string &) {
                       if (Server::SendAll(fd, kOk + "Transfer-Encoding: chunked\r\n\r\n"))
                           Stream(s, fd, "10000\r\n" + std::string(0x10000, 'y') + "\r\n");
                   } };
    c.status = 200;
    c.errorHas = "larger";
    return c;
}

HostileCase EndlessBodyCancelled()
{
    // 64 KiB every 20 ms: about 3 MiB/s, never ending, no cap; the stop button ends it.
    HostileCase c { "EndlessBodyCancelled", [](Server &s, int fd, const std::string &) {
                       if (Server::SendAll(fd, kOk + "\r\n")) Stream(s, fd, std::string(64 * 1024, 'z'), 20);
                   } };
    c.status = 200;
    c.errorHas = "cancelled";
    c.maxBodyBytes = 0;
    c.cancelAfterMs = 600;
    c.maxSeconds = 2;
    return c;
}

HostileCase DripSlowerThanIdleTimeout()
{
    HostileCase c { "DripSlowerThanIdleTimeoutFails", [](Server &s, int fd, const std::string &) {
                       if (Server::SendAll(fd, kOk + "Content-Length: 10\r\n\r\n")) Drip(s, fd, "0123456789", 1500);
                   } };
    c.status = 200;
    c.errorHas = "no data";
    c.idleTimeoutSeconds = 1;
    c.maxSeconds = 2.5;
    return c;
}

HostileCase DripFasterThanIdleTimeout()
{
    // The idle time-out bounds the gaps, not the whole transfer: 6 gaps of 0.3 s pass.
    HostileCase c { "DripFasterThanIdleTimeoutArrives", [](Server &s, int fd, const std::string &) {
                       if (Server::SendAll(fd, kOk + "Content-Length: 6\r\n\r\n")) Drip(s, fd, "abcdef", 300);
                   } };
    c.ok = true;
    c.status = 200;
    c.idleTimeoutSeconds = 1;
    c.maxSeconds = 4;
    c.checkBody = [](const std::string &body) { EXPECT_EQ(body, "abcdef"); };
    return c;
}

HostileCase DripOfTheStatusLineFasterThanIdleTimeout()
{
    // Idleness is judged by bytes: a status line that takes 1.7 s to arrive, one byte every
    // 0.1 s, is not cut off by an idle time-out of 1 s.
    HostileCase c { "StatusLineDrippedFasterThanIdleTimeoutArrives", [](Server &s, int fd, const std::string &) {
                       Drip(s, fd, kOk, 100);
                       Server::SendAll(fd, "Content-Length: 2\r\n\r\nok");
                   } };
    c.ok = true;
    c.status = 200;
    c.idleTimeoutSeconds = 1;
    c.maxSeconds = 3;
    return c;
}

HostileCase DripOfTheStatusLine()
{
    HostileCase c { "StatusLineDrippedFailsWithoutStatus",
        [](Server &s, int fd, const std::string &) { Drip(s, fd, "HTTP/1.1 200 OK\r\n\r\n", 1500); } };
    c.errorHas = "no data";
    c.idleTimeoutSeconds = 1;
    c.maxSeconds = 2.5;
    return c;
}

HostileCase Raw(const char *name, std::string raw, long status, bool ok = false)
{
    HostileCase c { name, Server::Reply(std::move(raw)) };
    c.status = status;
    c.ok = ok;
    return c;
}

HostileCase TenThousandHeaders()
{
    std::string raw = kOk;
    for (int i = 0; i < 10000; ++i)
        raw += "X-Filler-" + std::to_string(i) + ": some value\r\n";
    raw += "Content-Length: 2\r\n\r\nok";
    // About 300 KB of headers in all: within what the library accepts, so the page arrives.
    HostileCase c = Raw("TenThousandHeadersStillArrive", raw, 200, true);
    c.checkBody = [](const std::string &body) { EXPECT_EQ(body, "ok"); };
    return c;
}

// Two lengths that differ leave it to guesswork which one frames the body: the response is broken.
HostileCase Lengths(const char *name, const char *lengths, bool agree)
{
    HostileCase c = Raw(name, kOk + lengths + "\r\nbody", 200, agree);
    c.errorHas = agree ? "" : "conflicting";
    c.checkBody = [agree](const std::string &body) { EXPECT_EQ(body, agree ? "body" : ""); };
    return c;
}

HostileCase EndlessHeaders()
{
    HostileCase c { "EndlessHeadersAreRefused", [](Server &s, int fd, const std::string &) {
                       if (Server::SendAll(fd, kOk)) Stream(s, fd, "X-Again: " + std::string(1000, 'h') + "\r\n");
                   } };
    c.status = 200;
    return c;
}

HostileCase RedirectToItself()
{
    HostileCase c { "RedirectToItselfNotFollowed", [](Server &s, int fd, const std::string &) {
                       Server::SendAll(fd,
                           "HTTP/1.1 302 Found\r\nLocation: " + s.url("/hostile") + "\r\nContent-Length: 0\r\n\r\n");
                   } };
    c.status = 302;
    return c;
}

HostileCase NulBody()
{
    HostileCase c = Raw(
        "BodyOfNulBytesArrivesIntact", kOk + "Content-Length: 1048576\r\n\r\n" + std::string(1048576, '\0'), 200, true);
    c.checkBody = [](const std::string &body) { EXPECT_EQ(body, std::string(1048576, '\0')); };
    return c;
}

HostileCase ResetMidTransfer()
{
    HostileCase c { "ResetMidTransfer", [](Server &s, int fd, const std::string &) {
                       Server::SendAll(fd, kOk + "Content-Length: 1000000\r\n\r\n" + std::string(100000, 'r'));
                       s.stall(100); // let the client read what was sent
                       s.resetConnection();
                   } };
    c.status = 200;
    return c;
}

HostileCase ResetBeforeAnswer()
{
    HostileCase c { "ResetBeforeAnswer", [](Server &s, int, const std::string &) { s.resetConnection(); } };
    return c;
}

INSTANTIATE_TEST_SUITE_P(Responses, HostileServer,
    ::testing::Values(EndlessBody(), LongBodyWithoutLength(), EndlessChunkedBody(), EndlessBodyCancelled(),
        DripSlowerThanIdleTimeout(), DripFasterThanIdleTimeout(), DripOfTheStatusLineFasterThanIdleTimeout(),
        DripOfTheStatusLine(), Raw("GarbageStatusLine", "garbage\r\n\r\nbody", -1),
        Raw("BinaryJunk", RandomBytes(4096, 7), -1), Raw("StatusCodeNotANumber", "HTTP/1.1 abc OK\r\n\r\n", -1),
        Raw("StatusLineOfHalfAMegabyte", "HTTP/1.1 200 " + std::string(512 * 1024, 'O') + "\r\n\r\n", -1),
        Raw("HeadersNeverEnd", kOk + "Content-Length: 2\r\n", 200), TenThousandHeaders(), EndlessHeaders(),
        Raw("ContentLengthLongerThanBody", kOk + "Content-Length: 1000\r\n\r\nshort", 200),
        Raw("ContentLengthBeyondTheCap", kOk + "Content-Length: 1000000000000\r\n\r\nx", 200),
        Raw("ContentLengthNegative", kOk + "Content-Length: -5\r\n\r\nbody", 200),
        Lengths("ContentLengthsDisagree", "Content-Length: 2\r\nContent-Length: 4\r\n", false),
        Lengths("ContentLengthListDisagrees", "Content-Length: 4, 5\r\n", false),
        Lengths("ContentLengthRepeatedAlike", "Content-Length: 4\r\ncontent-length:4\r\n", true),
        Lengths("ContentLengthListAlike", "Content-Length: 4, 4\r\n", true),
        Raw("ChunkedBreaksOff", kOk + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n10\r\nabc", 200),
        Raw("ChunkSizeNotHex", kOk + "Transfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n", 200),
        Raw("ChunkSizeOverflows", kOk + "Transfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\nx\r\n0\r\n\r\n",
            200),
        RedirectToItself(), NulBody(), ResetMidTransfer(), ResetBeforeAnswer()),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HostileServer, RedirectLoopIsNotFollowed)
{
    Server server([](Server &s, int fd, const std::string &) {
        Server::SendAll(fd, "HTTP/1.1 302 Found\r\nLocation: " + s.url("/loop") + "\r\nContent-Length: 0\r\n\r\n");
    });
    http_client::HttpClient client;
    for (int i = 0; i < 3; ++i) {
        const testhttp::Fetched r = testhttp::Fetch(client, server.url("/loop"));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, 302);
    }
    EXPECT_EQ(server.requests().size(), 3u) << "one request per download, none followed";
}

} // namespace
