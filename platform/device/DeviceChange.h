#pragma once

// What of the phone changed, in the device's log of changes and for its observers.
enum class DeviceChange {
    RingerVolume,
    MediaVolume,
    VolumeDisplayEnabled,
    VolumeDisplayShown,
    RingVibrate,
    SilentVibrate,
    Tone,
    ToneStopped,
    Vibration,
    BacklightFactor,
    ScreenOn,
    Locked,
    DoNotDisturb,
    StatusBarItem,
    ControlCenterTap,
    AlarmIcon,
    // Shown: its title; answered: the button index.
    Alert,
    AlertDismissed,
    RingerSwitchSilent,
};

// Its name in the log and in phonectl's reports ("ringerVolume", "alertDismissed", ...).
const char* deviceChangeName(DeviceChange);
