#pragma once

#include "platform/foundation/NSObject.h"

#include <string>

// The Do Not Disturb toggle of Control Center before OS 11 (SBCCDoNotDisturbSetting on 7 to 9,
// CCUIDoNotDisturbSetting on 10), working on the phone's one Do Not Disturb state.
// Its methods: `identifier` ("doNotDisturb") and `_setDNDEnabled:updateServer:source:` always;
// `isEnabled` and `_toggleState` from OS 7.1 on. Sending a method that the version lacks throws.
class DoNotDisturbSetting : public NSObject {
public:
    bool respondsToSelector(const std::string& selector) const;

    std::string identifier() const { return "doNotDisturb"; }
    bool isEnabled() const;
    // What a tap on the toggle does: switches Do Not Disturb over.
    void _toggleState();
    // Shows the state on the toggle; with updateServer the phone switches to it too.
    void _setDNDEnabled(bool enabled, bool updateServer, int source);

protected:
    explicit DoNotDisturbSetting(std::string phoneClass) : m_phoneClass(std::move(phoneClass)) { }

private:
    void require(const char* selector) const;
    std::string m_phoneClass;
};
