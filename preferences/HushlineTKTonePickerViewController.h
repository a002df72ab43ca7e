#pragma once

#include "platform/tonekit/TKTonePickerViewController.h"

// The plug-in's own kind of ToneKit's tone picker.
class HushlineTKTonePickerViewController : public TKTonePickerViewController {
};
