// Network namespaces for the fault tests: `ip netns` for making and removing them, setns() for entering.
#include "tests/faults/net_namespaces.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <utility>

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrel::test {
namespace {

// A name of these tests ends in the id of the process that made it.
bool ownerIsGone(const std::string& name) {
    const auto dash = name.rfind('-');
    if (dash == std::string::npos || dash + 1 == name.size())
        return false;
    const std::string pid = name.substr(dash + 1);
    if (pid.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return !std::filesystem::exists("/proc/" + pid);
}

void deleteStaleNamespaces() {
    std::istringstream list(runCommand("ip netns list").output);
    std::string line;
    while (std::getline(list, line)) {
        const std::string name = line.substr(0, line.find(' ')); // "name (id: n)"
        if (name.starts_with(NetworkNamespace::kPrefix) && ownerIsGone(name))
            runCommand("ip netns del " + name);
    }
}

} // namespace

CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        result.output = std::string("cannot run: ") + std::strerror(errno);
        return result;
    }
    std::array<char, 512> chunk{};
    while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe))
        result.output += chunk.data();
    const int status = ::pclose(pipe);
    result.status = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

NetworkNamespace::NetworkNamespace(std::string name) : m_name(std::move(name)) {
    deleteStaleNamespaces();
    const CommandResult added = runCommand("ip netns add " + m_name);
    m_created = added.ok();
    if (!m_created)
        m_error = "ip netns add " + m_name + " gave " + std::to_string(added.status) + ": " + added.output;
}

NetworkNamespace::~NetworkNamespace() {
    if (m_created)
        runCommand("ip netns del " + m_name);
}

CommandResult NetworkNamespace::ip(const std::string& arguments) const {
    return runCommand("ip -n " + m_name + " " + arguments);
}

EnterNamespace::EnterNamespace(const std::string& name) {
    m_former = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (m_former < 0 || target < 0) {
        m_error = std::string("cannot open a namespace: ") + std::strerror(errno);
    } else if (::setns(target, CLONE_NEWNET) != 0) {
        m_error = std::string("setns: ") + std::strerror(errno);
    } else {
        m_entered = true;
    }
    if (target >= 0)
        ::close(target);
}

EnterNamespace::~EnterNamespace() {
    if (m_entered)
        ::setns(m_former, CLONE_NEWNET);
    if (m_former >= 0)
        ::close(m_former);
}

} // namespace tavrel::test
