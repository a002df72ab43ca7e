#include "apps/phonectl/BootCalendars.h"

#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/RememberedCalendars.h"
#include "apps/testsupport/UserCalendarFolders.h"

#include <gmock/gmock.h>
#include <fstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The user's calendar folders as a boot links them, remembered for the phone linked to the
// session in the user's configuration folder.
namespace {

class BootCalendarsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : { "HOME", "XDG_CONFIG_HOME" }) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", m_user.folder("home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_user.folder("config").c_str(), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

    std::filesystem::path root() const { return m_user.base() / "phone"; }

    // The accounts the phone has, by name.
    std::vector<std::string> accounts() const
    {
        std::vector<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator it(root() / "var/mobile/Calendars", error), end; !error && it != end; it.increment(error))
            names.push_back(it->path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Boots' calendars; what they said on the error output.
    std::string boot(const std::vector<std::filesystem::path>& given, bool session = true)
    {
        ::testing::internal::CaptureStderr();
        linkBootCalendars(root(), given, session);
        return ::testing::internal::GetCapturedStderr();
    }

    std::string rememberedText() const
    {
        std::ifstream in(m_user.base() / "config/hushline/calendars");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    UserCalendarFolders m_user;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}

TEST(RememberedCalendarsText, FoldersOnePerLineWithCommentsBlanksAndTheHomeFolder)
{
    setenv("HOME", "/home/owner", 1);
    auto folders = RememberedCalendars::parse("# mine\n\n  /srv/cal  \n~/.calendars\n\t# not a folder\n~\nrelative/cal\r\n");
    EXPECT_THAT(folders, ElementsAre("/srv/cal", "/home/owner/.calendars", "/home/owner/", "relative/cal"));
    EXPECT_THAT(RememberedCalendars::parse(RememberedCalendars::format({ "/a b/c", "/d" })), ElementsAre("/a b/c", "/d"))
        << "what phonectl writes reads back the same";
}

TEST_F(BootCalendarsTest, FoldersGivenOnceAreRememberedAndABootWithoutThemLinksThemAgain)
{
    m_user.event("sync/work", "Standup", "09:00", "09:30");
    boot({ m_user.base() / "sync" });
    EXPECT_THAT(accounts(), ElementsAre("sync"));
    EXPECT_THAT(rememberedText(), HasSubstr((m_user.base() / "sync").string() + "\n"));

    std::filesystem::remove_all(root());
    EXPECT_EQ(boot({}), "");
    EXPECT_THAT(accounts(), ElementsAre("sync")) << "the user service's run --session, without arguments";
}

TEST_F(BootCalendarsTest, AFolderTheUserAddsIsLinkedAndOneThatIsGoneIsAWarningWhileTheOthersAreLinked)
{
    m_user.event("sync/work", "Standup", "09:00", "09:30");
    m_user.event("home/.calendars/private", "Dentist", "11:00", "11:30");
    boot({ m_user.base() / "sync" });
    {
        std::ofstream edit(m_user.base() / "config/hushline/calendars", std::ios::app);
        edit << "# added by hand\n~/.calendars\n" << (m_user.base() / "gone").string() << "\n";
    }
    std::string said = boot({});
    EXPECT_THAT(accounts(), ElementsAre("calendars", "sync"));
    EXPECT_THAT(said, HasSubstr("phonectl: warning: " + (m_user.base() / "config/hushline/calendars").string() + ": the calendar folder "
                          + (m_user.base() / "gone").string() + " no longer exists"));
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    std::filesystem::remove_all(m_user.base() / "sync");
    boot({});
    EXPECT_THAT(accounts(), ElementsAre("calendars")) << "the link of the folder that went is gone too";
}

TEST_F(BootCalendarsTest, NoneForgetsTheFoldersAndTheirLinks)
{
    m_user.event("sync/work", "Standup", "09:00", "09:30");
    boot({ m_user.base() / "sync" });
    boot({ "none" });
    EXPECT_THAT(accounts(), ElementsAre());
    EXPECT_FALSE(std::filesystem::exists(RememberedCalendars::file()));
    boot({});
    EXPECT_THAT(accounts(), ElementsAre());
    EXPECT_THROW(boot({ "none", m_user.base() / "sync" }), PhonectlError);
}

TEST_F(BootCalendarsTest, APhoneOfItsOwnNeitherRemembersNorReadsTheUsersFolders)
{
    m_user.event("sync/work", "Standup", "09:00", "09:30");
    boot({ m_user.base() / "sync" }, false);
    EXPECT_FALSE(std::filesystem::exists(RememberedCalendars::file()));
    ASSERT_TRUE(RememberedCalendars::write({ m_user.base() / "sync" }, nullptr));
    std::filesystem::remove_all(root());
    boot({}, false);
    EXPECT_THAT(accounts(), ElementsAre());
}

TEST_F(BootCalendarsTest, AMissingFolderGivenIsRefusedAndTheRememberedOnesStay)
{
    m_user.event("sync/work", "Standup", "09:00", "09:30");
    boot({ m_user.base() / "sync" });
    std::string before = rememberedText();
    EXPECT_THROW(boot({ m_user.base() / "typo" }), PhonectlError);
    EXPECT_EQ(rememberedText(), before);
    EXPECT_THAT(accounts(), ElementsAre("sync"));
}
