#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// Variables set in this process for as long as the object lives, then put back as they were
// (unset when they were not set), so that an inner session hands the outer one's back.
namespace TestSession {

class ScopedVariables {
public:
    // Every name in `names` takes its value from `values`, or is unset when it has none there.
    ScopedVariables(const std::vector<const char*>& names, const std::map<std::string, std::string>& values);
    ~ScopedVariables();
    ScopedVariables(const ScopedVariables&) = delete;
    ScopedVariables& operator=(const ScopedVariables&) = delete;

private:
    std::map<std::string, std::optional<std::string>> m_before;
};

}
