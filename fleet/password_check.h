// Basic-auth passwords against bcrypt hashes (libxcrypt's crypt_rn), with the successes remembered under a
// keyed hash so that a scraper pays bcrypt's cost once, not at every scrape.
#pragma once

#include <array>
#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tavrel {

class PasswordCheck {
public:
    // users: user name to bcrypt hash ($2a$, $2b$ or $2y$).
    explicit PasswordCheck(std::map<std::string, std::string> users);

    bool enabled() const { return !m_users.empty(); }
    // True when the user exists and the password matches its hash. An unknown user is checked against a dummy
    // hash of the same cost, so that the time taken does not tell which user names exist. A bcrypt run takes
    // tens of milliseconds of the one event loop: past kChecksPerSecond (with a burst of kCheckBurst) checks
    // that the cache does not answer are refused without one, so a flood of wrong passwords cannot stall the
    // repeaters' timers.
    bool check(std::string_view user, std::string_view password, std::chrono::steady_clock::time_point now);
    std::size_t cachedCount() const { return m_granted.size(); }

    // Remembered successes at most; past that the memory starts afresh.
    static constexpr std::size_t kMaxCached = 256;
    static constexpr double kChecksPerSecond = 4;
    static constexpr double kCheckBurst = 8;

private:
    std::string cacheKey(std::string_view user, std::string_view password) const;

    std::map<std::string, std::string, std::less<>> m_users;
    std::string m_dummyHash;
    std::array<unsigned char, 32> m_key{};
    std::unordered_set<std::string> m_granted;
    double m_budget = kCheckBurst; // bcrypt runs that may be spent now
    std::chrono::steady_clock::time_point m_budgetAt{};
};

} // namespace tavrel
