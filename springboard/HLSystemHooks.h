#pragma once

#include <memory>
#include <vector>

class PCSimpleTimer;

// The plug-in's changes to SpringBoard's behaviour, each made after the system's own step:
// volume-button presses are marked for the volume watch, the clock's alarm timers are tracked so
// that the alarm icon shows only for live alarms, and Wi-Fi updates are traced.
class HLSystemHooks {
public:
    // Every host process: the Wi-Fi update trace and the two volume buttons.
    static void installEveryHostHooks();
    // SpringBoard only: the alarm icon and the clock's timers.
    static void installSpringBoardHooks();

    // The clock's timers (service "com.apple.mobiletimer") created and not yet invalidated.
    static void createAlarmTimerList();
    static const std::vector<std::shared_ptr<PCSimpleTimer>>& alarmTimers();

    // The identifier a timer goes by: its loggingIdentifier where the OS has it, else its
    // "_serviceIdentifier" variable.
    static std::string serviceIdentifierOf(PCSimpleTimer&);
};
