#pragma once

#include "platform/foundation/NSError.h"

#include <cstdint>
#include <optional>
#include <string>

enum class HLTitleChange { Add, Rename };

// Whether a profile may carry the title: a blank one (nothing but spaces) cannot be told apart in
// the list, and a rename to the title of another stored profile would show two rows alike (the
// store refuses a taken title when adding). The refusal is the error to show, in the store's
// words; nullopt when the title may be kept.
std::optional<NSError> hl_titleRefusal(const std::optional<std::string>& title, int64_t identifier, HLTitleChange);
