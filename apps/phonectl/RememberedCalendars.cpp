#include "apps/phonectl/RememberedCalendars.h"

#include "platform/machinery/AtomicFile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace RememberedCalendars {

namespace {

std::filesystem::path home()
{
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::path("/");
}

std::string trimmed(const std::string& line)
{
    auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

}

std::filesystem::path file()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base = config && *config ? std::filesystem::path(config) : home() / ".config";
    return base / "hushline" / "calendars";
}

std::vector<std::filesystem::path> parse(const std::string& text)
{
    std::vector<std::filesystem::path> folders;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::string folder = trimmed(line);
        if (folder.empty() || folder.front() == '#')
            continue;
        if (folder == "~" || folder.rfind("~/", 0) == 0)
            folders.push_back(home() / folder.substr(folder.size() > 1 ? 2 : 1));
        else
            folders.emplace_back(folder);
    }
    return folders;
}

std::string format(const std::vector<std::filesystem::path>& folders)
{
    std::string text = "# Hushline's calendar folders: a boot of the phone linked to your session without --calendars\n"
                       "# (the user service's `phonectl run --session`) reads these. One folder per line, ~/ for your\n"
                       "# home folder; lines starting with # are comments. `--calendars DIR` replaces the list,\n"
                       "# `--calendars none` forgets it.\n";
    for (const auto& folder : folders)
        text += folder.string() + "\n";
    return text;
}

std::optional<std::vector<std::filesystem::path>> read()
{
    std::ifstream in(file());
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

bool write(const std::vector<std::filesystem::path>& folders, std::string* why)
{
    std::error_code error;
    std::filesystem::create_directories(file().parent_path(), error);
    return writeFileAtomically(file(), format(folders), why);
}

void forget()
{
    std::error_code error;
    std::filesystem::remove(file(), error);
}

}
