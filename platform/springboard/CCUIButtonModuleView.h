#pragma once

#include "platform/uikit/UIView.h"

// The button of a Control Center toggle module (the class exists on OS 11 and 12).
class CCUIButtonModuleView : public UIView { };
