#include "platform/testsupport/DeviceFixture.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSNotificationCenter.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#ifndef HUSHLINE_SOURCE_DIR
#error "HUSHLINE_SOURCE_DIR names the source tree"
#endif

void DeviceFixture::SetUp()
{
    setenv("TZ", timeZone(), 1);
    tzset();
    char pattern[] = "/tmp/hushline-test-XXXXXX";
    m_root = mkdtemp(pattern);
    setenv("HUSHLINE_DEVICE_ROOT", m_root.c_str(), 1);
    // Caches kept outside the phone (the calendar cache) go beside it, never into the user's.
    setenv("XDG_CACHE_HOME", (m_root.string() + ".cache").c_str(), 1);
    std::filesystem::create_directories(m_root / "var/mobile/Library/Preferences");
    std::filesystem::create_directories(m_root / "tmp");
    m_clock = Clock::installVirtual(localTime(startTime()));
    NSNotificationCenter::defaultCenter().reset();
    DarwinNotifyCenter::install(std::make_shared<InProcessDarwinNotifyCenter>());

    m_logPath = m_root / "tmp/test-stderr.log";
    fflush(stderr);
    m_savedStderr = dup(STDERR_FILENO);
    int fd = open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    dup2(fd, STDERR_FILENO);
    close(fd);
}

void DeviceFixture::TearDown()
{
    fflush(stderr);
    if (m_savedStderr >= 0) {
        dup2(m_savedStderr, STDERR_FILENO);
        close(m_savedStderr);
    }
    if (HasFailure()) {
        // Show what the system logged; it usually says why.
        fprintf(stderr, "---- log of the failed test ----\n%s--------------------------------\n", logText().c_str());
    }
    NSNotificationCenter::defaultCenter().reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
    std::filesystem::remove_all(m_root.string() + ".cache", ignored);
}

NSTimeInterval DeviceFixture::localTime(const std::string& iso)
{
    NSDateComponents c;
    int y, mo, d, h, mi, s;
    if (sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6)
        throw std::invalid_argument("not a local time: " + iso);
    c = { y, mo, d, h, mi, s };
    return NSCalendar::currentCalendar().dateFromComponents(c)->timeIntervalSince1970();
}

void DeviceFixture::setClock(const std::string& iso)
{
    m_clock->set(localTime(iso));
}

std::filesystem::path DeviceFixture::phonePath(const std::string& path) const
{
    return DeviceRoot::resolve(path);
}

void DeviceFixture::installSettingsBundle() const
{
    auto target = phonePath("/Library/PreferenceBundles/HushlinePreferences.bundle");
    std::filesystem::create_directories(target);
    std::filesystem::copy(std::filesystem::path(HUSHLINE_SOURCE_DIR) / "preferences/resources", target,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

void DeviceFixture::writeSystemVersion(const std::string& version) const
{
    auto path = phonePath("/System/Library/CoreServices/SystemVersion.plist");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                        << "<key>ProductVersion</key><string>" << version << "</string></dict></plist>\n";
}

std::string DeviceFixture::logText() const
{
    fflush(stderr);
    std::ifstream in(m_logPath);
    in.seekg(m_logStart);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void DeviceFixture::clearLog()
{
    fflush(stderr);
    std::error_code ignored;
    m_logStart = static_cast<long>(std::filesystem::file_size(m_logPath, ignored));
}

size_t DeviceFixture::logCount(const std::string& needle) const
{
    return occurrences(logText(), needle);
}

size_t DeviceFixture::occurrences(const std::string& text, const std::string& needle)
{
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}
