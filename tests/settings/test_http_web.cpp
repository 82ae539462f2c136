// The web mode against servers on 127.0.0.1: https checked against a test CA, redirects,
// compression, cookies along the way, the proxy of the environment; and the plain mode after it.
#include "settings/http_client.h"
#include "support/http_fetch.h"

#include "support/http_test_server.h"
#include "support/tls_test_server.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

using testhttp::Server;

std::string Reply(std::string_view head, std::string_view body)
{
    return "HTTP/1.1 " + std::string(head) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n"
        + std::string(body);
}

const std::string kGzipped(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\x29\xb0\x4b\xce\xcf\x2d\x28\x4a\x2d\x2e\x4e\x4d"
    "\x51\x28\x48\x4c\x4f\xb5\xd1\x2f\xb0\xb3\x21\x41\x14\x00\x1d\xa2\xeb\xde\x42\x00\x00\x00",
    45);

// /hop/N/M redirects to /hop/N+1/M until N reaches M; every other path names itself.
std::string Route(const std::string &request, const std::string &secureUrl)
{
    const std::string path = request.substr(4, request.find(' ', 4) - 4);
    int hop = 0, last = 0;
    if (std::sscanf(path.c_str(), "/hop/%d/%d", &hop, &last) == 2 && hop < last)
        return Reply("302 Found\r\nLocation: /hop/" + std::to_string(hop + 1) + "/" + std::to_string(last), "");
    if (path == "/to-https") return Reply("301 Moved\r\nLocation: " + secureUrl, "");
    if (path == "/a/b/start") return Reply("302 Found\r\nLocation: ../c/page", "");
    if (path == "/to-file") return Reply("302 Found\r\nLocation: file:///etc/passwd", "");
    if (path == "/login") return Reply("302 Found\r\nSet-Cookie: session=abc; Path=/\r\nLocation: /after", "");
    if (path == "/after")
        return Reply("200 OK", request.find("\r\nCookie: session=abc\r\n") != std::string::npos ? "with cookie" : "");
    if (path == "/gzip") return Reply("200 OK\r\nContent-Encoding: gzip", kGzipped);
    return Reply("200 OK", "page at " + path);
}

TEST(WebMode, RedirectsHttpsAndFailures)
{
    const testtls::TestCa ca;
    ::unsetenv("CURL_CA_BUNDLE"); // it would win over SSL_CERT_FILE, as it does for curl
    ::setenv("SSL_CERT_FILE", ca.bundle.c_str(), 1);
    const std::string ok = Reply("200 OK", "secure");
    const testtls::Server secure(ca, "IP:127.0.0.1", -60, 3600, ok), wrongHost(ca, "DNS:wrong.example", -60, 3600, ok),
        expired(ca, "IP:127.0.0.1", -7200, -3600, ok);
    const std::string secureUrl = secure.url("/page");
    Server plain([&](Server &, int fd, const std::string &request) { Server::SendAll(fd, Route(request, secureUrl)); });
    const struct {
        std::string url;
        long status; // 200: ok
        std::string finalUrlOrError; // the final address when ok, a part of the reason otherwise
        std::string body;
    } cases[] = {
        { secureUrl, 200, secureUrl, "secure" },
        { plain.url("/to-https"), 200, secureUrl, "secure" },
        { plain.url("/a/b/start"), 200, plain.url("/a/c/page"), "page at /a/c/page" },
        { plain.url("/hop/0/10"), 200, plain.url("/hop/10/10"), "page at /hop/10/10" },
        { plain.url("/hop/0/11"), 302, "redirects", "" },
        { plain.url("/to-file"), 302, "file", "" },
        { plain.url("/login"), 200, plain.url("/after"), "with cookie" },
        { plain.url("/gzip"), 200, plain.url("/gzip"),
            "<p>compressed page</p><p>compressed page</p><p>compressed page</p>" },
        { wrongHost.url(), -1, "127.0.0.1", "" },
        { expired.url(), -1, "expired", "" },
    };
    for (const auto &c : cases) {
        http_client::HttpClient client;
        const testhttp::Fetched r = testhttp::Fetch(client, c.url, {}, http_client::Mode::Web);
        EXPECT_EQ(r.ok, c.status == 200) << c.url << ": " << r.error;
        EXPECT_EQ(r.status, c.status) << c.url;
        const std::string &detail = r.ok ? r.finalUrl : r.error;
        EXPECT_NE(detail.find(c.finalUrlOrError), std::string::npos) << c.url << ": " << detail;
        EXPECT_EQ(r.body, c.body) << c.url;
    }
    ::unsetenv("SSL_CERT_FILE");
    http_client::HttpClient fresh;
    const testhttp::Fetched system = testhttp::Fetch(fresh, secureUrl, {}, http_client::Mode::Web);
    EXPECT_NE(system.error.find("certificate"), std::string::npos) << "the test CA is not in the system's store";
}

TEST(WebMode, RequestNamesTheProgramAndTheProxyAndThePlainModeStaysAsItWas)
{
    Server server([](Server &, int fd, const std::string &request) {
        Server::SendAll(
            fd, request.rfind("GET / ", 0) == 0 ? Reply("301 Moved\r\nLocation: /x", "") : Reply("200 OK", ""));
    });
    http_client::HttpClient client;
    EXPECT_TRUE(testhttp::Fetch(client, server.url("/"), {}, http_client::Mode::Web).ok);
    EXPECT_EQ(testhttp::Fetch(client, server.url("/")).status, 301);
    ::setenv("http_proxy", server.url("").c_str(), 1);
    EXPECT_TRUE(testhttp::Fetch(client, "http://lanzo.invalid/via", {}, http_client::Mode::Web).ok);
    EXPECT_FALSE(testhttp::Fetch(client, "http://lanzo.invalid/via").ok) << "the plain mode uses no proxy";
    ::unsetenv("http_proxy");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_NE(requests[0].find("\r\nUser-Agent: " + http_client::WebUserAgent() + "\r\n"), std::string::npos)
        << requests[0];
    EXPECT_NE(requests[0].find("\r\nAccept-Encoding: deflate, gzip"), std::string::npos) << requests[0];
    EXPECT_EQ(requests[2].find("Accept-Encoding"), std::string::npos) << requests[2];
    EXPECT_NE(requests[2].find("Indy Library"), std::string::npos) << requests[2];
    EXPECT_EQ(requests[3].rfind("GET http://lanzo.invalid/via HTTP/1.1\r\n", 0), 0u) << requests[3];
}

} // namespace
