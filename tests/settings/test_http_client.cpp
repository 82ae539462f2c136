#include "settings/http_client.h"
#include "support/http_fetch.h"

#include "support/http_test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace
{

using testhttp::Server;

std::string Response(std::string_view statusLine, std::string_view headers, std::string_view body)
{
    std::string out(statusLine);
    out += "\r\n";
    out += headers;
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out += body;
    return out;
}

struct ResponseCase {
    const char *name;
    std::string raw;
    bool ok;
    long status;
    std::string body; // checked only when ok
};

void PrintTo(const ResponseCase &c, std::ostream *os)
{
    *os << c.name;
}

class HttpResponses : public ::testing::TestWithParam<ResponseCase>
{
};

TEST_P(HttpResponses, SuccessOnlyFor2xxWithoutLocation)
{
    const ResponseCase &c = GetParam();
    Server server(Server::Reply(c.raw));
    http_client::HttpClient client;
    const testhttp::Fetched r = testhttp::Fetch(client, server.url("/page.html"));
    EXPECT_EQ(r.ok, c.ok) << r.error;
    EXPECT_EQ(r.status, c.status);
    if (c.ok)
        EXPECT_EQ(r.body, c.body);
    else
        EXPECT_FALSE(r.error.empty());
}

INSTANTIATE_TEST_SUITE_P(Statuses, HttpResponses,
    ::testing::Values(ResponseCase { "BodyWithLoneLfKeptAsSent", Response("HTTP/1.1 200 OK", "", "a\nb\n\rc\r\n"), true,
                          200, "a\nb\n\rc\r\n" },
        ResponseCase { "NulBytesIntact", Response("HTTP/1.1 200 OK", "", std::string("x\0y\0", 4)), true, 200,
            std::string("x\0y\0", 4) },
        ResponseCase {
            "BodyWithoutContentLengthEndsAtClose", "HTTP/1.1 200 OK\r\n\r\nuntil close", true, 200, "until close" },
        ResponseCase { "NoContent", "HTTP/1.1 204 No Content\r\n\r\n", true, 204, "" },
        ResponseCase { "NotFound", Response("HTTP/1.1 404 Not Found", "", "missing"), false, 404, "" },
        ResponseCase { "RedirectNotFollowed",
            Response("HTTP/1.1 302 Found", "Location: http://127.0.0.1:1/\r\n", "moved"), false, 302, "" },
        ResponseCase { "NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", false, 304, "" },
        ResponseCase {
            "OkWithLocationFails", Response("HTTP/1.1 200 OK", "location: /elsewhere\r\n", "x"), false, 200, "" },
        ResponseCase { "LocationOfInterimResponseForgotten",
            "HTTP/1.1 100 Continue\r\nLocation: /x\r\n\r\n" + Response("HTTP/1.1 200 OK", "", "fine"), true, 200,
            "fine" },
        ResponseCase { "ServerError", Response("HTTP/1.1 500 Internal Server Error", "", "oops"), false, 500, "" },
        ResponseCase { "GarbageStatusLine", "garbage\r\n\r\n", false, -1, "" },
        ResponseCase { "ClosedWithoutAnswer", "", false, -1, "" },
        ResponseCase { "BodyCutShort", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this", false, 200, "" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HttpClient, SendsTheProgramsRequestHeaders)
{
    Server server(Server::Reply(Response("HTTP/1.1 200 OK", "", "ok")));
    http_client::HttpClient client;
    ASSERT_TRUE(testhttp::Fetch(client, server.url("/dir/a.html?q=1")).ok);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string &req = requests[0];
    EXPECT_EQ(req.rfind("GET /dir/a.html?q=1 HTTP/1.1\r\n", 0), 0u) << req;
    EXPECT_NE(req.find("\r\nAccept: text/html, */*\r\n"), std::string::npos) << req;
    EXPECT_NE(req.find("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"), std::string::npos) << req;
    EXPECT_NE(req.find("\r\nContent-Type: text/html\r\n"), std::string::npos) << req;
    EXPECT_EQ(req.find("Content-Length"), std::string::npos) << req;
    EXPECT_EQ(req.find("Expect:"), std::string::npos) << req;
    EXPECT_EQ(req.find("Accept: */*"), std::string::npos) << "the library's own Accept must be replaced";
}

TEST(HttpClient, CookiesStayWithTheirClient)
{
    Server server([](Server &, int fd, const std::string &request) {
        if (request.rfind("GET /login", 0) == 0)
            Server::SendAll(fd, Response("HTTP/1.1 200 OK", "Set-Cookie: session=abc; Path=/\r\n", "in"));
        else
            Server::SendAll(fd, Response("HTTP/1.1 200 OK", "", "page"));
    });
    http_client::HttpClient first, second;
    ASSERT_TRUE(testhttp::Fetch(first, server.url("/login")).ok);
    ASSERT_TRUE(testhttp::Fetch(first, server.url("/next")).ok);
    ASSERT_TRUE(testhttp::Fetch(second, server.url("/next")).ok);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[1].find("\r\nCookie: session=abc\r\n"), std::string::npos) << requests[1];
    EXPECT_EQ(requests[2].find("Cookie:"), std::string::npos) << requests[2];
}

TEST(HttpClient, ClosesTheConnectionAfterEachRequest)
{
    std::atomic<bool> closedByClient { false };
    Server server([&closedByClient](Server &, int fd, const std::string &) {
        Server::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: keep-alive\r\n\r\nok");
        // Wait for the client to hang up although the server offered to keep the connection.
        for (int i = 0; i < 100 && !closedByClient; ++i) {
            pollfd p { fd, POLLIN, 0 };
            char c;
            if (::poll(&p, 1, 20) > 0 && ::recv(fd, &c, 1, 0) <= 0) closedByClient = true;
        }
    });
    http_client::HttpClient client;
    ASSERT_TRUE(testhttp::Fetch(client, server.url()).ok);
    for (int i = 0; i < 100 && !closedByClient; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(closedByClient);
}

TEST(HttpClient, FailuresWithoutAnyStatusLineReportMinusOne)
{
    Server served(Server::Reply(Response("HTTP/1.1 200 OK", "", "ok")));
    // A port that was just free: nothing listens there.
    int freePort;
    {
        Server probe(Server::Reply(""));
        freePort = probe.port();
    }
    http_client::HttpClient client;
    ASSERT_TRUE(testhttp::Fetch(client, served.url()).ok); // an earlier status must not leak into a later failure

    const std::string urls[] = {
        "https://127.0.0.1:" + std::to_string(served.port()) + "/",
        "ftp://127.0.0.1:" + std::to_string(served.port()) + "/",
        "http://127.0.0.1:" + std::to_string(freePort) + "/",
        "",
        std::string("http://127.0.0.1/\0x", 19),
    };
    for (const std::string &url : urls) {
        const testhttp::Fetched r = testhttp::Fetch(client, url);
        EXPECT_FALSE(r.ok) << url;
        EXPECT_EQ(r.status, -1) << url;
        EXPECT_FALSE(r.error.empty()) << url;
    }
    EXPECT_EQ(served.requests().size(), 1u) << "https and ftp must not reach the plain server";
}

TEST(HttpClient, StalledServerEndsAtTheIdleTimeout)
{
    const struct {
        std::string sentBeforeStall;
        long status;
    } cases[] = {
        { "", -1 }, // accepts the connection, never answers
        { "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst part", 200 },
    };
    for (const auto &c : cases) {
        Server server([&c](Server &s, int fd, const std::string &) {
            Server::SendAll(fd, c.sentBeforeStall);
            s.stall(5000);
        });
        http_client::Limits limits;
        limits.idleTimeoutSeconds = 1;
        http_client::HttpClient client(limits);
        const auto start = std::chrono::steady_clock::now();
        const testhttp::Fetched r = testhttp::Fetch(client, server.url());
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.error.find("no data"), std::string::npos) << r.error;
        EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    }
}

TEST(HttpClient, BodyCapEndsTheTransfer)
{
    const std::string big(5000, 'x');
    const std::string raws[] = {
        Response("HTTP/1.1 200 OK", "", big), // declared up front
        "HTTP/1.1 200 OK\r\n\r\n" + big, // only known while it arrives
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1388\r\n" + big + "\r\n0\r\n\r\n",
    };
    http_client::Limits limits;
    limits.maxBodyBytes = 1000;
    for (const std::string &raw : raws) {
        Server server(Server::Reply(raw));
        http_client::HttpClient client(limits);
        const testhttp::Fetched r = testhttp::Fetch(client, server.url());
        EXPECT_FALSE(r.ok) << raw.substr(0, 40);
        EXPECT_TRUE(r.body.empty());
        EXPECT_NE(r.error.find("larger"), std::string::npos) << r.error;
    }
    // Exactly at the cap is still fine.
    Server server(Server::Reply(Response("HTTP/1.1 200 OK", "", std::string(1000, 'y'))));
    http_client::HttpClient client(limits);
    EXPECT_TRUE(testhttp::Fetch(client, server.url()).ok);
}

TEST(HttpClient, TickKeepsComingAndCancels)
{
    Server server([](Server &s, int fd, const std::string &) {
        Server::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
        s.stall(5000);
    });
    http_client::HttpClient client;
    int ticks = 0;
    const auto start = std::chrono::steady_clock::now();
    const testhttp::Fetched r = testhttp::Fetch(client, server.url(), [&ticks] { return ++ticks < 6; });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ticks, 6);
    EXPECT_EQ(r.error, "cancelled");
    // Ticks come every few dozen milliseconds even though the server sends nothing.
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));

    // The same client works again afterwards.
    Server next(Server::Reply(Response("HTTP/1.1 200 OK", "", "again")));
    const testhttp::Fetched again = testhttp::Fetch(client, next.url());
    EXPECT_TRUE(again.ok) << again.error;
    EXPECT_EQ(again.body, "again");
}

TEST(HttpClient, NewsUrlFollowsTheEnvironment)
{
    ::unsetenv("LANZO_NEWS_URL");
    const std::string fixed = http_client::NewsUrl();
    EXPECT_EQ(fixed.rfind("http://", 0), 0u);
    EXPECT_EQ(fixed.substr(fixed.size() - 8), "/new.txt");
    ::setenv("LANZO_NEWS_URL", "http://127.0.0.1:9/new.txt", 1);
    EXPECT_EQ(http_client::NewsUrl(), "http://127.0.0.1:9/new.txt");
    ::setenv("LANZO_NEWS_URL", "", 1);
    EXPECT_EQ(http_client::NewsUrl(), fixed);
    ::unsetenv("LANZO_NEWS_URL");
}

} // namespace
