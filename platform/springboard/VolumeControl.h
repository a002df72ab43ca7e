#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>

// SpringBoard's volume control: the media (playback) volume, which it sets through the audio
// system's "Audio/Video" category (so a change is announced like any other volume change).
class VolumeControl : public NSObject {
public:
    static std::shared_ptr<VolumeControl> sharedVolumeControl();

    float getMediaVolume() const;
    void setMediaVolume(float volume);
};
