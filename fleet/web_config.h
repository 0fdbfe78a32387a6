// The web configuration file of Prometheus exporters (the file behind --web.config.file): TLS, basic-auth
// users and extra answer headers, read with yaml-cpp and checked field by field so that a refusal names the
// field.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavrel {

// client_auth_type, in the exporter toolkit's names.
enum class ClientAuth {
    NoClientCert,
    RequestClientCert,
    RequireAnyClientCert,
    VerifyClientCertIfGiven,
    RequireAndVerifyClientCert
};

struct WebTls {
    std::string certPem;
    std::string keyPem;
    std::string clientCaPem; // empty: no client certificates are asked for
    ClientAuth clientAuth = ClientAuth::NoClientCert;
    std::string priorities; // GnuTLS priority string holding min_version..max_version
};

struct WebConfig {
    std::optional<WebTls> tls;                // empty: plain HTTP
    std::map<std::string, std::string> users; // user name to bcrypt hash; empty: no basic auth
    std::vector<std::pair<std::string, std::string>> headers; // added to every answer
    std::vector<std::string> files; // the file itself and every file it names, watched for changes
};

struct WebConfigResult {
    std::optional<WebConfig> config;
    std::string error; // "PATH: field: what is wrong" when config is empty
};

// Reads and checks the file and the certificate, key and CA files it names (relative to its folder).
WebConfigResult loadWebConfig(const std::string& path);

// What tells that a file changed without reading it: device, inode, size and modification time.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1; // -1: missing
    std::int64_t modifiedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
std::vector<FileStamp> stampFiles(const std::vector<std::string>& paths);

} // namespace tavrel
