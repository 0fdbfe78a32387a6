// The fleet bench's TLS scrapes: a throw-away CA and server certificate made with openssl, a bcrypt hash of
// htpasswd's cost 10, the collector's web config naming them, and GET /metrics over TLS with basic auth from
// a GnuTLS client, as Prometheus scrapes with scheme https, tls_config.ca_file and basic_auth.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/fleet_probe.h"

namespace tavrel::bench {

class TlsScraper {
public:
    // Makes the certificates and the hash under dir; webConfig() is empty when that failed.
    explicit TlsScraper(const std::filesystem::path& dir);
    ~TlsScraper();
    TlsScraper(const TlsScraper&) = delete;
    TlsScraper& operator=(const TlsScraper&) = delete;

    // The web config text (tls_server_config and basic_auth_users) to write beside the certificates.
    const std::string& webConfig() const { return m_webConfig; }
    // One scrape on a new connection (handshake included), from connecting to the last byte.
    Scrape scrape(std::uint16_t port) const;

private:
    struct Credentials;
    std::unique_ptr<Credentials> m_credentials;
    std::string m_authorization; // "Basic ..." header value
    std::string m_webConfig;
};

} // namespace tavrel::bench
