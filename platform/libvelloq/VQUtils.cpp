#include "platform/libvelloq/VQUtils.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/UIDevice.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>

namespace {

// A few of UIKit's own words in the languages the simulated phone offers.
const std::map<std::string, std::map<std::string, std::string>>& uikitWords()
{
    static const std::map<std::string, std::map<std::string, std::string>> words {
        { "de", { { "Error", "Fehler" }, { "Close", "Schließen" }, { "OK", "OK" }, { "Cancel", "Abbrechen" }, { "Done", "Fertig" } } },
        { "fr", { { "Error", "Erreur" }, { "Close", "Fermer" }, { "OK", "OK" }, { "Cancel", "Annuler" }, { "Done", "OK" } } },
        { "zh-Hans", { { "Error", "错误" }, { "Close", "关闭" }, { "OK", "好" }, { "Cancel", "取消" }, { "Done", "完成" } } },
    };
    return words;
}

}

std::string VQUtils::localizedLabelFromUIKit(const std::string& key)
{
    auto languages = NSLocalePreferredLanguages();
    if (languages.empty())
        return key;
    auto language = uikitWords().find(languages.front());
    if (language == uikitWords().end()) {
        auto dash = languages.front().find('-');
        language = uikitWords().find(languages.front().substr(0, dash));
    }
    if (language == uikitWords().end())
        return key;
    auto word = language->second.find(key);
    return word == language->second.end() ? key : word->second;
}

bool VQUtils::killProcessByName(const std::string& name)
{
    if (name != "SpringBoard")
        return false;
    std::ifstream file(DeviceRoot::resolve("/var/run/springboard.launched"));
    long pid = 0;
    if (!(file >> pid) || pid <= 0)
        return false;
    if (kill(static_cast<pid_t>(pid), SIGTERM) != 0) {
        NSLog("VQUtils: cannot end SpringBoard (process %ld): errno %d", pid, errno);
        return false;
    }
    return true;
}

std::string VQUtils::platform()
{
    return UIDevice::currentDevice()->modelCode();
}
