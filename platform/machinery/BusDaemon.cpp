#include "platform/machinery/BusDaemon.h"

#include "platform/machinery/MarkupEscape.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

// A D-Bus address value: every byte outside the optionally-escaped set becomes %XX.
std::string escapeAddressValue(const std::string& value)
{
    static const char* hex = "0123456789abcdef";
    std::string escaped;
    for (unsigned char c : value) {
        if (isalnum(c) || strchr("-_/.\\*", c)) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += hex[c >> 4];
            escaped += hex[c & 15];
        }
    }
    return escaped;
}

}

std::string busDaemonConfiguration(const BusDaemonConfiguration& bus)
{
    std::string text = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig>\n";
    if (!bus.type.empty())
        text += "  <type>" + escapeMarkup(bus.type) + "</type>\n";
    if (bus.keepUmask)
        text += "  <keep_umask/>\n";
    text += "  <listen>" + escapeMarkup("unix:path=" + escapeAddressValue(bus.socket.string())) + "</listen>\n"
        + "  <auth>EXTERNAL</auth>\n";
    if (!bus.serviceDir.empty())
        text += "  <servicedir>" + escapeMarkup(bus.serviceDir.string()) + "</servicedir>\n";
    text += "  <policy context=\"default\">\n"
            "    <allow own=\"*\"/>\n"
            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n"
            "  </policy>\n"
            "</busconfig>\n";
    return text;
}

BusDaemon startBusDaemon(const std::filesystem::path& config, ChildOptions child, std::chrono::milliseconds timeout, const std::string& who)
{
    std::string daemon = requireProgram("dbus-daemon", "dbus-daemon", who);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(who + ": pipe: " + strerror(errno));
    int readEnd = aboveStandardStreams(pipeFds[0]);
    int writeEnd = aboveStandardStreams(pipeFds[1]);
    child.argv = { daemon, "--config-file=" + config.string(), "--print-address=" + std::to_string(writeEnd), "--nofork", "--nopidfile",
        "--nosyslog" };
    child.inheritedFd = writeEnd;
    pid_t pid;
    try {
        pid = startChild(child);
    } catch (const std::exception& error) {
        close(readEnd);
        close(writeEnd);
        throw std::runtime_error(who + ": " + error.what());
    }
    close(writeEnd);
    std::string address = readLine(readEnd, std::chrono::steady_clock::now() + timeout);
    close(readEnd);
    if (address.empty()) {
        kill(pid, SIGKILL);
        waitForProcessEnd(pid, -1);
        throw std::runtime_error(who + ": dbus-daemon did not start: " + tailOfFile(child.log, 800));
    }
    return { pid, address };
}
