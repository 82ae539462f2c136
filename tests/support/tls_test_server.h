#pragma once
// An HTTPS server on 127.0.0.1 for the web-mode tests, its certificate made on the spot and
// signed by a test CA whose PEM file SSL_CERT_FILE can name. Each connection gets the handshake
// and, after its request, the fixed reply; a client that refuses the certificate hangs up.
#include "support/loopback_listener.h"

#include <atomic>
#include <csignal>
#include <memory>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace testtls
{

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

// A certificate valid from..until seconds from now: a CA's own when ca is null, otherwise one
// for altName ("IP:127.0.0.1") signed by ca.
inline Cert MakeCert(
    EVP_PKEY *key, long from, long until, X509 *ca = nullptr, EVP_PKEY *caKey = nullptr, const char *altName = nullptr)
{
    static int serial = 0;
    Cert x(X509_new(), X509_free);
    X509_set_version(x.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x.get()), ++serial);
    X509_gmtime_adj(X509_getm_notBefore(x.get()), from);
    X509_gmtime_adj(X509_getm_notAfter(x.get()), until);
    X509_set_pubkey(x.get(), key);
    const auto *cn = reinterpret_cast<const unsigned char *>(ca ? "Lanzo test server" : "Lanzo test CA");
    X509_NAME_add_entry_by_txt(X509_get_subject_name(x.get()), "CN", MBSTRING_ASC, cn, -1, -1, 0);
    X509_set_issuer_name(x.get(), X509_get_subject_name(ca ? ca : x.get()));
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, ca ? ca : x.get(), x.get(), nullptr, nullptr, 0);
    X509_EXTENSION *ext = ca ? X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, altName)
                             : X509V3_EXT_conf_nid(nullptr, &ctx, NID_basic_constraints, "critical,CA:TRUE");
    X509_add_ext(x.get(), ext, -1);
    X509_EXTENSION_free(ext);
    X509_sign(x.get(), ca ? caKey : key, EVP_sha256());
    return x;
}

struct TestCa {
    Key key { EVP_EC_gen("P-256"), EVP_PKEY_free };
    Cert cert = MakeCert(key.get(), -3600, 86400);
    std::string bundle = [this] {
        char path[] = "/tmp/lanzo-test-ca-XXXXXX";
        FILE *f = ::fdopen(::mkstemp(path), "w");
        PEM_write_X509(f, cert.get());
        std::fclose(f);
        return std::string(path);
    }();
    ~TestCa() { ::unlink(bundle.c_str()); }
};

class Server
{
public:
    Server(const TestCa &ca, const char *altName, long from, long until, std::string reply)
        : m_reply(std::move(reply))
    {
        ::signal(SIGPIPE, SIG_IGN); // a client that refused the certificate has hung up
        const Cert cert = MakeCert(m_key.get(), from, until, ca.cert.get(), ca.key.get(), altName);
        SSL_CTX_use_certificate(m_ctx.get(), cert.get());
        SSL_CTX_use_PrivateKey(m_ctx.get(), m_key.get());
        m_listen = loopback_listener::Listen(m_port);
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
            const int fd = ::accept(m_listen, nullptr, nullptr);
            const timeval limit { 5, 0 };
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            SSL *ssl = SSL_new(m_ctx.get());
            SSL_set_fd(ssl, fd);
            std::string request(4096, '\0');
            if (SSL_accept(ssl) == 1 && SSL_read(ssl, request.data(), int(request.size())) > 0) {
                SSL_write(ssl, m_reply.data(), static_cast<int>(m_reply.size()));
                SSL_shutdown(ssl);
            }
            SSL_free(ssl);
            ::close(fd);
        }
    }

    Key m_key { EVP_EC_gen("P-256"), EVP_PKEY_free };
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> m_ctx { SSL_CTX_new(TLS_server_method()), SSL_CTX_free };
    std::string m_reply;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

} // namespace testtls
