#pragma once

// phonectl as a person runs it, against a test's own phone (include in tests only).

#include "apps/phonectl/Json.h"

#include "platform/device/PhoneControl.h"
#include "platform/machinery/AtomicFile.h"

#include "platform/testsupport/DeviceFixture.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

struct PhonectlResult {
    int status { -1 };
    std::string out;
    std::string err;
};

// phonectl as a person runs it, against the test's own phone.
class PhonectlFixture : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        // phonectl keeps its caches beside the test's phone, never in it nor in the user's home.
        m_cacheHome = m_root.parent_path() / (m_root.filename().string() + ".cache");
        setenv("XDG_CACHE_HOME", m_cacheHome.c_str(), 1);
    }

    void TearDown() override
    {
        if (m_booted)
            phonectl({ "stop" });
        unsetenv("XDG_CACHE_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(m_cacheHome, ignored);
        DeviceFixture::TearDown();
    }

    // The phonectl under test: the build's, or an installed one that HUSHLINE_TEST_PHONECTL names
    // (the package's check runs the phone's tests against the unpacked package).
    static std::string program()
    {
        const char* installed = std::getenv("HUSHLINE_TEST_PHONECTL");
        return installed && *installed ? installed : HUSHLINE_PHONECTL;
    }

    PhonectlResult phonectl(std::vector<std::string> arguments, bool withRoot = true)
    {
        if (withRoot)
            arguments.insert(arguments.begin(), { "--root", m_root.string() });
        arguments.insert(arguments.begin(), program());
        auto out = m_root.parent_path() / (m_root.filename().string() + ".out");
        auto err = m_root.parent_path() / (m_root.filename().string() + ".err");
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        PhonectlResult result;
        if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&files);
        readFile(out, result.out);
        readFile(err, result.err);
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        if (arguments.size() > 3 && arguments[3] == "boot" && result.status == 0)
            m_booted = true;
        return result;
    }

    PlistValue state()
    {
        PhonectlResult result = phonectl({ "state" });
        EXPECT_EQ(result.status, 0) << result.err;
        std::string error;
        auto parsed = parseJson(jsonWithoutNulls(result.out), &error);
        EXPECT_TRUE(parsed) << error << "\n" << result.out;
        return parsed ? *parsed : PlistValue();
    }

    PlistValue state(const std::string& key)
    {
        const PlistValue whole = state();
        return whole[key];
    }

    // Turns a null into a marker string, so that the state reads as a property list.
    static std::string jsonWithoutNulls(std::string text)
    {
        for (size_t at; (at = text.find(": null")) != std::string::npos;)
            text.replace(at, 6, ": \"<null>\"");
        return text;
    }

    // Waits a bounded real time for what another process does on its own.
    bool eventually(const std::function<bool()>& condition, double seconds = 15)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    void bootWithMeeting(const char* os = "13.3")
    {
        addEvent("Work", "Meeting", "09:00", "10:00");
        boot(os);
    }

    // An event of 2026-12-08 in the calendar (a name in the account "local", or ACCOUNT/CALENDAR).
    void addEvent(const std::string& calendar, const std::string& title, const std::string& start, const std::string& end,
        const std::string& status = "")
    {
        std::vector<std::string> arguments { "calendar", "add", calendar, "--title", title, "--start", "2026-12-08T" + start + ":00", "--end",
            "2026-12-08T" + end + ":00" };
        if (!status.empty())
            arguments.insert(arguments.end(), { "--status", status });
        PhonectlResult added = phonectl(arguments);
        ASSERT_EQ(added.status, 0) << added.err;
    }

    void boot(const char* os = "13.3", const char* clock = "2026-12-08T08:55:00")
    {
        PhonectlResult booted = phonectl({ "boot", "--clock", clock, "--os", os });
        ASSERT_EQ(booted.status, 0) << booted.err;
    }

    // Kills the home-screen host as a crash would; true once its supervisor has started it again.
    bool killHomeScreenAndWaitForItsRestart()
    {
        std::string first;
        if (!readFile(PhoneControl::launchedPath(m_root), first))
            return false;
        kill(std::stoi(first), SIGKILL);
        return eventually([&] {
            std::string now;
            return readFile(PhoneControl::launchedPath(m_root), now) && now != first;
        });
    }

    // Runs the phonectl command and expects it to succeed; its output.
    std::string ok(std::vector<std::string> arguments)
    {
        PhonectlResult result = phonectl(arguments);
        EXPECT_EQ(result.status, 0) << arguments[0] << ": " << result.err;
        return result.out;
    }

    // The first stored profile's identifier and applied flag, as `state` shows them.
    int64_t firstProfileIdentifier()
    {
        const PlistValue profiles = state("profiles");
        return profiles.asArray() && !profiles.asArray()->empty() ? (*profiles.asArray())[0]["identifier"].longLongValue() : 0;
    }
    bool isApplied(size_t index = 0)
    {
        const PlistValue profiles = state("profiles");
        return profiles.asArray() && profiles.asArray()->size() > index && (*profiles.asArray())[index]["applied"].boolValue();
    }

    // Changes fields of the first profile from another process, as a message to the home screen,
    // and waits until the home screen has rescheduled after the change.
    void changeFirstProfile(const std::string& changedDataJson)
    {
        size_t passes = homeScreenLogCount("***************** rescheduleProfilesCallBack ********************");
        ok({ "send", "com.velloq.HushlineProfileUpdateMessageKey", "--user-info",
            "{\"ProfileIdentifier\": " + std::to_string(firstProfileIdentifier()) + ", \"ChangedData\": " + changedDataJson + "}" });
        EXPECT_TRUE(eventually([&] { return homeScreenLogCount("***************** rescheduleProfilesCallBack ********************") > passes; }));
    }

    // How often the home screen's log file holds the text.
    size_t homeScreenLogCount(const std::string& text) const
    {
        std::string log;
        readFile(m_root / "tmp/velloq.log", log);
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size()))
            ++count;
        return count;
    }

    bool m_booted { false };
    std::filesystem::path m_cacheHome;
};
