#include "platform/foundation/ObjCRuntime.h"
#include "platform/libvelloq/PSViewController+Velloq.h"
#include "platform/preferences/PSControlTableCell.h"
#include "platform/preferences/PSEditableListController.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/testsupport/DeviceFixture.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UINavigationController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {

// A detail screen that notes what it was told.
class NotingController : public PSListController {
public:
    void viewDidLoad() override
    {
        PSListController::viewDidLoad();
        ++loads;
    }
    int loads { 0 };
};

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<NotingController>("NotingController", {}, [] { return std::make_shared<NotingController>(); });

class ListUnderTest : public PSEditableListController {
public:
    const Specifiers& specifiers() override
    {
        if (m_specifiers.empty())
            m_specifiers = build();
        return m_specifiers;
    }
    std::function<Specifiers()> build;
};

}

class PSListControllerTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_list = std::make_shared<ListUnderTest>();
        m_list->build = [this] { return m_rows; };
        m_navigation = UINavigationController::initWithRootViewController(m_list);
        m_navigation->loadViewIfNeeded();
    }
    std::shared_ptr<UIAlertController> sheet() const { return std::dynamic_pointer_cast<UIAlertController>(m_list->presentedViewController()); }

    PSListController::Specifiers m_rows;
    std::shared_ptr<ListUnderTest> m_list;
    std::shared_ptr<UINavigationController> m_navigation;
};

TEST_F(PSListControllerTest, ALinkOpensItsScreenInTheSameStackWithItsRowAndTitle)
{
    auto link = PSSpecifier::preferenceSpecifierNamed("Details", nullptr, nullptr, "NotingController", PSCellType::Link);
    auto broken = PSSpecifier::preferenceSpecifierNamed("Nowhere", nullptr, nullptr, "NoSuchController", PSCellType::Link);
    m_rows = { PSSpecifier::emptyGroupSpecifier(), link, broken };
    m_list->reloadSpecifiers();
    m_list->tableViewDidSelectRow(2);
    EXPECT_EQ(m_navigation->viewControllers().size(), 1u);
    m_list->tableViewDidSelectRow(1);
    ASSERT_EQ(m_navigation->viewControllers().size(), 2u);
    auto detail = std::dynamic_pointer_cast<NotingController>(m_navigation->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->specifier(), link);
    EXPECT_EQ(detail->parentController(), m_list);
    EXPECT_EQ(detail->rootController(), m_list);
    EXPECT_EQ(detail->title(), "Details");
    EXPECT_EQ(detail->loads, 1);
    EXPECT_EQ(m_navigation->popViewControllerAnimated(true), detail);
    EXPECT_FALSE(m_navigation->popViewControllerAnimated(true));
}

TEST_F(PSListControllerTest, AConfirmationButtonAsksFirstAndOnlyOKRunsTheAction)
{
    int runs = 0;
    auto button = PSSpecifier::confirmationSpecifier("Erase",
        PlistDictionary { { "title", "Sure?" }, { "prompt", "Everything goes." }, { "okTitle", "Erase" }, { "cancelTitle", "Keep" },
            { "isDestructive", true } },
        [&](const auto&) { ++runs; });
    m_rows = { button };
    m_list->reloadSpecifiers();
    m_list->tableViewDidSelectRow(0);
    ASSERT_TRUE(sheet());
    EXPECT_EQ(sheet()->title(), "Sure?");
    EXPECT_EQ(sheet()->message(), "Everything goes.");
    EXPECT_EQ(sheet()->actions()[0]->style(), UIAlertActionStyle::Destructive);
    EXPECT_TRUE(sheet()->tapActionAtIndex(1));
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(sheet());
    m_list->tableViewDidSelectRow(0);
    EXPECT_TRUE(sheet()->tapActionAtIndex(0));
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(sheet());
}

TEST_F(PSListControllerTest, ControlsWriteThroughTheRowSetterAndCellsShowTheGetterOrTheDefault)
{
    PlistValue stored;
    auto withSetter = PSSpecifier::preferenceSpecifierNamed(
        "Stored", [&](const PlistValue& value, const auto&) { stored = value; }, [&](const auto&) { return stored; }, {}, PSCellType::Switch);
    auto plain = PSSpecifier::preferenceSpecifierNamed("Plain", nullptr, nullptr, {}, PSCellType::Switch);
    plain->setProperty(true, "default");
    auto slider = PSSpecifier::preferenceSpecifierNamed("Level", nullptr, nullptr, {}, PSCellType::Slider);
    slider->setProperty(0.0, "min");
    slider->setProperty(10.0, "max");
    m_rows = { withSetter, plain, slider };
    m_list->reloadSpecifiers();

    EXPECT_TRUE(m_list->tableViewCellForRow(1)->value().boolValue());
    m_list->controlChanged(0, true);
    EXPECT_EQ(stored, PlistValue(true));
    EXPECT_TRUE(m_list->tableViewCellForRow(0)->value().boolValue());
    m_list->controlChanged(1, false);
    EXPECT_FALSE(m_list->tableViewCellForRow(1)->value().boolValue());
    auto level = std::dynamic_pointer_cast<PSSliderTableCell>(m_list->tableViewCellForRow(2));
    ASSERT_TRUE(level);
    EXPECT_EQ(level->maximumValue(), 10.0);
    EXPECT_TRUE(level->textLabel().hidden);
}

TEST_F(PSListControllerTest, RowsAreInsertedAndRemovedInPlaceAndDeletingTakesTheRowOff)
{
    auto a = PSSpecifier::preferenceSpecifierNamed("A", nullptr, nullptr, {}, PSCellType::StaticText);
    auto b = PSSpecifier::preferenceSpecifierNamed("B", nullptr, nullptr, {}, PSCellType::StaticText);
    auto c = PSSpecifier::preferenceSpecifierNamed("C", nullptr, nullptr, {}, PSCellType::StaticText);
    m_rows = { a, c };
    m_list->reloadSpecifiers();
    m_list->insertSpecifier(b, 1, true);
    EXPECT_EQ(m_list->indexOfSpecifier(b), 1);
    m_list->removeContiguousSpecifiers({ a }, true);
    EXPECT_THAT(m_list->specifiers(), ElementsAre(b, c));
    EXPECT_EQ(m_list->animatedChanges(), 2u);
    m_list->tableViewCommitEditingStyle(UITableViewCellEditingStyle::Delete, 0);
    EXPECT_THAT(m_list->specifiers(), ElementsAre(c));
    EXPECT_EQ(m_list->animatedChanges(), 3u);
    // A reload builds the list again from the screen's own rows.
    m_list->reloadSpecifiers();
    EXPECT_EQ(m_list->specifiers().size(), 2u);
}

TEST_F(PSListControllerTest, LookUpsSearchFromTheEndByLabelIgnoringCaseOrByIdentifier)
{
    auto first = PSSpecifier::preferenceSpecifierNamed("Alerts", nullptr, nullptr, {}, PSCellType::Group);
    auto second = PSSpecifier::preferenceSpecifierNamed("ALERTS", nullptr, nullptr, {}, PSCellType::StaticText);
    first->setIdentifier("CopyRightHeader");
    second->setIdentifier("CopyRightHeader");
    PSListController::Specifiers rows { first, second };
    EXPECT_EQ(vq__identifierIndex(rows, "alerts"), 1);
    EXPECT_EQ(vq__specifierForIdentifier(rows, "Alerts"), second);
    EXPECT_EQ(vq__identifierIndex(rows, "Sounds"), -1);
    EXPECT_EQ(vq__indexByIdentifier(rows, "CopyRightHeader"), 1);
    EXPECT_EQ(vq__specifierByIdentifier(rows, "copyrightheader"), nullptr);
    EXPECT_EQ(__vqRealNavigationController(*m_list), m_navigation);
    EXPECT_EQ(__vqRealNavigationController(PSListController()), nullptr);
}
