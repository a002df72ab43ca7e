#include "springboard/testsupport/SpringBoardFixture.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/PropertyList.h"
#include "platform/springboard/SpringBoard.h"
#include "springboard/HLSpringBoardStartup.h"

#include <fstream>
#include <sstream>

void SpringBoardFixture::SetUp()
{
    PhoneBusFixture::SetUp();
    NSBundle::setMainBundleIdentifier("com.apple.springboard");
    UIApplication::setSharedApplication(std::make_shared<SpringBoard>());
    writeSystemVersion("13.3");
    installSettingsBundle();
}

void SpringBoardFixture::load()
{
    HLSpringBoardStartup::pluginLoaded();
}

void SpringBoardFixture::launch()
{
    load();
    SpringBoard::sharedApplication()->applicationDidFinishLaunching(nullptr);
}

std::string SpringBoardFixture::pluginLog() const
{
    fflush(stderr);
    std::ifstream in(phonePath("/tmp/velloq.log"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t SpringBoardFixture::pluginLogCount(const std::string& needle) const
{
    return occurrences(pluginLog(), needle);
}

bool SpringBoardFixture::settingsFileExists() const
{
    return std::filesystem::exists(HLProfilesManager::settingsFilePath());
}

void SpringBoardFixture::writeSettings(bool enabled) const
{
    PropertyList::write(HLProfilesManager::settingsFilePath(), PlistValue(PlistDictionary { { kHLEnabledKey, enabled } }));
}

void SpringBoardFixture::writeProfiles(const PlistArray& entries) const
{
    PropertyList::write(HLProfilesManager::profilesFilePath(), PlistValue(entries));
}

PlistArray SpringBoardFixture::storedProfiles() const
{
    auto file = PropertyList::read(HLProfilesManager::profilesFilePath());
    return file && file->isArray() ? *file->asArray() : PlistArray {};
}
