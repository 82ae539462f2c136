// The web mode against servers on 127.0.0.1: https checked against a test CA, redirects,
// compression, cookies along the way, the proxy of the environment; and the plain mode after it.
#include "settings/http_client.h"

#include "http_test_server.h"
#include "tls_test_server.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

std::string Reply(std::string_view head, std::string_view body)
{
    return "HTTP/1.1 " + std::string(head) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n"
        + std::string(body);
}

const std::string kGzipped(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\x29\xb0\x4b\xce\xcf\x2d\x28\x4a\x2d\x2e\x4e\x4d"
    "\x51\x28\x48\x4c\x4f\xb5\xd1\x2f\xb0\xb3\x21\x41\x14\x00\x1d\xa2\xeb\xde\x42\x00\x00\x00",
    45);

class WebMode : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_ca = new testtls::TestCa;
        s_secure = new testtls::Server(s_ca->issue("IP:127.0.0.1"),
            [](const std::string &) { return Reply("200 OK\r\nContent-Type: text/html; charset=utf-8", "secure"); });
        s_wrongHost = new testtls::Server(
            s_ca->issue("DNS:wrong.example"), [](const std::string &) { return Reply("200 OK", "x"); });
        s_expired = new testtls::Server(
            s_ca->issue("IP:127.0.0.1", -7200, -3600), [](const std::string &) { return Reply("200 OK", "x"); });
        s_plain = new testhttp::Server([](testhttp::Server &s, int fd, const std::string &request) {
            testhttp::Server::SendAll(fd, Route(s, request));
        });
    }
    static void TearDownTestSuite()
    {
        delete s_plain;
        delete s_expired;
        delete s_wrongHost;
        delete s_secure;
        delete s_ca;
    }
    // CURL_CA_BUNDLE would win over SSL_CERT_FILE, as it does for curl.
    void SetUp() override
    {
        ::unsetenv("CURL_CA_BUNDLE");
        ::setenv("SSL_CERT_FILE", s_ca->bundle().c_str(), 1);
    }

    // /hop/N/M redirects to /hop/N+1/M until N reaches M.
    static std::string Route(testhttp::Server &s, const std::string &request)
    {
        const std::string path = request.substr(4, request.find(' ', 4) - 4);
        int hop = 0, last = 0;
        if (std::sscanf(path.c_str(), "/hop/%d/%d", &hop, &last) == 2 && hop < last)
            return Reply("302 Found\r\nLocation: /hop/" + std::to_string(hop + 1) + "/" + std::to_string(last), "");
        if (path == "/to-https") return Reply("301 Moved\r\nLocation: " + s_secure->url("/page"), "");
        if (path == "/a/b/start") return Reply("302 Found\r\nLocation: ../c/page", "");
        if (path == "/to-file") return Reply("302 Found\r\nLocation: file:///etc/passwd", "");
        if (path == "/login") return Reply("302 Found\r\nSet-Cookie: session=abc; Path=/\r\nLocation: /after", "");
        if (path == "/after")
            return Reply(
                "200 OK", request.find("\r\nCookie: session=abc\r\n") != std::string::npos ? "with cookie" : "none");
        if (path == "/gzip") return Reply("200 OK\r\nContent-Encoding: gzip", kGzipped);
        return Reply("200 OK", "page at " + path);
    }

    static inline testtls::TestCa *s_ca = nullptr;
    static inline testtls::Server *s_secure = nullptr, *s_wrongHost = nullptr, *s_expired = nullptr;
    static inline testhttp::Server *s_plain = nullptr;
};

TEST_F(WebMode, RedirectsHttpsAndFailures)
{
    struct Case {
        std::string url;
        bool ok;
        long status;
        std::string finalUrlOrError; // the final address when ok, a part of the reason otherwise
        std::string body;
    };
    const Case cases[] = {
        { s_secure->url("/page"), true, 200, s_secure->url("/page"), "secure" },
        { s_plain->url("/to-https"), true, 200, s_secure->url("/page"), "secure" },
        { s_plain->url("/a/b/start"), true, 200, s_plain->url("/a/c/page"), "page at /a/c/page" },
        { s_plain->url("/hop/0/10"), true, 200, s_plain->url("/hop/10/10"), "page at /hop/10/10" },
        { s_plain->url("/hop/0/11"), false, 302, "redirects", "" },
        { s_plain->url("/to-file"), false, 302, "file", "" },
        { s_plain->url("/login"), true, 200, s_plain->url("/after"), "with cookie" },
        { s_plain->url("/gzip"), true, 200, s_plain->url("/gzip"),
            "<p>compressed page</p><p>compressed page</p><p>compressed page</p>" },
        { s_wrongHost->url(), false, -1, "127.0.0.1", "" },
        { s_expired->url(), false, -1, "expired", "" },
    };
    for (const Case &c : cases) {
        http::HttpClient client;
        const http::Result r = client.Get(c.url, {}, http::Mode::Web);
        EXPECT_EQ(r.ok, c.ok) << c.url << ": " << r.error;
        EXPECT_EQ(r.status, c.status) << c.url;
        if (c.ok) {
            EXPECT_EQ(r.finalUrl, c.finalUrlOrError) << c.url;
            EXPECT_EQ(r.body, c.body) << c.url;
        } else {
            EXPECT_NE(r.error.find(c.finalUrlOrError), std::string::npos) << c.url << ": " << r.error;
        }
    }
}

TEST_F(WebMode, CertificatesAreCheckedAgainstTheNamedBundleOnly)
{
    ::unsetenv("SSL_CERT_FILE");
    http::HttpClient client;
    const http::Result system = client.Get(s_secure->url(), {}, http::Mode::Web);
    EXPECT_FALSE(system.ok) << "the test CA is not in the system's store";
    EXPECT_NE(system.error.find("certificate"), std::string::npos) << system.error;
    ::setenv("CURL_CA_BUNDLE", s_ca->bundle().c_str(), 1);
    EXPECT_TRUE(client.Get(s_secure->url(), {}, http::Mode::Web).ok);
    ::unsetenv("CURL_CA_BUNDLE");
}

TEST_F(WebMode, RequestNamesTheProgramAndThePlainModeStaysAsItWas)
{
    testhttp::Server server([](testhttp::Server &, int fd, const std::string &request) {
        testhttp::Server::SendAll(fd,
            request.rfind("GET / ", 0) == 0 ? Reply("301 Moved\r\nLocation: /elsewhere", "") : Reply("200 OK", "x"));
    });
    http::HttpClient client;
    EXPECT_TRUE(client.Get(server.url("/"), {}, http::Mode::Web).ok);
    const http::Result plain = client.Get(server.url("/"));
    EXPECT_FALSE(plain.ok);
    EXPECT_EQ(plain.status, 301);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[0].find("\r\nUser-Agent: " + http::WebUserAgent() + "\r\n"), std::string::npos) << requests[0];
    EXPECT_NE(requests[0].find("\r\nAccept-Encoding: deflate, gzip"), std::string::npos) << requests[0];
    EXPECT_EQ(requests[2].find("Accept-Encoding"), std::string::npos) << requests[2];
    EXPECT_NE(requests[2].find("Indy Library"), std::string::npos) << requests[2];
}

TEST_F(WebMode, ProxyFromTheEnvironmentInTheWebModeOnly)
{
    ::setenv("http_proxy", s_plain->url("").c_str(), 1);
    http::HttpClient client;
    const http::Result web = client.Get("http://lanzo.invalid/via", {}, http::Mode::Web);
    const http::Result plain = client.Get("http://lanzo.invalid/via");
    ::unsetenv("http_proxy");
    EXPECT_TRUE(web.ok) << web.error;
    EXPECT_EQ(web.body, "page at http://lanzo.invalid/via");
    EXPECT_FALSE(plain.ok) << "the plain mode uses no proxy";
}

} // namespace
