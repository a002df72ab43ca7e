#pragma once

// The instance-variable registry lives in platform/foundation, beside the other run-time helpers.
// This header only forwards there for includes that still name the old place; include
// "platform/foundation/VQInstanceVariables.h" instead.
#include "platform/foundation/VQInstanceVariables.h"
