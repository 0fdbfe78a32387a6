// Network namespaces for the fault tests: made and removed with `ip netns`, entered by one thread at a time.
#pragma once

#include <string>

namespace tavrel::test {

struct CommandResult {
    int status = -1;    // the exit status; -1 when the command could not be run
    std::string output; // standard output and error together
    bool ok() const { return status == 0; }
};

// Runs a command line through the shell and collects what it prints.
CommandResult runCommand(const std::string& command);

// A namespace made by `ip netns add` and deleted, with every interface in it, on destruction.
class NetworkNamespace {
public:
    // Namespaces of this test program left behind by a run that died (its process is gone) are deleted
    // first, so they never pile up.
    explicit NetworkNamespace(std::string name);
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    bool created() const { return m_created; }
    // Why the namespace could not be made.
    const std::string& error() const { return m_error; }
    const std::string& name() const { return m_name; }

    // Runs `ip -n <name> <arguments>` inside the namespace.
    CommandResult ip(const std::string& arguments) const;

    // Every namespace name of these tests starts with this, followed by a role and the process id.
    static constexpr const char* kPrefix = "tavrel-faults-";

private:
    std::string m_name;
    std::string m_error;
    bool m_created = false;
};

// While alive, the calling thread is in the named namespace: sockets it opens, and threads it starts, belong
// there. The thread returns to its former namespace on destruction.
class EnterNamespace {
public:
    explicit EnterNamespace(const std::string& name);
    ~EnterNamespace();
    EnterNamespace(const EnterNamespace&) = delete;
    EnterNamespace& operator=(const EnterNamespace&) = delete;

    bool entered() const { return m_entered; }
    const std::string& error() const { return m_error; }

private:
    int m_former = -1;
    bool m_entered = false;
    std::string m_error;
};

} // namespace tavrel::test
