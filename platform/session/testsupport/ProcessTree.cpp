#include "platform/session/testsupport/ProcessTree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace TestSession {

namespace {

std::string statOf(const std::string& pid)
{
    std::ifstream in("/proc/" + pid + "/stat");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The fields after "pid (comm)": comm may hold spaces and parentheses.
const char* fieldsAfterName(const std::string& stat)
{
    size_t close = stat.rfind(')');
    return close == std::string::npos ? nullptr : stat.c_str() + close + 1;
}

// Every process's children, from the parent field of every /proc/<pid>/stat.
std::map<pid_t, std::vector<pid_t>> childrenByParent()
{
    std::map<pid_t, std::vector<pid_t>> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string stat = statOf(name);
        const char* fields = fieldsAfterName(stat);
        char state;
        long parent;
        if (fields && sscanf(fields, " %c %ld", &state, &parent) == 2)
            children[static_cast<pid_t>(parent)].push_back(static_cast<pid_t>(std::stol(name)));
    }
    return children;
}

// The children of one process, from its threads' /proc/<pid>/task/<tid>/children (far quicker
// than reading every process); none when the kernel has no such files.
std::optional<std::vector<pid_t>> childrenOf(pid_t pid)
{
    std::vector<pid_t> children;
    std::error_code error;
    std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream file(task.path() / "children");
        if (!file)
            return std::nullopt;
        for (long child; file >> child;)
            children.push_back(static_cast<pid_t>(child));
    }
    return children;
}

}

std::vector<pid_t> descendantsOf(pid_t root)
{
    // Read from every process only when the kernel does not list children.
    std::optional<std::map<pid_t, std::vector<pid_t>>> everyParent;
    std::vector<pid_t> found;
    std::vector<pid_t> next { root };
    while (!next.empty()) {
        pid_t pid = next.back();
        next.pop_back();
        std::optional<std::vector<pid_t>> children = everyParent ? std::nullopt : childrenOf(pid);
        if (!children) {
            if (!everyParent)
                everyParent = childrenByParent();
            children = (*everyParent)[pid];
        }
        for (pid_t child : *children) {
            found.push_back(child);
            next.push_back(child);
        }
    }
    return found;
}

std::string processStartTime(pid_t pid)
{
    std::string stat = statOf(std::to_string(pid));
    const char* fields = fieldsAfterName(stat);
    if (!fields)
        return "";
    std::stringstream words(fields);
    std::string field;
    // Fields 3 to 22; the start time is the 22nd.
    for (int i = 3; i <= 22 && words >> field; ++i) { }
    return field;
}

}
