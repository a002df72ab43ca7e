#include "preferences/testsupport/PreferencesFixture.h"

#include "platform/foundation/PropertyList.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"
#include "preferences/HLEditableTableCell.h"
#include "preferences/HLPackageHeaderCell.h"
#include "preferences/HLSliderCell.h"
#include "preferences/HLSwitchCell.h"

class HLCellsTest : public PreferencesFixture {
protected:
    template<class Cell>
    std::shared_ptr<Cell> cell(const std::shared_ptr<PSSpecifier>& specifier, const char* cellClass)
    {
        return std::dynamic_pointer_cast<Cell>(PSTableCell::cellForSpecifier(specifier, cellClass));
    }
    void setDarkMode() const
    {
        PropertyList::write(phonePath("/var/mobile/Library/Preferences/com.apple.UIKit.plist"),
            PlistValue(PlistDictionary { { "UserInterfaceStyle", 2 } }));
    }
    void setModel(const std::string& model) const
    {
        PropertyList::write(phonePath("/System/Library/CoreServices/DeviceInfo.plist"), PlistValue(PlistDictionary { { "ProductType", model } }));
    }
};

TEST_F(HLCellsTest, TheSwitchIsOnInTheNavigationColourOrInFadedWhiteInDarkMode)
{
    auto row = PSSpecifier::preferenceSpecifierNamed("Enabled", nullptr, nullptr, {}, PSCellType::Switch);
    auto toggle = cell<HLSwitchCell>(row, "HLSwitchCell");
    ASSERT_TRUE(toggle);
    ASSERT_TRUE(toggle->switchCellOnTintColor()->patternImage());
    EXPECT_EQ(toggle->switchCellOnTintColor()->patternImage()->name(), "nav");
    setDarkMode();
    EXPECT_TRUE(toggle->switchCellOnTintColor()->isEqual(UIColor::colorWithWhite(1, 0.6)));
}

TEST_F(HLCellsTest, TheSliderTitleStandsAboveTheSlider)
{
    auto row = PSSpecifier::preferenceSpecifierNamed("Ringer Volume", nullptr, nullptr, {}, PSCellType::Slider);
    auto slider = cell<HLSliderCell>(row, "HLSliderCell");
    ASSERT_TRUE(slider);
    EXPECT_FALSE(slider->textLabel().hidden);
    EXPECT_EQ(slider->textLabel().numberOfLines, 0);
    EXPECT_EQ(slider->textLabel().frame.y + 30, slider->controlFrame().y);
    EXPECT_EQ(slider->defaultCellHeight(), 70);
}

TEST_F(HLCellsTest, ReturnEndsEditingWithTheDoneKey)
{
    auto row = PSSpecifier::preferenceSpecifierNamed("Title", nullptr, nullptr, {}, PSCellType::EditText);
    row->setProperty("Required", "placeholder");
    auto text = cell<HLEditableTableCell>(row, "HLEditableTableCell");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->placeholder(), "Required");
    text->textFieldDidBeginEditing();
    EXPECT_TRUE(text->isEditing());
    EXPECT_EQ(text->returnKeyType(), UIReturnKeyType::Done);
    EXPECT_TRUE(text->textFieldShouldReturn());
    EXPECT_FALSE(text->isEditing());
}

TEST_F(HLCellsTest, TheHeaderIsColouredBehindOnATabletAndAsItsBackgroundOnAPhone)
{
    auto group = PSSpecifier::emptyGroupSpecifier();
    group->setProperty("HushlineMe", "title");
    group->setProperty("Silence", "subTitle");
    auto phone = cell<HLPackageHeaderCell>(group, "HLPackageHeaderCell");
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->title(), "HushlineMe");
    EXPECT_EQ(phone->subTitle(), "Silence");
    EXPECT_FALSE(phone->backgroundPanel());
    ASSERT_TRUE(phone->backgroundColor());
    EXPECT_EQ(phone->backgroundColor()->alpha(), 0.85);
    EXPECT_TRUE(phone->textLabel().textColor->isEqual(UIColor::whiteColor()));

    setModel("iPad8,1");
    auto tablet = cell<HLPackageHeaderCell>(group, "HLPackageHeaderCell");
    ASSERT_TRUE(tablet->backgroundPanel());
    EXPECT_FALSE(tablet->backgroundColor());
    EXPECT_EQ(tablet->backgroundPanel()->frame.x, -40);
    EXPECT_EQ(tablet->backgroundPanel()->frame.width, tablet->width() + 40);
    EXPECT_EQ(tablet->backgroundPanel()->frame.height, tablet->preferredHeightForWidth(tablet->width()));
    EXPECT_TRUE(tablet->backgroundPanel()->flexibleWidth);
}
