#include "platform/uikit/UIAlertView.h"

#include "platform/device/Device.h"
#include "platform/testsupport/DeviceFixture.h"

#include <gmock/gmock.h>

namespace {

class RecordingDelegate : public UIAlertViewDelegate {
public:
    void alertViewClickedButtonAtIndex(UIAlertView& alert, long index) override
    {
        clicks.emplace_back(alert.tag(), index);
        stillOnScreenWhenTold = alert.isVisible();
    }
    std::vector<std::pair<long, long>> clicks;
    bool stillOnScreenWhenTold { false };
};

class UIAlertViewTest : public DeviceFixture { };

}

TEST_F(UIAlertViewTest, TheAlertOnScreenIsInTheDeviceStateAndATapTellsTheDelegate)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    auto alert = UIAlertView::initWithTitle("Information", "Keep it?", delegate, std::nullopt, { "Yes, please", "No, thanks" });
    alert->setTag(431213);
    alert->show();

    auto shown = Device::current().alert();
    ASSERT_TRUE(shown);
    const PlistValue state(*shown);
    EXPECT_EQ(state["title"], PlistValue("Information"));
    EXPECT_EQ(state["message"], PlistValue("Keep it?"));
    EXPECT_EQ(state["buttons"], PlistValue(std::vector<std::string> { "Yes, please", "No, thanks" }));
    EXPECT_EQ(state["tag"], PlistValue(431213));

    EXPECT_FALSE(alert->clickButtonAtIndex(2));
    EXPECT_TRUE(alert->clickButtonAtIndex(1));
    EXPECT_THAT(delegate->clicks, testing::ElementsAre(std::make_pair(431213L, 1L)));
    EXPECT_TRUE(delegate->stillOnScreenWhenTold);
    EXPECT_FALSE(Device::current().alert());
    EXPECT_EQ(UIAlertView::visibleAlertView(), nullptr);
    EXPECT_FALSE(alert->clickButtonAtIndex(0));
}

TEST_F(UIAlertViewTest, ASecondAlertWaitsForTheFirstAndACancelButtonComesFirst)
{
    auto first = UIAlertView::initWithTitle("First", "", {}, std::nullopt, { "OK" });
    auto second = UIAlertView::initWithTitle("Second", "", {}, std::string("Cancel"), { "Go" });
    first->show();
    second->show();
    EXPECT_EQ(UIAlertView::visibleAlertView(), first);
    EXPECT_EQ(second->cancelButtonIndex(), 0);
    EXPECT_EQ(second->buttonTitles(), (std::vector<std::string> { "Cancel", "Go" }));

    first->dismissWithClickedButtonIndex(0, true);
    EXPECT_EQ(UIAlertView::visibleAlertView(), second);
    const PlistValue state(*Device::current().alert());
    EXPECT_EQ(state["title"], PlistValue("Second"));
    EXPECT_TRUE(second->clickButtonAtIndex(1));
    EXPECT_FALSE(Device::current().alert());
}

TEST_F(UIAlertViewTest, AGoneDelegateIsNotToldButTheAlertStillCloses)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    auto alert = UIAlertView::initWithTitle("T", "M", delegate, std::nullopt, { "OK" });
    alert->show();
    delegate.reset();
    EXPECT_TRUE(alert->clickButtonAtIndex(0));
    EXPECT_FALSE(Device::current().alert());
}
