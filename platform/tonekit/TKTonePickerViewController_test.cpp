#include "platform/tonekit/TKTonePickerViewController.h"

#include "platform/device/Device.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/testsupport/DeviceFixture.h"
#include "platform/tonelibrary/TLToneManager.h"

#include <fstream>
#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

namespace {

class Recorder : public TKTonePickerViewControllerDelegate {
public:
    void tonePickerViewControllerSelectedToneWithIdentifier(TKTonePickerViewController&, const std::optional<std::string>& identifier) override
    {
        picked.push_back(identifier.value_or("(none)"));
    }
    std::vector<std::string> picked;
};

std::vector<std::string> titles(const std::vector<TKTonePickerViewController::Section>& sections)
{
    std::vector<std::string> list;
    for (const auto& section : sections)
        list.push_back(section.title.empty() ? section.entries.front().name : section.title);
    return list;
}

}

class TKTonePickerViewControllerTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        TLToneManager::installSystemTones(m_root);
        m_picker = std::make_shared<TKTonePickerViewController>();
        m_picker->initWithAlertType(10);
        m_picker->setDelegate(m_recorder);
    }

    std::shared_ptr<TKTonePickerViewController> m_picker;
    std::shared_ptr<Recorder> m_recorder = std::make_shared<Recorder>();
};

TEST_F(TKTonePickerViewControllerTest, TheListHoldsTheShippedTonesWithNoToneFirstOrLast)
{
    EXPECT_THAT(titles(m_picker->sections()), ElementsAre("Ringtones", "Alert Tones", "None"));
    m_picker->setNoneAtTop(true);
    auto sections = m_picker->sections();
    EXPECT_THAT(titles(sections), ElementsAre("None", "Ringtones", "Alert Tones"));
    EXPECT_EQ(sections[0].entries.front().identifier, std::nullopt);
    const auto& alertTones = sections[2].entries;
    EXPECT_NE(std::find_if(alertTones.begin(), alertTones.end(), [](const auto& entry) { return entry.identifier == "texttone:Calendar Alert"; }),
        alertTones.end());
}

TEST_F(TKTonePickerViewControllerTest, ATonePutOnThePhoneJoinsTheListAndAnInstalledOneIsKept)
{
    std::ofstream(DeviceRoot::resolve("/Library/Ringtones/Custom Ring.m4r")) << "tone";
    TLToneManager::installSystemTones(m_root);
    std::ifstream kept(DeviceRoot::resolve("/Library/Ringtones/Custom Ring.m4r"));
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "tone");
    EXPECT_THAT(TLToneManager::sharedToneManager().nameForToneIdentifier("ringtone:Custom Ring"), Optional(std::string("Custom Ring")));
}

TEST_F(TKTonePickerViewControllerTest, PickingAToneSelectsItPlaysItOnceAndTellsTheDelegate)
{
    writeSystemVersion("13.3");
    m_picker->pickTone(std::string("ringtone:Opening"));
    EXPECT_THAT(m_picker->selectedToneIdentifier(), Optional(std::string("ringtone:Opening")));
    auto tones = Device::current().tones();
    ASSERT_EQ(tones.size(), 1u);
    EXPECT_EQ(tones[0].identifier, "ringtone:Opening");
    EXPECT_EQ(tones[0].type, 10);
    EXPECT_FALSE(tones[0].repeating);

    m_picker->pickTone(std::nullopt);
    EXPECT_EQ(m_picker->selectedToneIdentifier(), std::nullopt);
    EXPECT_EQ(Device::current().tones().size(), 1u);
    EXPECT_THAT(m_recorder->picked, ElementsAre("ringtone:Opening", "(none)"));
}

TEST_F(TKTonePickerViewControllerTest, ThePreviewAndTheToneStoreSwitchFollowTheSystemVersion)
{
    writeSystemVersion("8.4");
    EXPECT_FALSE(m_picker->respondsToSelector("setShowsToneStore:"));
    EXPECT_THROW(m_picker->setShowsToneStore(false), std::logic_error);
    m_picker->pickTone(std::string("texttone:Note"));
    EXPECT_EQ(Device::current().tones().at(0).via, "_playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:shouldOverrideMasterSwitches:");

    writeSystemVersion("7.1");
    m_picker->pickTone(std::string("texttone:Note"));
    EXPECT_EQ(Device::current().tones().size(), 1u);
    EXPECT_THAT(m_recorder->picked, ElementsAre("texttone:Note", "texttone:Note"));
}
