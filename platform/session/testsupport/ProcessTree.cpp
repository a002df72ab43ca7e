#include "platform/session/testsupport/ProcessTree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
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

struct ProcessIds {
    pid_t pid;
    pid_t parent;
    pid_t group;
};

// Every process's ids, from its /proc/<pid>/stat ("pid (comm) state ppid pgrp ...").
std::vector<ProcessIds> everyProcess()
{
    std::vector<ProcessIds> processes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string stat = statOf(name);
        const char* fields = fieldsAfterName(stat);
        char state;
        long parent, group;
        if (fields && sscanf(fields, " %c %ld %ld", &state, &parent, &group) == 3)
            processes.push_back({ static_cast<pid_t>(std::stol(name)), static_cast<pid_t>(parent), static_cast<pid_t>(group) });
    }
    return processes;
}

}

std::vector<pid_t> descendantsOf(pid_t root)
{
    std::map<pid_t, std::vector<pid_t>> children;
    for (const auto& process : everyProcess())
        children[process.parent].push_back(process.pid);
    std::vector<pid_t> found;
    std::vector<pid_t> next { root };
    while (!next.empty()) {
        pid_t pid = next.back();
        next.pop_back();
        for (pid_t child : children[pid]) {
            found.push_back(child);
            next.push_back(child);
        }
    }
    return found;
}

std::vector<pid_t> processGroupMembers(pid_t group)
{
    std::vector<pid_t> members;
    for (const auto& process : everyProcess())
        if (process.group == group)
            members.push_back(process.pid);
    return members;
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
