#include "platform/device/DeviceChange.h"

const char* deviceChangeName(DeviceChange change)
{
    switch (change) {
    case DeviceChange::RingerVolume:
        return "ringerVolume";
    case DeviceChange::MediaVolume:
        return "mediaVolume";
    case DeviceChange::VolumeDisplayEnabled:
        return "volumeDisplayEnabled";
    case DeviceChange::VolumeDisplayShown:
        return "volumeDisplayShown";
    case DeviceChange::RingVibrate:
        return "ringVibrate";
    case DeviceChange::SilentVibrate:
        return "silentVibrate";
    case DeviceChange::Tone:
        return "tone";
    case DeviceChange::ToneStopped:
        return "toneStopped";
    case DeviceChange::Vibration:
        return "vibration";
    case DeviceChange::BacklightFactor:
        return "backlightFactor";
    case DeviceChange::ScreenOn:
        return "screenOn";
    case DeviceChange::Locked:
        return "locked";
    case DeviceChange::DoNotDisturb:
        return "doNotDisturb";
    case DeviceChange::StatusBarItem:
        return "statusBarItem";
    case DeviceChange::ControlCenterTap:
        return "controlCenterTap";
    case DeviceChange::AlarmIcon:
        return "alarmIcon";
    case DeviceChange::Alert:
        return "alert";
    case DeviceChange::AlertDismissed:
        return "alertDismissed";
    case DeviceChange::RingerSwitchSilent:
        return "ringerSwitchSilent";
    }
    return "unknown";
}
