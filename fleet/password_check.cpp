// crypt_rn for the hashes, HMAC-SHA-256 under a key drawn at start for the cache of successes: the cache
// never holds a password, and a copy of it tells nothing without the key.
#include "fleet/password_check.h"

#include <algorithm>
#include <crypt.h>
#include <cstring>
#include <memory>

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

namespace tavrel {
namespace {

// The cost of a hash ("$2y$10$..." → 10); bcrypt's default when it cannot be read.
unsigned long costOf(const std::string& hash) {
    const unsigned long cost = std::strtoul(hash.c_str() + 4, nullptr, 10);
    return cost >= 4 && cost <= 31 ? cost : 10;
}

// The hash of the password under the settings (salt and cost) of hash; empty when crypt fails.
std::string hashed(std::string_view password, const std::string& setting) {
    auto data = std::make_unique<crypt_data>();
    const std::string phrase(password);
    if (crypt_rn(phrase.c_str(), setting.c_str(), data.get(), sizeof *data) == nullptr ||
        data->output[0] == '*')
        return {};
    return data->output;
}

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

PasswordCheck::PasswordCheck(std::map<std::string, std::string> users) : m_users(users.begin(), users.end()) {
    if (m_users.empty())
        return;
    gnutls_rnd(GNUTLS_RND_KEY, m_key.data(), m_key.size());
    // The dummy has the cost of the first user's hash, drawn with a random salt and password.
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    std::array<unsigned char, 16> random{};
    gnutls_rnd(GNUTLS_RND_NONCE, random.data(), random.size());
    if (crypt_gensalt_rn("$2y$", costOf(m_users.begin()->second),
                         reinterpret_cast<const char*>(random.data()), static_cast<int>(random.size()),
                         setting, sizeof setting) != nullptr)
        m_dummyHash = setting;
}

std::string PasswordCheck::cacheKey(std::string_view user, std::string_view password) const {
    std::string message(user);
    message.push_back('\0');
    message.append(password);
    std::array<unsigned char, 32> digest{};
    gnutls_hmac_fast(GNUTLS_MAC_SHA256, m_key.data(), m_key.size(), message.data(), message.size(),
                     digest.data());
    return std::string(digest.begin(), digest.end());
}

bool PasswordCheck::check(std::string_view user, std::string_view password,
                          std::chrono::steady_clock::time_point now) {
    const std::string key = cacheKey(user, password);
    if (m_granted.contains(key))
        return true;
    if (m_budgetAt != std::chrono::steady_clock::time_point{})
        m_budget = std::min(kCheckBurst, m_budget + std::chrono::duration<double>(now - m_budgetAt).count() *
                                                        kChecksPerSecond);
    m_budgetAt = now;
    if (m_budget < 1)
        return false;
    m_budget -= 1;
    const auto it = m_users.find(user);
    if (it == m_users.end()) {
        // The dummy setting holds no hash to match: only the time is spent.
        hashed(password, m_dummyHash);
        return false;
    }
    const std::string computed = hashed(password, it->second);
    if (computed.empty() || !sameText(computed, it->second))
        return false;
    if (m_granted.size() >= kMaxCached)
        m_granted.clear();
    m_granted.insert(key);
    return true;
}

} // namespace tavrel
