#include "apps/settings/TabNavigations.h"

#include "platform/testsupport/DeviceFixture.h"
#include "platform/uikit/UINavigationController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

class TabNavigationsTest : public DeviceFixture {
protected:
    std::shared_ptr<UIViewController> make()
    {
        ++m_made;
        return UINavigationController::initWithRootViewController(std::make_shared<UIViewController>());
    }
    std::shared_ptr<UINavigationController> stackOf(const std::string& tab)
    {
        return std::dynamic_pointer_cast<UINavigationController>(m_tabs.navigationOf(tab));
    }

    double m_now { 1000 };
    int m_made { 0 };
    TabNavigations m_tabs { [this] { return make(); }, [this] { return m_now; }, 60 };
};

TEST_F(TabNavigationsTest, EachTabHasItsOwnStackAndShowsOnlyItsOwnScreens)
{
    auto a = stackOf("a");
    auto b = stackOf("b");
    EXPECT_NE(a, b);
    EXPECT_EQ(stackOf("a"), a);
    EXPECT_EQ(m_made, 2);
    auto editor = std::make_shared<UIViewController>();
    a->pushViewController(editor, false);
    auto alert = std::make_shared<UIViewController>();
    editor->presentViewController(alert, false);
    EXPECT_EQ(b->viewControllers().size(), 1u);
    EXPECT_TRUE(m_tabs.shows("a", editor));
    EXPECT_TRUE(m_tabs.shows("a", alert));
    EXPECT_FALSE(m_tabs.shows("b", editor));
    EXPECT_FALSE(m_tabs.shows("b", alert));
    EXPECT_FALSE(m_tabs.shows("unknown", editor));
}

TEST_F(TabNavigationsTest, ATabIsForgottenOnlyAfterItsGraceWithoutAStream)
{
    int changes = 0;
    m_tabs.setChanged([&] { ++changes; });
    auto kept = stackOf("reloaded");
    m_tabs.streamOpened("reloaded");
    m_tabs.streamOpened("open");
    m_tabs.navigationOf("tool");
    EXPECT_EQ(m_tabs.nextForgetting(), 1060);
    // A reload closes the stream and opens another within the grace: the screens stay.
    m_now = 1050;
    m_tabs.streamClosed("reloaded");
    EXPECT_EQ(m_tabs.nextForgetting(), 1060);
    m_now = 1060;
    m_tabs.forgetQuiet();
    EXPECT_THAT(m_tabs.tabs(), ElementsAre("open", "reloaded"));
    m_tabs.streamOpened("reloaded");
    EXPECT_EQ(stackOf("reloaded"), kept);
    // With every tab on a stream nothing is due; a closed tab goes once its grace is over.
    EXPECT_FALSE(m_tabs.nextForgetting());
    m_tabs.streamClosed("open");
    m_now = 1119;
    m_tabs.forgetQuiet();
    EXPECT_TRUE(m_tabs.knows("open"));
    m_now = 1120;
    m_tabs.forgetQuiet();
    EXPECT_THAT(m_tabs.tabs(), ElementsAre("reloaded"));
    EXPECT_GT(changes, 0);
    // A tab that comes back after it was forgotten starts anew.
    EXPECT_NE(stackOf("open"), nullptr);
    EXPECT_EQ(m_made, 4);
}
