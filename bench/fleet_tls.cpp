// openssl through the shell for the material (as an operator makes it), libxcrypt for the hash, GnuTLS for
// the client side of the scrape.
#include "bench/fleet_tls.h"

#include <chrono>
#include <crypt.h>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <gnutls/gnutls.h>

#include "platform/socket.h"

namespace tavrel::bench {
namespace {

constexpr const char* kUser = "prometheus";
constexpr const char* kPassword = "bench-secret";

std::string base64(const std::string& text) {
    const gnutls_datum_t data{reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
                              static_cast<unsigned>(text.size())};
    gnutls_datum_t encoded{};
    if (gnutls_base64_encode2(&data, &encoded) != GNUTLS_E_SUCCESS)
        return {};
    std::string result(reinterpret_cast<const char*>(encoded.data), encoded.size);
    gnutls_free(encoded.data);
    return result;
}

} // namespace

struct TlsScraper::Credentials {
    gnutls_certificate_credentials_t value = nullptr;
    ~Credentials() {
        if (value)
            gnutls_certificate_free_credentials(value);
    }
};

TlsScraper::TlsScraper(const std::filesystem::path& dir) : m_credentials(std::make_unique<Credentials>()) {
    const std::string d = dir.string();
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string commands =
        "cd '" + d + "' && openssl req -x509" + ec +
        " -keyout ca.key -out ca.pem -days 2 -subj /CN=bench-ca && " + "openssl req" + ec +
        " -keyout server.key -out server.csr -subj /CN=127.0.0.1 && " +
        "printf 'subjectAltName=IP:127.0.0.1\\n' > server.ext && " +
        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 " +
        "-extfile server.ext";
    if (std::system(("(" + commands + ") >/dev/null 2>&1").c_str()) != 0)
        return;
    crypt_data data{};
    const char* setting = crypt_gensalt_rn("$2y$", 10, nullptr, 0, data.setting, sizeof data.setting);
    const char* hash = setting ? crypt_rn(kPassword, setting, &data, sizeof data) : nullptr;
    if (!hash || gnutls_certificate_allocate_credentials(&m_credentials->value) != GNUTLS_E_SUCCESS ||
        gnutls_certificate_set_x509_trust_file(m_credentials->value, (d + "/ca.pem").c_str(),
                                               GNUTLS_X509_FMT_PEM) <= 0)
        return;
    m_authorization = "Basic " + base64(std::string(kUser) + ":" + kPassword);
    m_webConfig =
        "tls_server_config:\n  cert_file: server.pem\n  key_file: server.key\nbasic_auth_users:\n  " +
        std::string(kUser) + ": '" + hash + "'\n";
}

TlsScraper::~TlsScraper() = default;

Scrape TlsScraper::scrape(std::uint16_t port) const {
    const auto start = std::chrono::steady_clock::now();
    Socket socket = Socket::tcp();
    sockaddr_in server{};
    if (!m_credentials->value || !makeIPv4Address("127.0.0.1", port, server) ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
        return {};
    socket.setOption(IPPROTO_TCP, TCP_NODELAY, 1); // as Go's HTTP client, which Prometheus scrapes with
    gnutls_session_t session = nullptr;
    gnutls_init(&session, GNUTLS_CLIENT);
    gnutls_set_default_priority(session);
    gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, m_credentials->value);
    gnutls_session_set_verify_cert(session, nullptr, 0); // the chain to the bench's CA
    gnutls_transport_set_int(session, socket.fd());
    gnutls_handshake_set_timeout(session, 5000);
    int result = 0;
    do
        result = gnutls_handshake(session);
    while (result < 0 && gnutls_error_is_fatal(result) == 0);
    std::string answer;
    if (result == GNUTLS_E_SUCCESS) {
        const std::string request =
            "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " + m_authorization +
            "\r\nConnection: close\r\n\r\n";
        gnutls_record_send(session, request.data(), request.size());
        char buffer[65536];
        for (;;) {
            const ssize_t got = gnutls_record_recv(session, buffer, sizeof buffer);
            if (got == GNUTLS_E_AGAIN || got == GNUTLS_E_INTERRUPTED)
                continue;
            if (got <= 0)
                break;
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    gnutls_deinit(session);
    return parseScrape(answer, start);
}

} // namespace tavrel::bench
