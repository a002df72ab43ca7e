#include "platform/celestial/AVSystemController.h"

#include "platform/device/Device.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<AVSystemController>("AVSystemController");

void announce(const std::string& category, float volume)
{
    dispatch_async(dispatch_get_main_queue(), [category, volume] {
        NSNotificationCenter::defaultCenter().postNotificationName(AVSystemController_SystemVolumeDidChangeNotification,
            AVSystemController::sharedAVSystemController(),
            PlistDictionary {
                { AVSystemController_AudioCategoryNotificationParameter, category },
                { AVSystemController_AudioVolumeNotificationParameter, volume },
                { AVSystemController_AudioVolumeChangeReasonNotificationParameter, "ExplicitVolumeChange" },
            });
    });
}

}

std::shared_ptr<AVSystemController> AVSystemController::sharedAVSystemController()
{
    static const auto controller = std::make_shared<AVSystemController>();
    return controller;
}

bool AVSystemController::getVolume(float& volume, const std::string& category) const
{
    Device& phone = Device::current();
    if (category == kAVSystemControllerRingtoneCategory || category == kAVSystemControllerSystemCategory)
        volume = phone.ringerVolume();
    else if (category == kAVSystemControllerMediaCategory)
        volume = phone.mediaVolume();
    else
        return false;
    return true;
}

bool AVSystemController::setVolumeTo(float volume, const std::string& category)
{
    Device& phone = Device::current();
    bool changed;
    if (category == kAVSystemControllerRingtoneCategory)
        changed = phone.setRingerVolume(volume, "setVolumeTo:forCategory:");
    else if (category == kAVSystemControllerMediaCategory)
        changed = phone.setMediaVolume(volume, "setVolumeTo:forCategory:");
    else
        return false;
    if (changed) {
        float now = 0;
        getVolume(now, category);
        announce(category, now);
    }
    return true;
}
