#pragma once

// What the active-hours pane tells its controller: a time was accepted into the profile.
class HLDateRangeControllerDelegate {
public:
    virtual ~HLDateRangeControllerDelegate() = default;
    virtual void timeChanged() = 0;
};
