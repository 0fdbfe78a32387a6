// Reads the web configuration with yaml-cpp: every field the exporter toolkit knows is either served or
// refused by name, and the TLS material is tried with GnuTLS at once, so that a bad file never reaches the
// listener.
#include "fleet/web_config.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string_view>
#include <sys/stat.h>

#include <gnutls/gnutls.h>
#include <yaml-cpp/yaml.h>

namespace tavrel {
namespace {

constexpr std::array<std::pair<std::string_view, ClientAuth>, 5> kClientAuthTypes{{
    {"NoClientCert", ClientAuth::NoClientCert},
    {"RequestClientCert", ClientAuth::RequestClientCert},
    {"RequireAnyClientCert", ClientAuth::RequireAnyClientCert},
    {"VerifyClientCertIfGiven", ClientAuth::VerifyClientCertIfGiven},
    {"RequireAndVerifyClientCert", ClientAuth::RequireAndVerifyClientCert},
}};
constexpr std::array<std::string_view, 4> kVersions{"TLS10", "TLS11", "TLS12", "TLS13"};
constexpr std::array<std::string_view, 4> kGnutlsVersions{"+VERS-TLS1.0", "+VERS-TLS1.1", "+VERS-TLS1.2",
                                                          "+VERS-TLS1.3"};
constexpr std::size_t kDefaultMinVersion = 2; // TLS12, as the exporter toolkit
// Headers the server sets itself: a configured one would contradict it.
constexpr std::array<std::string_view, 7> kOwnHeaders{
    "content-type", "content-length", "www-authenticate", "allow", "connection", "transfer-encoding", "date"};

// A refusal: the field's dotted name and why.
struct Refusal {
    std::string text;
};

std::string lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return result;
}

void checkFields(const YAML::Node& map, std::string_view prefix,
                 std::initializer_list<std::string_view> known) {
    if (!map.IsMap())
        throw Refusal{std::string(prefix.empty() ? "the file" : prefix) + " must be a mapping"};
    for (const auto& entry : map) {
        const std::string key = entry.first.as<std::string>();
        if (std::find(known.begin(), known.end(), key) == known.end())
            throw Refusal{"unknown field '" + (prefix.empty() ? key : std::string(prefix) + "." + key) + "'"};
    }
}

std::string scalar(const YAML::Node& node, const std::string& field) {
    if (!node.IsScalar())
        throw Refusal{field + " must be a single value"};
    return node.as<std::string>();
}

bool boolean(const YAML::Node& node, const std::string& field) {
    bool value = false;
    if (!node.IsScalar() || !YAML::convert<bool>::decode(node, value))
        throw Refusal{field + " must be true or false"};
    return value;
}

std::size_t version(const YAML::Node& node, const std::string& field, std::size_t fallback) {
    if (!node)
        return fallback;
    const std::string text = scalar(node, field);
    const auto it = std::find(kVersions.begin(), kVersions.end(), text);
    if (it == kVersions.end())
        throw Refusal{field + " '" + text + "' is none of TLS10, TLS11, TLS12, TLS13"};
    return static_cast<std::size_t>(it - kVersions.begin());
}

std::string readWhole(const std::string& path, const std::string& field) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw Refusal{field + ": cannot read " + path};
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Tries the material as the listener will load it, so that a mismatch is told now, naming the files.
void tryTlsMaterial(const WebTls& tls) {
    gnutls_certificate_credentials_t credentials = nullptr;
    if (gnutls_certificate_allocate_credentials(&credentials) != GNUTLS_E_SUCCESS)
        throw Refusal{"tls_server_config: GnuTLS cannot allocate credentials"};
    const auto datum = [](const std::string& text) {
        return gnutls_datum_t{reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
                              static_cast<unsigned>(text.size())};
    };
    const gnutls_datum_t cert = datum(tls.certPem);
    const gnutls_datum_t key = datum(tls.keyPem);
    const int keyResult = gnutls_certificate_set_x509_key_mem(credentials, &cert, &key, GNUTLS_X509_FMT_PEM);
    int caResult = 1;
    if (!tls.clientCaPem.empty()) {
        const gnutls_datum_t ca = datum(tls.clientCaPem);
        caResult = gnutls_certificate_set_x509_trust_mem(credentials, &ca, GNUTLS_X509_FMT_PEM);
    }
    gnutls_certificate_free_credentials(credentials);
    if (keyResult < 0)
        throw Refusal{
            std::string("tls_server_config.cert_file and key_file are no PEM certificate and key that "
                        "belong together: ") +
            gnutls_strerror(keyResult)};
    if (caResult <= 0)
        throw Refusal{"tls_server_config.client_ca_file holds no PEM CA certificate"};
    gnutls_priority_t priority = nullptr;
    const char* where = nullptr;
    if (gnutls_priority_init(&priority, tls.priorities.c_str(), &where) != GNUTLS_E_SUCCESS)
        throw Refusal{"tls_server_config.min_version/max_version: GnuTLS refuses " + tls.priorities};
    gnutls_priority_deinit(priority);
}

WebTls readTls(const YAML::Node& node, const std::string& folder, std::vector<std::string>& files) {
    checkFields(node, "tls_server_config",
                {"cert_file", "key_file", "client_auth_type", "client_ca_file", "min_version", "max_version",
                 "prefer_server_cipher_suites", "cipher_suites", "curve_preferences", "client_allowed_sans"});
    for (const char* unsupported : {"cipher_suites", "curve_preferences", "client_allowed_sans"})
        if (node[unsupported])
            throw Refusal{std::string("tls_server_config.") + unsupported +
                          " is not supported: GnuTLS's defaults for the chosen versions apply"};
    const auto path = [&](const char* field) {
        std::string name = node[field] ? scalar(node[field], std::string("tls_server_config.") + field) : "";
        if (!name.empty() && !name.starts_with('/'))
            name = folder + name;
        return name;
    };
    const std::string certFile = path("cert_file");
    const std::string keyFile = path("key_file");
    const std::string caFile = path("client_ca_file");
    if (certFile.empty())
        throw Refusal{"tls_server_config.cert_file is missing"};
    if (keyFile.empty())
        throw Refusal{"tls_server_config.key_file is missing"};

    WebTls tls;
    if (const YAML::Node type = node["client_auth_type"]) {
        const std::string text = scalar(type, "tls_server_config.client_auth_type");
        const auto it = std::find_if(kClientAuthTypes.begin(), kClientAuthTypes.end(),
                                     [&](const auto& entry) { return entry.first == text; });
        if (it == kClientAuthTypes.end())
            throw Refusal{"tls_server_config.client_auth_type '" + text +
                          "' is none of NoClientCert, RequestClientCert, RequireAnyClientCert, "
                          "VerifyClientCertIfGiven, RequireAndVerifyClientCert"};
        tls.clientAuth = it->second;
    }
    if (!caFile.empty() && tls.clientAuth == ClientAuth::NoClientCert)
        throw Refusal{"tls_server_config.client_ca_file is set but client_auth_type is NoClientCert"};
    // Client certificates are asked for with the CA's names: without the file there is nothing to ask with.
    if (caFile.empty() && tls.clientAuth != ClientAuth::NoClientCert)
        throw Refusal{
            "tls_server_config.client_ca_file is needed for client_auth_type other than NoClientCert"};

    const std::size_t minVersion =
        version(node["min_version"], "tls_server_config.min_version", kDefaultMinVersion);
    const std::size_t maxVersion =
        version(node["max_version"], "tls_server_config.max_version", kVersions.size() - 1);
    if (maxVersion < minVersion)
        throw Refusal{"tls_server_config.max_version is below min_version"};
    tls.priorities = "NORMAL:-VERS-ALL";
    for (std::size_t v = minVersion; v <= maxVersion; ++v)
        tls.priorities.append(":").append(kGnutlsVersions[v]);
    const YAML::Node prefer = node["prefer_server_cipher_suites"];
    if (!prefer || boolean(prefer, "tls_server_config.prefer_server_cipher_suites"))
        tls.priorities += ":%SERVER_PRECEDENCE";

    tls.certPem = readWhole(certFile, "tls_server_config.cert_file");
    tls.keyPem = readWhole(keyFile, "tls_server_config.key_file");
    files.push_back(certFile);
    files.push_back(keyFile);
    if (!caFile.empty()) {
        tls.clientCaPem = readWhole(caFile, "tls_server_config.client_ca_file");
        files.push_back(caFile);
    }
    tryTlsMaterial(tls);
    return tls;
}

void readHttp(const YAML::Node& node, WebConfig& config) {
    checkFields(node, "http_server_config", {"http2", "headers"});
    if (node["http2"]) // answers are HTTP/1.1 either way, which every scraper speaks
        boolean(node["http2"], "http_server_config.http2");
    const YAML::Node headers = node["headers"];
    if (!headers)
        return;
    if (!headers.IsMap())
        throw Refusal{"http_server_config.headers must be a mapping"};
    for (const auto& entry : headers) {
        const std::string name = entry.first.as<std::string>();
        const std::string field = "http_server_config.headers." + name;
        const std::string value = scalar(entry.second, field);
        if (std::find(kOwnHeaders.begin(), kOwnHeaders.end(), lower(name)) != kOwnHeaders.end())
            throw Refusal{field + " is set by the server itself"};
        const auto badName = [](char c) { return c <= ' ' || c == ':' || c > '~'; };
        if (name.empty() || std::any_of(name.begin(), name.end(), badName) ||
            value.find_first_of("\r\n") != std::string::npos)
            throw Refusal{field + " is no valid header"};
        config.headers.emplace_back(name, value);
    }
}

void readUsers(const YAML::Node& node, WebConfig& config) {
    if (!node.IsMap())
        throw Refusal{"basic_auth_users must be a mapping of user names to bcrypt hashes"};
    for (const auto& entry : node) {
        const std::string user = entry.first.as<std::string>();
        const std::string field = "basic_auth_users." + user;
        const std::string hash = scalar(entry.second, field);
        if (user.empty() || user.find(':') != std::string::npos)
            throw Refusal{field + ": a user name is not empty and holds no ':'"};
        if (!hash.starts_with("$2a$") && !hash.starts_with("$2b$") && !hash.starts_with("$2y$"))
            throw Refusal{field + " is not a bcrypt hash (htpasswd -nBC 10 USER makes one)"};
        config.users.emplace(user, hash);
    }
}

} // namespace

WebConfigResult loadWebConfig(const std::string& path) {
    const std::string folder = path.find('/') == std::string::npos ? "" : path.substr(0, path.rfind('/') + 1);
    WebConfig config;
    config.files.push_back(path);
    try {
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return {std::nullopt, path + ": cannot be read"};
        const YAML::Node root = YAML::Load(file);
        if (root.IsNull())
            return {std::move(config), {}}; // an empty file: plain HTTP, as the exporter toolkit does
        checkFields(root, "", {"tls_server_config", "http_server_config", "basic_auth_users"});
        if (const YAML::Node tls = root["tls_server_config"]; tls && !tls.IsNull())
            config.tls = readTls(tls, folder, config.files);
        if (const YAML::Node http = root["http_server_config"]; http && !http.IsNull())
            readHttp(http, config);
        if (const YAML::Node users = root["basic_auth_users"]; users && !users.IsNull())
            readUsers(users, config);
    } catch (const Refusal& refusal) {
        return {std::nullopt, path + ": " + refusal.text};
    } catch (const YAML::Exception& error) {
        return {std::nullopt, path + ":" + std::to_string(error.mark.line + 1) + ": " + error.msg};
    }
    return {std::move(config), {}};
}

std::vector<FileStamp> stampFiles(const std::vector<std::string>& paths) {
    std::vector<FileStamp> stamps;
    for (const std::string& path : paths) {
        struct stat status {};
        FileStamp stamp;
        if (::stat(path.c_str(), &status) == 0)
            stamp = {status.st_dev, status.st_ino, status.st_size,
                     status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
        stamps.push_back(stamp);
    }
    return stamps;
}

} // namespace tavrel
