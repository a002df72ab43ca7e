#pragma once

#include "platform/foundation/NSObject.h"

#include <string>

// A part of Control Center that the system never operates (brightness, media, the other
// toggles and pages). It is there so that a walk through Control Center passes it as on the
// phone; it names the phone's class it stands for.
class ControlCenterElement : public NSObject {
public:
    explicit ControlCenterElement(std::string phoneClass) : m_phoneClass(std::move(phoneClass)) { }
    const std::string& phoneClass() const { return m_phoneClass; }
    std::string description() const override { return "<" + m_phoneClass + ">"; }

private:
    std::string m_phoneClass;
};
