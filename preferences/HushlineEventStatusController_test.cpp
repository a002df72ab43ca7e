#include "preferences/testsupport/PickerFixture.h"

#include "core/profile/HLProfile.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIColor.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLEventStatusTableCell.h"
#include "preferences/HushlineEventStatusController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

class HushlineEventStatusControllerTest : public PickerFixture {
protected:
    std::shared_ptr<HushlineEventStatusController> openStatus(const PlistValue& stored)
    {
        return open<HushlineEventStatusController>("HushlineEventStatusController", storeProfile({ { "applyProfileEventStatus", stored } }));
    }
    static std::vector<std::string> checked(HushlineEventStatusController& picker) { return checkedRows(picker, RowName::ShownTitle); }
};

TEST_F(HushlineEventStatusControllerTest, FourRowsShowTheirLabelInTheirOwnTintedLabelWithOneCheckmark)
{
    auto picker = openStatus(PlistValue(1));
    ASSERT_TRUE(picker);
    EXPECT_THAT(rowNames(*picker), ElementsAre("[group]", "All", "Accepted", "Tentative", "Declined/Cancelled", "[group]"));
    EXPECT_EQ(picker->specifiers().back()->identifier(), "CopyRightHeader");
    auto cell = std::dynamic_pointer_cast<HLEventStatusTableCell>(picker->tableViewCellForRow(4));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->textLabel().hidden);
    EXPECT_EQ(cell->statusLabel().text, "Declined/Cancelled");
    EXPECT_EQ(cell->statusLabel().frame.x, 15);
    EXPECT_EQ(cell->statusLabel().frame.width, HLEventStatusTableCell::kCellWidth - 40);
    EXPECT_TRUE(cell->statusLabel().textColor->isEqual(hl_navigationColor()));
    EXPECT_THAT(checked(*picker), ElementsAre("Accepted"));
}

TEST_F(HushlineEventStatusControllerTest, AValueOutOfRangeReadsAsAll)
{
    EXPECT_THAT(checked(*openStatus(PlistValue(7))), ElementsAre("All"));
    EXPECT_THAT(checked(*openStatus(PlistValue(-1))), ElementsAre("All"));
}

TEST_F(HushlineEventStatusControllerTest, ChoosingTentativeStoresTwoAndMovesTheSingleCheckmark)
{
    auto picker = openStatus(PlistValue(0));
    picker->tableViewDidSelectRow(static_cast<size_t>(rowIndex(*picker, "Tentative")));
    EXPECT_THAT(checked(*picker), ElementsAre("Tentative"));
    EXPECT_EQ(storedEntry()["applyProfileEventStatus"], PlistValue(2));
    EXPECT_EQ(picker->profile()->applyProfileEventStatusString(), "Tentative");
}
