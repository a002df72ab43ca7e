#pragma once

#include "platform/foundation/PlistValue.h"

#include <functional>
#include <string>

class SpringBoard;

// The messages other processes send to the home screen's server "com.velloq.hushline": switch
// a clock alarm, or change fields of a stored profile. One-way: nothing is answered.
class HLMessageHandler {
public:
    // The method added to SpringBoard: handleHushlineMessageNamed:withUserInfo:.
    using Implementation = std::function<void(SpringBoard&, const std::string& name, const PlistDictionary& userInfo)>;
    static void handleHushlineMessageNamed(SpringBoard&, const std::string& name, const PlistDictionary& userInfo);

    static void alarmStatusChanged(const PlistDictionary& userInfo);
    static void updateProfile(const PlistDictionary& userInfo);
};
