#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

// The volume categories of the simulated phone.
// "Ringtone": the ringer volume.
// "Audio/Video": the media (playback) volume.
// "Volume": the system volume, read only: the volume the buttons act on, which on the simulated
//   phone (no media playing) is the ringer volume.
inline constexpr const char* kAVSystemControllerRingtoneCategory = "Ringtone";
inline constexpr const char* kAVSystemControllerMediaCategory = "Audio/Video";
inline constexpr const char* kAVSystemControllerSystemCategory = "Volume";

inline constexpr const char* AVSystemController_SystemVolumeDidChangeNotification = "AVSystemController_SystemVolumeDidChangeNotification";
inline constexpr const char* AVSystemController_AudioCategoryNotificationParameter = "AVSystemController_AudioCategoryNotificationParameter";
inline constexpr const char* AVSystemController_AudioVolumeNotificationParameter = "AVSystemController_AudioVolumeNotificationParameter";
inline constexpr const char* AVSystemController_AudioVolumeChangeReasonNotificationParameter = "AVSystemController_AudioVolumeChangeReasonNotificationParameter";

// The audio system's volumes. Every change of a volume is announced, as the phone's media server
// does, on a later turn of the main run loop: the process-local notification
// "AVSystemController_SystemVolumeDidChangeNotification" from the shared controller, with the
// category, the new volume (a real) and the reason "ExplicitVolumeChange". Setting a volume to the
// value it has changes nothing and announces nothing.
class AVSystemController : public NSObject {
public:
    static std::shared_ptr<AVSystemController> sharedAVSystemController();

    // getVolume:forCategory: false (volume untouched) for an unknown category.
    bool getVolume(float& volume, const std::string& category) const;
    // setVolumeTo:forCategory: false for an unknown or read-only category.
    bool setVolumeTo(float volume, const std::string& category);
};
