#include "apps/phonectl/ControlClient.h"

#include "platform/device/PhoneControl.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/testsupport/PeerProcess.h"
#include "platform/testsupport/PhoneBusFixture.h"

#include <fstream>
#include <systemd/sd-bus.h>
#include <gmock/gmock.h>
#include <regex>
#include <sstream>

namespace {

PlistValue field(const PlistDictionary& dictionary, const std::string& key)
{
    auto it = dictionary.find(key);
    return it == dictionary.end() ? PlistValue() : it->second;
}

// The home-screen host of the test's phone, started as the phone would start it, with the test
// plug-in laid into the phone under several names and filters.
class SpringBoardHostTest : public PhoneBusFixture {
protected:
    void plugin(const std::string& name, const std::optional<std::string>& filter)
    {
        auto folder = phonePath("/Library/MobileSubstrate/DynamicLibraries");
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(HUSHLINE_TEST_PLUGIN, folder / (name + ".dylib"));
        if (filter)
            std::ofstream(folder / (name + ".plist")) << "{ Filter = { Bundles = ( \"" << *filter << "\" ); }; }";
    }

    void launch(const std::string& clock)
    {
        m_host = std::make_unique<PeerProcess>(HUSHLINE_SPRINGBOARD_HOST, std::vector<std::string> { "--clock", clock });
        ASSERT_TRUE(waitFor([this] { return std::filesystem::exists(PhoneControl::launchedPath(m_root)) || m_host->hasExited(); }, 60));
        ASSERT_FALSE(m_host->hasExited());
        m_control = std::make_unique<ControlClient>(m_root);
    }

    std::vector<std::string> pluginLog() const
    {
        std::ifstream in(phonePath("/tmp/plugins.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static std::string at(NSTimeInterval time) { return std::to_string(static_cast<long long>(time)); }

    void TearDown() override
    {
        m_control.reset();
        m_host.reset();
        PhoneBusFixture::TearDown();
    }

    std::unique_ptr<PeerProcess> m_host;
    std::unique_ptr<ControlClient> m_control;
};

}

TEST_F(SpringBoardHostTest, LoadsOnlyThePlugInsWhoseFilterNamesItThenLaunches)
{
    plugin("Wanted", "com.apple.springboard");
    plugin("Settings", "com.apple.Preferences");
    plugin("NoFilter", std::nullopt);
    launch("2026-12-08T08:55:00");
    std::string launched;
    ASSERT_TRUE(readFile(PhoneControl::launchedPath(m_root), launched));
    EXPECT_THAT(pluginLog(), testing::ElementsAre("loaded Wanted.dylib into com.apple.springboard",
                                 "launched Wanted.dylib at " + at(localTime("2026-12-08T08:55:00"))));
}

TEST_F(SpringBoardHostTest, MidnightReachesTheHookOnTheVirtualClockAndWhenTheClockIsSetAcrossIt)
{
    plugin("Wanted", "com.apple.springboard");
    launch("2026-12-08T23:59:00");
    PlistDictionary moved = m_control->advanceClock(120);
    EXPECT_EQ(*field(moved, "clock").asDate(), NSDate(localTime("2026-12-09T00:01:00")));
    m_control->setClock(localTime("2026-12-09T15:00:00"));
    m_control->setClock(localTime("2026-12-08T12:00:00"));
    auto log = pluginLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2], "midnight Wanted.dylib at " + at(localTime("2026-12-09T00:00:00")));
    EXPECT_EQ(log[3], "midnight Wanted.dylib at " + at(localTime("2026-12-08T12:00:00")));
}

TEST_F(SpringBoardHostTest, VolumeButtonsAlarmsAndRefusalsThroughTheControlInterface)
{
    launch("2026-12-08T08:00:00");
    PlistDictionary pressed = m_control->pressVolumeButton("up");
    EXPECT_FLOAT_EQ(field(pressed, "ringerVolume").floatValue(), 0.5625f);
    EXPECT_THROW(m_control->pressVolumeButton("sideways"), PhonectlError);

    std::string alarm = m_control->addAlarm("Wake", 7, 0, true);
    PlistDictionary state = m_control->state();
    const PlistValue withAlarm(state);
    EXPECT_TRUE(withAlarm["alarmIcon"].boolValue());
    ASSERT_EQ(withAlarm["wakeUpTimers"].asArray()->size(), 1u);
    EXPECT_EQ((*withAlarm["wakeUpTimers"].asArray())[0]["service"], PlistValue("com.apple.mobiletimer"));
    EXPECT_EQ((*withAlarm["wakeUpTimers"].asArray())[0]["fireDate"], PlistValue(NSDate(localTime("2026-12-09T07:00:00"))));

    m_control->setAlarmActive(alarm, false);
    state = m_control->state();
    EXPECT_FALSE(field(state, "alarmIcon").boolValue());
    EXPECT_TRUE(field(state, "wakeUpTimers").asArray()->empty());
    m_control->removeAlarm(alarm);
    EXPECT_THROW(m_control->removeAlarm(alarm), PhonectlError);
    EXPECT_THROW(m_control->addAlarm("Bad", 24, 0, true), PhonectlError);
    EXPECT_THROW(m_control->answerAlert(0), PhonectlError);
    EXPECT_THROW(m_control->advanceClock(-1), PhonectlError);

    m_control->setLocked(true);
    EXPECT_TRUE(field(m_control->state(), "locked").boolValue());
    PlistDictionary changes = m_control->changes(0);
    EXPECT_GE(field(changes, "next").longLongValue(), 4);
}

TEST_F(SpringBoardHostTest, TheServedInterfaceIsTheDocumentedOne)
{
    launch("2026-12-08T08:00:00");
    std::ifstream in(sourcePath("dbus/com.velloq.phone.Control.xml"));
    std::stringstream documented;
    documented << in.rdbuf();
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    ASSERT_GE(sd_bus_call_method(m_connection->bus(), PhoneControl::kServiceName, PhoneControl::kObjectPath,
                  "org.freedesktop.DBus.Introspectable", "Introspect", &error, &reply, ""),
        0)
        << (error.message ? error.message : "");
    const char* xml = nullptr;
    ASSERT_GE(sd_bus_message_read(reply, "s", &xml), 0);
    std::string served = xml;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    m_connection->updateWatch();
    // Every method and signal the file documents is served, with the file's arguments.
    const std::string file = documented.str();
    std::regex element("<(method|signal) name=\"([A-Za-z]+)\">");
    std::regex argument("<arg name=\"([A-Za-z]+)\" type=\"([^\"]+)\"( direction=\"(in|out)\")?/>");
    size_t members = 0;
    for (std::sregex_iterator it(file.begin(), file.end(), element), end; it != end; ++it, ++members)
        EXPECT_NE(served.find("name=\"" + (*it)[2].str() + "\""), std::string::npos) << (*it)[2] << "\n" << served;
    size_t arguments = 0;
    for (std::sregex_iterator it(file.begin(), file.end(), argument), end; it != end; ++it, ++arguments) {
        std::string expected = "<arg type=\"" + (*it)[2].str() + "\" name=\"" + (*it)[1].str() + "\"";
        if ((*it)[4].matched)
            expected += " direction=\"" + (*it)[4].str() + "\"";
        EXPECT_NE(served.find(expected), std::string::npos) << expected << "\n" << served;
    }
    EXPECT_EQ(members, 15u) << "fourteen methods and the Changed signal";
    EXPECT_GE(arguments, 30u);
}

