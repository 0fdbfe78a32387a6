// The web configuration: what is served, and every refusal naming its field; bcrypt checks and their cache.
#include <crypt.h>
#include <fstream>

#include <gtest/gtest.h>

#include "fleet/password_check.h"
#include "fleet/web_config.h"
#include "tests/session/temp_dir.h"

namespace tavrel {
namespace {

std::string bcrypt(const std::string& password, unsigned long cost = 4) {
    crypt_data data{};
    const char* setting = crypt_gensalt_rn("$2y$", cost, nullptr, 0, data.setting, sizeof data.setting);
    return setting ? crypt_rn(password.c_str(), setting, &data, sizeof data) : "";
}

TEST(WebConfig, ServesWhatItKnowsAndNamesTheFieldItRefuses) {
    const test::TempExeDir dir;
    const std::string path = dir.path() + "/web.yml";
    const std::string tls = "tls_server_config:\n  cert_file: c.pem\n  key_file: k.pem\n";
    struct Case {
        std::string yaml;
        std::string error; // empty: accepted
    };
    const std::vector<Case> cases{
        {"", ""},
        {"basic_auth_users:\n  a: " + bcrypt("x") +
             "\nhttp_server_config:\n  http2: false\n  headers:\n"
             "    X-Frame-Options: deny\n",
         ""},
        {"basic_auth_users:\n  a: plain\n", "basic_auth_users.a is not a bcrypt hash"},
        {"basic_auth_users: [a]\n", "basic_auth_users must be a mapping"},
        {"tls_config: {}\n", "unknown field 'tls_config'"},
        {"tls_server_config:\n  cert_file: c.pem\n", "tls_server_config.key_file is missing"},
        {"tls_server_config:\n  key_file: k.pem\n", "tls_server_config.cert_file is missing"},
        {tls + "  cipher_suites: [TLS_AES_128_GCM_SHA256]\n",
         "tls_server_config.cipher_suites is not supported"},
        {tls + "  client_auth_type: Sometimes\n",
         "tls_server_config.client_auth_type 'Sometimes' is none of"},
        {tls + "  min_version: TLS14\n", "tls_server_config.min_version 'TLS14' is none of"},
        {tls + "  min_version: TLS13\n  max_version: TLS12\n",
         "tls_server_config.max_version is below min_version"},
        {tls + "  client_ca_file: ca.pem\n", "client_ca_file is set but client_auth_type is NoClientCert"},
        {tls + "  client_auth_type: RequireAndVerifyClientCert\n",
         "tls_server_config.client_ca_file is needed"},
        {tls + "  tls_ciphers: x\n", "unknown field 'tls_server_config.tls_ciphers'"},
        {tls, "tls_server_config.cert_file: cannot read " + dir.path() + "/c.pem"},
        {"http_server_config:\n  headers:\n    Content-Type: text/html\n",
         "http_server_config.headers.Content-Type is set by the server itself"},
        {"http_server_config:\n  http2: maybe\n", "http_server_config.http2 must be true or false"},
        {"basic_auth_users: {a: [\n", path + ":"},
    };
    for (const Case& c : cases) {
        std::ofstream(path) << c.yaml;
        const WebConfigResult result = loadWebConfig(path);
        if (c.error.empty()) {
            EXPECT_TRUE(result.config) << c.yaml << result.error;
        } else {
            EXPECT_FALSE(result.config) << c.yaml;
            EXPECT_TRUE(result.error.starts_with(path + ":")) << result.error;
            EXPECT_NE(result.error.find(c.error), std::string::npos) << c.yaml << " gave " << result.error;
        }
    }
    std::ofstream(path) << cases[1].yaml;
    const WebConfig config = *loadWebConfig(path).config;
    EXPECT_FALSE(config.tls);
    EXPECT_EQ(config.users.size(), 1u);
    EXPECT_EQ(config.headers,
              (std::vector<std::pair<std::string, std::string>>{{"X-Frame-Options", "deny"}}));
    EXPECT_EQ(config.files, std::vector<std::string>{path});
}

TEST(WebConfig, AFileStampChangesWithTheFile) {
    const test::TempExeDir dir;
    const std::string path = dir.path() + "/cert.pem";
    const auto before = stampFiles({path});
    EXPECT_EQ(before[0].size, -1);
    std::ofstream(path) << "one";
    const auto written = stampFiles({path});
    EXPECT_NE(written, before);
    EXPECT_EQ(stampFiles({path}), written);
    std::ofstream(path) << "three";
    EXPECT_NE(stampFiles({path}), written);
}

TEST(PasswordCheck, GrantsOnlyTheRightPasswordRemembersSuccessesAndBoundsTheWork) {
    PasswordCheck check({{"prometheus", bcrypt("right")}, {"other", bcrypt("also")}});
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    EXPECT_FALSE(check.check("prometheus", "wrong", now));
    EXPECT_FALSE(check.check("nobody", "right", now));
    EXPECT_FALSE(check.check("other", "right", now));
    EXPECT_EQ(check.cachedCount(), 0u);
    EXPECT_TRUE(check.check("prometheus", "right", now));
    EXPECT_TRUE(check.check("other", "also", now));
    EXPECT_EQ(check.cachedCount(), 2u);
    EXPECT_FALSE(PasswordCheck({}).enabled());

    // A flood of wrong passwords spends the budget: then even a right one not yet remembered waits for it to
    // grow again, while remembered ones still pass.
    PasswordCheck flooded({{"prometheus", bcrypt("right")}, {"other", bcrypt("also")}});
    EXPECT_TRUE(flooded.check("other", "also", now));
    for (int i = 1; i < PasswordCheck::kCheckBurst; ++i)
        EXPECT_FALSE(flooded.check("prometheus", "guess" + std::to_string(i), now));
    EXPECT_FALSE(flooded.check("prometheus", "right", now));
    EXPECT_TRUE(flooded.check("other", "also", now));
    now += std::chrono::milliseconds(static_cast<int>(1000 / PasswordCheck::kChecksPerSecond));
    EXPECT_TRUE(flooded.check("prometheus", "right", now));
}

} // namespace
} // namespace tavrel
