#pragma once

#include "platform/machinery/ChildProcess.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The variables the private session sets (its folders, its buses, its sound server), and the
// environment of every process it starts: this process's own, without the test runner's bus,
// sound server or service manager, with the session's variables.
namespace TestSession {

class SessionEnvironment {
public:
    using Variables = std::map<std::string, std::string>;

    // Every name a session may set, whether this one sets it or not: none of them is inherited.
    static const std::vector<const char*>& names();

    void set(const std::string& name, const std::string& value) { m_variables[name] = value; }
    const Variables& variables() const { return m_variables; }
    // The value, "" when it is not set.
    std::string value(const std::string& name) const;

    // A child's environment ("NAME=value" entries), with the extra variables over the session's.
    std::vector<std::string> forChild(const Variables& extra = {}) const;
    // A daemon of the session: its environment, its log, and a process group of its own, so that
    // a terminal's Ctrl-C reaches the test, which ends the session.
    ChildOptions daemon(std::vector<std::string> argv, const std::filesystem::path& log, const Variables& extra = {}) const;

private:
    Variables m_variables;
};

}
