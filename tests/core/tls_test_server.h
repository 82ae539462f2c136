#pragma once
// An HTTPS server on 127.0.0.1 for the web-mode tests, with certificates made on the spot: a
// test CA (its PEM file is what SSL_CERT_FILE names) and server certificates it signs. Each
// connection gets the handshake, has its request read up to the blank line and gets the
// responder's bytes; a client that refuses the certificate simply ends the handshake.
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace testtls
{

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

struct Identity {
    Key key { nullptr, EVP_PKEY_free };
    Cert cert { nullptr, X509_free };
};

// A certificate for cn with the given extensions, valid from..until seconds from now, signed
// by issuer (itself when null).
inline Identity MakeIdentity(const char *cn, const char *altName, long from, long until, const Identity *issuer)
{
    Identity id;
    id.key.reset(EVP_EC_gen("P-256"));
    id.cert.reset(X509_new());
    X509 *x = id.cert.get();
    X509_set_version(x, 2);
    static int serial = 1;
    ASN1_INTEGER_set(X509_get_serialNumber(x), ++serial);
    X509_gmtime_adj(X509_getm_notBefore(x), from);
    X509_gmtime_adj(X509_getm_notAfter(x), until);
    X509_set_pubkey(x, id.key.get());
    X509_NAME_add_entry_by_txt(
        X509_get_subject_name(x), "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>(cn), -1, -1, 0);
    X509 *signer = issuer ? issuer->cert.get() : x;
    X509_set_issuer_name(x, X509_get_subject_name(signer));
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, signer, x, nullptr, nullptr, 0);
    const std::pair<int, const char *> extensions[]
        = { { NID_basic_constraints, issuer ? "CA:FALSE" : "critical,CA:TRUE" },
              { NID_key_usage, issuer ? "digitalSignature" : "critical,keyCertSign,cRLSign" },
              { NID_subject_key_identifier, "hash" }, { NID_subject_alt_name, altName } };
    for (const auto &[nid, value] : extensions) {
        if (!value) continue;
        if (X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value)) {
            X509_add_ext(x, ext, -1);
            X509_EXTENSION_free(ext);
        }
    }
    X509_sign(x, issuer ? issuer->key.get() : id.key.get(), EVP_sha256());
    return id;
}

// The test CA and its PEM file.
class TestCa
{
public:
    TestCa()
        : m_ca(MakeIdentity("Lanzo Test CA", nullptr, -3600, 86400, nullptr))
    {
        char path[] = "/tmp/lanzo-test-ca-XXXXXX";
        const int fd = ::mkstemp(path);
        m_bundle = path;
        FILE *f = ::fdopen(fd, "w");
        PEM_write_X509(f, m_ca.cert.get());
        std::fclose(f);
    }
    ~TestCa() { ::unlink(m_bundle.c_str()); }
    const std::string &bundle() const { return m_bundle; }
    Identity issue(const char *altName, long from = -3600, long until = 86400) const
    {
        return MakeIdentity("Lanzo test server", altName, from, until, &m_ca);
    }

private:
    Identity m_ca;
    std::string m_bundle;
};

class Server
{
public:
    using Responder = std::function<std::string(const std::string &request)>;

    Server(const Identity &identity, Responder responder)
        : m_ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free)
        , m_responder(std::move(responder))
    {
        ::signal(SIGPIPE, SIG_IGN); // a client that refused the certificate has hung up
        SSL_CTX_use_certificate(m_ctx.get(), identity.cert.get());
        SSL_CTX_use_PrivateKey(m_ctx.get(), identity.key.get());
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        ::listen(m_listen, 8);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~Server()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    std::string url(const std::string &path = "/") const
    {
        return "https://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    void Serve()
    {
        while (!m_stop) {
            pollfd p { m_listen, POLLIN, 0 };
            if (::poll(&p, 1, 20) <= 0) continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            const timeval limit { 5, 0 };
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            SSL *ssl = SSL_new(m_ctx.get());
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) == 1) {
                std::string request;
                char buffer[4096];
                int n = 0;
                while (request.find("\r\n\r\n") == std::string::npos && (n = SSL_read(ssl, buffer, sizeof buffer)) > 0)
                    request.append(buffer, static_cast<std::size_t>(n));
                const std::string response = m_responder(request);
                SSL_write(ssl, response.data(), static_cast<int>(response.size()));
                SSL_shutdown(ssl);
            }
            SSL_free(ssl);
            ::close(fd);
        }
    }

    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> m_ctx;
    Responder m_responder;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

} // namespace testtls
