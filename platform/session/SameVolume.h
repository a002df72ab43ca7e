#pragma once

#include <cstdint>

// Whether two of the sound server's volumes (PA_VOLUME_NORM = 100 %) are the same. A server may
// keep volumes in its own form and give back a value a unit or so off what was written (PipeWire
// keeps floats: 4096 reads back as 4095). Values this close are the same; the smallest step of any
// volume control is far larger (1 % is 655).
constexpr uint32_t kSameVolume = 32;

constexpr bool sameVolume(uint32_t a, uint32_t b)
{
    return (a > b ? a - b : b - a) <= kSameVolume;
}
