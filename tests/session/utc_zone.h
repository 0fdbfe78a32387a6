// Puts the process in the UTC time zone for one test, so that local clock texts can be spelled out.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tavrel::test {

class UtcZone {
public:
    UtcZone() {
        if (const char* zone = std::getenv("TZ"))
            m_previous = zone;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ~UtcZone() {
        if (m_previous)
            ::setenv("TZ", m_previous->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    UtcZone(const UtcZone&) = delete;
    UtcZone& operator=(const UtcZone&) = delete;

private:
    std::optional<std::string> m_previous;
};

} // namespace tavrel::test
